#include "host/modStartup.h"

#include "errors/modvbCodeShieldSupport.h"

#include <mutex>

namespace wp::modStartup {

void Main() {
    static std::once_flag once;
    std::call_once(once, [] { modvbCodeShieldSupport::Initialise(); });
}

} // namespace wp::modStartup
