// The "reg", "path" and "shortcut" families: settings that last, well-known folders, launchers.
#include "system/Settings.h"

#include "system/Disk.h"

#include "core/Engine.h"
#include "host/HostState.h"
#include "host/FileIo.h"
#include "host/Package.h"
#include "host/ReplacingFile.h"
#include "host/Session.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace ruk {

namespace {

constexpr const char* ShellFolderList = "desktop-favorites-programs-recent-startmenu-startup-cookies-history-personal";
constexpr const char* ProgramFilesFolder = "/opt";
constexpr const char* SystemFolder = "/usr/lib/";
constexpr const char* WindowsFolder = "/usr/";

std::string slashes(std::string_view path)
{
    std::string out(path);
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

std::string env_or(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    // Relative XDG folders are invalid and ignored, as the XDG rules say.
    return value && *value == '/' ? std::string(value) : fallback;
}

// ---- "reg" ----

RegRoot root_from_word(std::string_view word)
{
    if (word == "classes_root")
        return RegRoot::ClassesRoot;
    if (word == "local_machine")
        return RegRoot::LocalMachine;
    if (word == "users")
        return RegRoot::Users;
    if (word == "current_config")
        return RegRoot::CurrentConfig;
    return RegRoot::CurrentUser;
}

Result reg_family(Engine& e, Registry& registry, const PackageHeader& package)
{
    const std::string& op = e.word(1);
    if (op == "load") {
        std::string key = settings_key(package, e.word(2) == "shared", e.param(1));
        std::optional<std::string> value = registry.read_value(RegRoot::CurrentUser, key, e.param(2));
        if (!value)
            return e.param(3);
        if (value->size() > MaxSettingText)
            value->resize(MaxSettingText);
        return value;
    }
    if (op == "save") {
        std::string key = settings_key(package, e.word(2) == "shared", e.param(1));
        registry.write_value(RegRoot::CurrentUser, key, e.param(2), e.param(3));
        return std::string();
    }
    RegRoot root = root_from_word(e.word(2));
    if (op == "read") {
        if (e.param(2).empty())
            return e.param(3);
        std::optional<std::string> value = registry.read_value(root, e.param(1), e.param(2));
        return value ? *value : e.param(3);
    }
    if (op == "write")
        return flag_to_text(registry.write_value(root, e.param(1), e.param(2), e.param(3)));
    if (op == "createkey")
        return flag_to_text(registry.create_key(root, e.param(1)));
    if (op == "deletekey")
        return flag_to_text(registry.delete_key(root, e.param(1)));
    if (op == "deletevalue") {
        // The key is opened as for writing: a missing key is created, empty.
        if (!registry.create_key(root, e.param(1)))
            return flag_to_text(false);
        return flag_to_text(registry.delete_value(root, e.param(1), e.param(2)));
    }
    return e.call_function();
}

// ---- "path" ----

struct PathContext {
    Registry& registry;
    const HostState* state;
    bool folders_filled = false;

    // The shell folders are filled from the user's folders once per run,
    // before the first look-up needs them.
    void fill_folders()
    {
        if (folders_filled)
            return;
        folders_filled = true;
        fill_missing_shell_folders(registry, UserFolders::from_environment());
    }

    // The named shell folder + "/" + file; empty when the key is missing.
    std::string shell_folder(std::string_view name, std::string_view file)
    {
        fill_folders();
        if (!registry.key_exists(RegRoot::CurrentUser, ShellFoldersKey))
            return std::string();
        std::string folder = registry.read_value(RegRoot::CurrentUser, ShellFoldersKey, name).value_or(std::string());
        return folder + "/" + slashes(file);
    }
};

std::string current_folder()
{
    std::error_code ec;
    std::string folder = fs::current_path(ec).string();
    if (ec || folder.empty())
        return "/";
    return folder.back() == '/' ? folder : folder + "/";
}

std::string app_folder(const HostState* state)
{
    if (!state || state->package_path.empty())
        return current_folder();
    std::error_code ec;
    fs::path package = fs::absolute(slashes(state->package_path), ec);
    if (ec)
        return current_folder();
    std::string folder = package.parent_path().string();
    return folder.empty() || folder.back() != '/' ? folder + "/" : folder;
}

Result path_family(Engine& e, PathContext& context)
{
    const std::string& op = e.word(1);
    if (op == "rsc")
        return current_folder() + slashes(e.param(1));
    if (op == "temp") {
        std::string folder = Session::temp_root();
        std::error_code ec;
        fs::create_directories(folder, ec);
        return folder + slashes(e.param(1));
    }
    if (op == "app")
        return app_folder(context.state) + slashes(e.param(1));
    if (op == "startmenu")
        return context.shell_folder("start menu", e.param(1));
    if (op == "other")
        return context.shell_folder(e.param(1), e.param(2));
    // Any word found inside the list names a shell folder, even a part of a
    // name ("fav"), which then has no value.
    if (!op.empty() && std::string_view(ShellFolderList).find(op) != std::string_view::npos)
        return context.shell_folder(op, e.param(1));
    if (op == "programfiles") {
        context.fill_folders();
        if (!context.registry.key_exists(RegRoot::LocalMachine, CurrentVersionKey))
            return std::string();
        std::string folder = context.registry.read_value(RegRoot::LocalMachine, CurrentVersionKey, "ProgramFilesDir")
                                 .value_or(std::string());
        return folder + "/" + slashes(e.param(1));
    }
    if (op == "system")
        return SystemFolder + slashes(e.param(1));
    if (op == "windows")
        return WindowsFolder + slashes(e.param(1));
    return e.call_function();
}

// ---- "shortcut" ----

bool valid_utf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : 4;
        if (extra == 4 || (extra && c < 0xC2) || c > 0xF4 || i + extra >= text.size())
            return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

// Script texts are bytes: UTF-8 when they are valid UTF-8, else Windows-1252.
std::string to_utf8(std::string_view text)
{
    if (valid_utf8(text))
        return std::string(text);
    static const char16_t High[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
    };
    std::string out;
    for (char byte : text) {
        auto c = static_cast<unsigned char>(byte);
        char32_t u = c >= 0x80 && c < 0xA0 ? High[c - 0x80] : c;
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

// A value of a desktop entry: one line, with its backslashes and control
// characters escaped.
std::string entry_value(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20)
                out += c;
        }
    }
    return out;
}

// One argument of an Exec line: quoted when it holds anything the launcher
// would read as syntax, and "%" doubled so that it is never a field code.
std::string exec_argument(std::string_view arg)
{
    bool quote = arg.empty() || arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string_view::npos;
    std::string out;
    if (quote)
        out += '"';
    for (char c : arg) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += '\\';
        if (c == '%')
            out += '%';
        out += c;
    }
    if (quote)
        out += '"';
    return out;
}

