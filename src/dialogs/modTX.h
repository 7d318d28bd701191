#pragma once
// The conversions are public (hosts may show lengths the way the dialogs do);
// the library's own code includes them from here, beside the dialogs.
#include "wp/modTX.h"
