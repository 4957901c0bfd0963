// The "time" family (placeholder).
#include "system/Time.h"

namespace ruk {

void register_time_family(Engine&, HostState&) {}

} // namespace ruk
