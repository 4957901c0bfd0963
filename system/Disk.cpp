// The "disk" family (placeholder).
#include "system/Disk.h"

namespace ruk {

void register_disk_family(Engine&) {}

} // namespace ruk
