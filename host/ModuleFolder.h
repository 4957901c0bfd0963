// Where the engine finds its optional modules: relative to the running program, in the build tree and installed.
#pragma once

#include <optional>
#include <string>

namespace ruk {

// Modules (shared libraries the engine opens only when a script needs them)
// live in "lib/rukengine" beside the programs' "bin" folder, both in the
// build tree and wherever the engine is installed; a module in the
// program's own folder is found too. Nothing depends on the install prefix,
// so an installed tree can be moved as a whole.
inline constexpr const char* ModuleSubfolder = "../lib/rukengine";

// The running program's own file (from /proc/self/exe); empty when unknown.
std::string own_executable_path();

// The module `file_name` (as "librukbrowser.so") for the program at
// `executable` (the running one when empty): the first existing regular file
// of FOLDER/../lib/rukengine/NAME and FOLDER/NAME. Nothing when neither
// exists or the name holds a "/".
std::optional<std::string> find_module(const std::string& file_name, const std::string& executable = {});

} // namespace ruk
