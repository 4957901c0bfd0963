// The "disk" family: files, folders and drives; the plain helpers behind it are declared beside it.
#pragma once

#include "system/DriveMap.h"
#include "system/FileOps.h"
#include "system/PackedDate.h"
#include "system/ScriptPath.h"

namespace ruk {

class Engine;
class FileDialogs;

// Registers "disk"; the selection dialogs go to `dialogs`, which must outlive
// the engine's handler table.
void register_disk_family(Engine& engine, FileDialogs& dialogs);

} // namespace ruk
