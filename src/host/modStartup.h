#pragma once

namespace wp::modStartup {
/// The library's start-up: runs once per process, when the first clsWP is
/// created, and installs the fault filter.
void Main();
} // namespace wp::modStartup
