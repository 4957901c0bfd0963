// Script paths: drive letters, either slash, and letter case looked up in the working folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ruk::disk {

// Turns a script's path into a Linux path: both "\" and "/" separate, a
// leading drive letter and ":" stands for that drive's root folder, and a
// path that does not exist as written is looked for without regard to letter
// case inside the current folder (the package's working folder). Nothing for
// an empty path or a drive letter that names no drive.
std::optional<std::string> resolve_path(std::string_view script_path);

} // namespace ruk::disk
