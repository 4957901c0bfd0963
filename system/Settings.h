// The "reg", "path" and "shortcut" families: settings that last, well-known folders, launchers.
#pragma once

#include "system/WindowRect.h"

#include "system/Registry.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ruk {

class Engine;
struct HostState;
struct PackageHeader;

// "reg" "load" answers at most this many characters of a stored setting.
inline constexpr size_t MaxSettingText = 6499;

inline constexpr const char* ShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* CurrentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";
inline constexpr const char* UninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The settings key of a package under the current user's root:
// "Software\rukreader\" + "[Shared]" (shared) or the family id, "\" and the
// package id (when there is one), then "\" + sub_key when it is not empty.
std::string settings_key(const PackageHeader& package, bool shared, std::string_view sub_key);

// Saved window positions: the package's settings key + "\[Pos]\" + name.
std::string window_position_key(const PackageHeader& package, std::string_view name);
// Writes Top, Left, Width and Height; refuses (false) an empty rectangle.
bool save_window_position(Registry& registry, const PackageHeader& package, std::string_view name,
                          const WindowRect& rect);
// The saved rectangle; nothing when the key or any of the four values is
// missing or malformed, or the width or height is 0.
std::optional<WindowRect> load_window_position(Registry& registry, const PackageHeader& package,
                                               std::string_view name);

// Where the user's folders are, for the emulated "Shell Folders" values.
struct UserFolders {
    std::string home;
    std::string config_home; // $XDG_CONFIG_HOME or home/.config
    std::string data_home;   // $XDG_DATA_HOME or home/.local/share
    std::string cache_home;  // $XDG_CACHE_HOME or home/.cache
    std::string user_dirs;   // the text of config_home/user-dirs.dirs, empty when absent

    // The folders of the user running the engine, from the environment.
    static UserFolders from_environment();
};
// The "Shell Folders" values (name, folder) for these folders: the XDG user
// directories of user-dirs.dirs, else ~/Desktop, ~/Documents and so on.
std::vector<std::pair<std::string, std::string>> shell_folder_values(const UserFolders& folders);
// Fills the shell folders and "ProgramFilesDir" where they are missing;
// values the user changed are kept.
void fill_missing_shell_folders(Registry& registry, const UserFolders& folders);

// A desktop launcher, the shell link of this platform.
struct Launcher {
    std::string link;        // file to write; a ".lnk" name becomes ".desktop"
    std::string target;      // program (or document) the launcher opens
    std::string description;
    std::string icon;
    std::string arguments;   // a command-line text, blanks between, double quotes grouping
};
// The file a link name is written to: "\" turned into "/", ".lnk" into ".desktop".
std::string launcher_file(std::string_view link);
// The launcher's file text.
std::string launcher_text(const Launcher& launcher);
// Writes the launcher through a temporary file renamed into place, so that a
// failing step leaves no link file. False when nothing was written.
bool write_launcher(const Launcher& launcher);

// The installed-programs entry: p[0] is the key name (also its display name),
// p[1] the uninstall command, p[2] the install location, p[3] the publisher,
// p[4] the help and information link, p[5] the icon; missing texts are
// empty. Refuses an empty key name. True when written.
bool write_uninstall_entry(Registry& registry, const std::vector<std::string>& p);
// Deletes the entry of that key name; an empty name deletes nothing.
void remove_uninstall_entry(Registry& registry, const std::string& key);

// Registers "reg", "path" and "shortcut". The header (the running package's
// family and package ids) and the host state (the package path, for
// "path" "app") are read at each command, so they may be filled after this
// call; both must outlive the engine. Without a state, "app" answers the
// current folder. The package's working folder is the current folder.
void register_settings_families(Engine& engine, Registry& registry, const PackageHeader& package,
                                const HostState* state = nullptr);

} // namespace ruk