// Splits a command-line text: blanks separate, double quotes group.
std::vector<std::string> split_arguments(std::string_view text)
{
    std::vector<std::string> args;
    std::string current;
    bool quoted = false;
    bool any = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (any)
                args.push_back(std::move(current));
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        args.push_back(std::move(current));
    return args;
}

// ---- installed-programs entry ----

std::string uninstall_key(std::string_view name)
{
    return std::string(UninstallKey) + "\\" + std::string(name);
}

} // namespace

std::string settings_key(const PackageHeader& package, bool shared, std::string_view sub_key)
{
    std::string key = "Software\\rukreader\\";
    if (shared) {
        key += "[Shared]";
    } else {
        key += package.family_id;
        if (!package.package_id.empty())
            key += "\\" + package.package_id;
    }
    if (!sub_key.empty()) {
        key += "\\";
        key += sub_key;
    }
    return key;
}

std::string window_position_key(const PackageHeader& package, std::string_view name)
{
    return settings_key(package, false, "") + "\\[Pos]\\" + std::string(name);
}

bool save_window_position(Registry& registry, const PackageHeader& package, std::string_view name,
                          const WindowRect& rect)
{
    if (rect.width == 0 || rect.height == 0)
        return false;
    return registry.write_values(RegRoot::CurrentUser, window_position_key(package, name),
                                 {{"Top", int_to_text(rect.top)},
                                  {"Left", int_to_text(rect.left)},
                                  {"Width", int_to_text(rect.width)},
                                  {"Height", int_to_text(rect.height)}});
}

