// The "disk" family: files, folders and drives.
#pragma once

namespace ruk {

class Engine;

void register_disk_family(Engine& engine);

} // namespace ruk
