// The "disk" family: files, folders and drives; the plain helpers behind it are declared beside it.
#pragma once

#include "system/DriveMap.h"
#include "system/FileOps.h"
#include "system/PackedDate.h"
#include "system/ScriptPath.h"

namespace ruk {

class Engine;

void register_disk_family(Engine& engine);

} // namespace ruk