std::optional<WindowRect> load_window_position(Registry& registry, const PackageHeader& package,
                                               std::string_view name)
{
    std::string key = window_position_key(package, name);
    auto number = [&](const char* value_name) -> std::optional<int> {
        std::optional<std::string> text = registry.read_value(RegRoot::CurrentUser, key, value_name);
        if (!text || text->empty())
            return std::nullopt;
        int value = 0;
        auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
        if (ec != std::errc() || end != text->data() + text->size())
            return std::nullopt;
        return value;
    };
    std::optional<int> left = number("Left"), top = number("Top"), width = number("Width"), height = number("Height");
    if (!left || !top || !width || !height || *width == 0 || *height == 0)
        return std::nullopt;
    return WindowRect{*left, *top, *width, *height};
}

UserFolders UserFolders::from_environment()
{
    UserFolders folders;
    const char* home = std::getenv("HOME");
    if (home && *home == '/') {
        folders.home = home;
    } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
        folders.home = pw->pw_dir;
    } else {
        folders.home = "/";
    }
    folders.config_home = env_or("XDG_CONFIG_HOME", folders.home + "/.config");
    folders.data_home = env_or("XDG_DATA_HOME", folders.home + "/.local/share");
    folders.cache_home = env_or("XDG_CACHE_HOME", folders.home + "/.cache");
    folders.user_dirs = read_whole_file(folders.config_home + "/user-dirs.dirs").value_or(std::string());
    return folders;
}

std::vector<std::pair<std::string, std::string>> shell_folder_values(const UserFolders& folders)
{
    // The user-dirs.dirs lines read XDG_NAME_DIR="$HOME/Folder" or
    // XDG_NAME_DIR="/absolute/folder"; anything else is skipped.
    auto user_dir = [&](std::string_view xdg_name, const char* fallback) {
        std::string result = folders.home + "/" + fallback;
        std::string_view text = folders.user_dirs;
        std::string prefix = "XDG_" + std::string(xdg_name) + "_DIR=\"";
        for (std::string_view line : split_pieces(text, '\n')) {
            while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
                line.remove_prefix(1);
            while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                line.remove_suffix(1);
            if (line.substr(0, prefix.size()) != prefix || line.size() < prefix.size() + 1 || line.back() != '"')
                continue;
            std::string_view value = line.substr(prefix.size(), line.size() - prefix.size() - 1);
            std::string folder;
            if (value.substr(0, 5) == "$HOME")
                folder = folders.home + std::string(value.substr(5));
            else if (!value.empty() && value.front() == '/')
                folder = std::string(value);
            else
                continue;
            while (folder.size() > 1 && folder.back() == '/')
                folder.pop_back();
            result = folder;
        }
        return result;
    };
    const std::string own = folders.data_home + "/rukengine/";
    return {
        {"Desktop", user_dir("DESKTOP", "Desktop")},
        {"Personal", user_dir("DOCUMENTS", "Documents")},
        {"My Music", user_dir("MUSIC", "Music")},
        {"My Pictures", user_dir("PICTURES", "Pictures")},
        {"My Video", user_dir("VIDEOS", "Videos")},
        {"Templates", user_dir("TEMPLATES", "Templates")},
        {"Start Menu", folders.data_home + "/applications"},
        {"Programs", folders.data_home + "/applications"},
        {"Startup", folders.config_home + "/autostart"},
        {"AppData", folders.config_home},
        {"Local AppData", folders.data_home},
        {"Fonts", folders.data_home + "/fonts"},
        {"Cache", folders.cache_home},
        {"Favorites", own + "Favorites"},
        {"Recent", own + "Recent"},
        {"Cookies", own + "Cookies"},
        {"History", own + "History"},
    };
}

void fill_missing_shell_folders(Registry& registry, const UserFolders& folders)
{
    if (!registry.usable())
        return;
    registry.write_values(RegRoot::CurrentUser, ShellFoldersKey, shell_folder_values(folders), true);
    registry.write_values(RegRoot::LocalMachine, CurrentVersionKey, {{"ProgramFilesDir", ProgramFilesFolder}}, true);
}

std::string launcher_file(std::string_view link)
{
    std::string file = slashes(link);
    if (ends_with_ignoring_case(file, ".lnk"))
        file = file.substr(0, file.size() - 4) + ".desktop";
    return file;
}

std::string launcher_text(const Launcher& launcher)
{
    fs::path file(launcher_file(launcher.link));
    std::string name = file.stem().string();
    std::string target = slashes(launcher.target);
    std::vector<std::string> command;
    // A document or a folder opens in its own program; a program (or a
    // target not found now) runs with the arguments.
    std::error_code ec;
    fs::file_status status = fs::status(target, ec);
    bool runnable = ec || !fs::exists(status)
        || (fs::is_regular_file(status) && ::access(target.c_str(), X_OK) == 0);
    if (runnable) {
        command.push_back(target);
        for (auto& arg : split_arguments(launcher.arguments))
            command.push_back(std::move(arg));
    } else {
        command = {"xdg-open", target};
    }
    std::string exec;
    for (const auto& arg : command) {
        if (!exec.empty())
            exec += ' ';
        exec += exec_argument(arg);
    }
    std::string text = "[Desktop Entry]\nType=Application\nVersion=1.0\n";
    text += "Name=" + entry_value(to_utf8(name)) + "\n";
    if (!launcher.description.empty())
        text += "Comment=" + entry_value(to_utf8(launcher.description)) + "\n";
    text += "Exec=" + entry_value(exec) + "\n";
    if (!launcher.icon.empty())
        text += "Icon=" + entry_value(slashes(launcher.icon)) + "\n";
    text += "Terminal=false\n";
    return text;
}

bool write_launcher(const Launcher& launcher)
{
    if (launcher.link.empty() || launcher.target.empty())
        return false;
    std::string file = launcher_file(launcher.link);
    fs::path path(file);
    if (path.filename().empty())
        return false;
    // Launchers are marked executable: desktops refuse to run untrusted ones.
    return replace_file_contents(file, launcher_text(launcher), 0755);
}

bool write_uninstall_entry(Registry& registry, const std::vector<std::string>& p)
{
    auto param = [&](size_t i) { return i < p.size() ? p[i] : std::string(); };
    // An empty name would write the entry's values onto the list's own key.
    if (param(0).empty())
        return false;
    return registry.write_values(RegRoot::LocalMachine, uninstall_key(param(0)),
                                 {
                                     {"DisplayName", param(0)},
                                     {"UninstallString", param(1)},
                                     {"InstallLocation", param(2)},
                                     {"Publisher", param(3)},
                                     {"HelpLink", param(4)},
                                     {"URLInfoAbout", param(4)},
                                     {"DisplayIcon", param(5)},
                                 });
}

void remove_uninstall_entry(Registry& registry, const std::string& key)
{
    // An empty name would delete every program's entry.
    if (key.empty())
        return;
    registry.delete_key(RegRoot::LocalMachine, uninstall_key(key));
}

void register_settings_families(Engine& engine, Registry& registry, const PackageHeader& package,
                                const HostState* state)
{
    engine.register_family("reg", [&registry, &package](Engine& e) { return reg_family(e, registry, package); });
    auto context = std::make_shared<PathContext>(PathContext{registry, state});
    engine.register_family("path", [context](Engine& e) { return path_family(e, *context); });
    engine.register_family("shortcut", [](Engine& e) -> Result {
        if (e.word(1) != "create")
            return e.call_function();
        // Paths follow the rules of every script path (drive letters, "\",
        // letter case in the working folder) and become absolute, since a
        // launcher is started from anywhere. A target or icon that names no
        // file stays as given: a program on the PATH, an icon of the theme.
        auto absolute = [](const std::string& given, bool must_exist) {
            auto resolved = disk::resolve_path(given);
            std::error_code ec;
            if (!resolved || (must_exist && !std::filesystem::exists(*resolved, ec)))
                return given;
            return std::filesystem::absolute(*resolved, ec).string();
        };
        write_launcher({absolute(e.param(1), false), absolute(e.param(2), true), e.param(3),
                        absolute(e.param(4), true), e.param(5)});
        return std::string();
    });
}

} // namespace ruk
