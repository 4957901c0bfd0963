// The "reg", "path" and "shortcut" families, saved window positions and the installed-programs entry.
#include "system/Settings.h"

#include "host/HostState.h"
#include "host/Package.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

using namespace ruk;
using ruk::test::ScriptHarness;
namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct SettingsTest : ::testing::Test {
    std::string dir;
    std::unique_ptr<Registry> reg;
    PackageHeader package;
    ScriptHarness h;

    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "ruk-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        reg = std::make_unique<Registry>(dir + "/registry.sqlite");
        package.family_id = "FAM1";
        package.package_id = "PKG-A";
        register_settings_families(h.engine(), *reg, package, &h.state());
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the lines as the "initialize" event; fails the test when they do not compile.
    void run(const std::string& lines)
    {
        ASSERT_TRUE(h.load("event.initialize()\n" + lines + "\nevent.end()\n")) << h.compile_errors().front();
        h.run();
    }
};

TEST_F(SettingsTest, LoadAnswersTheDefaultExactlyAndSaveThenLoadRoundTrips)
{
    run(R"(&a = reg.load("", "never saved", "  spaced, Default  ")
&b = reg.save(window, width, "640")
&c = reg.load(window, width, "0")
&d = reg.load(WINDOW, WIDTH, "0")
&e = reg.load("", width, "not in the package key itself"))");
    EXPECT_EQ(h.var("a"), "  spaced, Default  ");
    EXPECT_EQ(h.var("b"), "");
    EXPECT_EQ(h.var("c"), "640");
    EXPECT_EQ(h.var("d"), "640");
    EXPECT_EQ(h.var("e"), "not in the package key itself");
    EXPECT_EQ(reg->read_value(RegRoot::CurrentUser, "Software\\rukreader\\FAM1\\PKG-A\\window", "width"), "640");

    // A longer setting is stored whole; loading answers its first 6499 characters.
    std::string long_text(7000, 'q');
    reg->write_value(RegRoot::CurrentUser, settings_key(package, false, "big"), "v", long_text);
    run(R"(&big = reg.load(big, v, ""))");
    EXPECT_EQ(h.var("big"), std::string(MaxSettingText, 'q'));
    EXPECT_EQ(reg->read_value(RegRoot::CurrentUser, settings_key(package, false, "big"), "v")->size(), 7000u);
}

TEST_F(SettingsTest, PackagesSeeOnlyTheirOwnSettingsUnlessShared)
{
    run(R"(reg.save("", colour, "package A")
reg.save.shared("", colour, "everyone"))");
    // Another package of the same family.
    package.package_id = "PKG-B";
    run(R"(&own = reg.load("", colour, "none")
&shared = reg.load.shared("", colour, "none"))");
    EXPECT_EQ(h.var("own"), "none");
    EXPECT_EQ(h.var("shared"), "everyone");
    // A package of another family with the same package id.
    package.family_id = "FAM2";
    package.package_id = "PKG-A";
    run(R"(&own = reg.load("", colour, "none")
&shared = reg.load.shared("", colour, "none"))");
    EXPECT_EQ(h.var("own"), "none");
    EXPECT_EQ(h.var("shared"), "everyone");
    // The first package still has its own.
    package.family_id = "FAM1";
    run(R"(&own = reg.load("", colour, "none"))");
    EXPECT_EQ(h.var("own"), "package A");

    EXPECT_EQ(settings_key(package, true, "sub"), "Software\\rukreader\\[Shared]\\sub");
    PackageHeader plain;
    plain.family_id = "F";
    EXPECT_EQ(settings_key(plain, false, ""), "Software\\rukreader\\F");
}

TEST_F(SettingsTest, RegistryOperationsUnderTheRoots)
{
    run(R"(&w = reg.write.local_machine("Software\Vendor\App", Path, "/opt/app")
&r = reg.read.local_machine("SOFTWARE\VENDOR\APP", path, "none")
&u = reg.read("Software\Vendor\App", Path, "not under the current user")
&empty = reg.read.local_machine("Software\Vendor\App", "", "empty name")
&k = reg.createkey.users("A\B\C")
&dv1 = reg.deletevalue.current_config("Missing\Key", x)
&dv2 = reg.deletevalue.local_machine("Software\Vendor\App", PATH)
&dk1 = reg.deletekey.users("A")
&dk2 = reg.deletekey.users("A"))");
    EXPECT_EQ(h.var("w"), "1");
    EXPECT_EQ(h.var("r"), "/opt/app");
    EXPECT_EQ(h.var("u"), "not under the current user");
    EXPECT_EQ(h.var("empty"), "empty name");
    EXPECT_EQ(h.var("k"), "1");
    // Deleting a value of a missing key leaves the key, empty.
    EXPECT_EQ(h.var("dv1"), "0");
    EXPECT_TRUE(reg->key_exists(RegRoot::CurrentConfig, "Missing\\Key"));
    EXPECT_EQ(h.var("dv2"), "1");
    EXPECT_EQ(h.var("dk1"), "1");
    EXPECT_EQ(h.var("dk2"), "0");
    EXPECT_FALSE(reg->key_exists(RegRoot::Users, "A\\B\\C"));
    // An unknown root word means the current user.
    run(R"(reg.write.nowhere("K", v, "cu"))");
    EXPECT_EQ(reg->read_value(RegRoot::CurrentUser, "K", "v"), "cu");
    EXPECT_TRUE(h.errors().empty()) << h.errors().front();
}

TEST_F(SettingsTest, ADamagedStoreLeavesScriptsWithTheirDefaults)
{
    std::string bad = dir + "/bad.sqlite";
    std::ofstream(bad) << std::string(2048, '!');
    testing::internal::CaptureStderr();
    Registry broken(bad);
    ScriptHarness other;
    register_settings_families(other.engine(), broken, package);
    ASSERT_TRUE(other.load(R"(event.initialize()
reg.save("", a, "lost")
&a = reg.load("", a, "default")
&w = reg.write("K", v, "x")
&r = reg.read("K", v, "fallback")
&p = path.desktop("f.txt")
event.end()
)"));
    other.run();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(other.var("a"), "default");
    EXPECT_EQ(other.var("w"), "0");
    EXPECT_EQ(other.var("r"), "fallback");
    EXPECT_EQ(other.var("p"), "");
    EXPECT_FALSE(err.empty());
}

TEST_F(SettingsTest, PathFolders)
{
    ScopedEnv tmp("TMPDIR", dir + "/tmp");
    fs::create_directories(dir + "/tmp");
    UserFolders folders;
    folders.home = dir + "/home";
    folders.config_home = folders.home + "/.config";
    folders.data_home = folders.home + "/.local/share";
    folders.cache_home = folders.home + "/.cache";
    folders.user_dirs = "# written by xdg-user-dirs-update\n"
                        "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                        "  XDG_DOCUMENTS_DIR=\"/srv/docs/\"\n"
                        "XDG_MUSIC_DIR=$HOME/unquoted\n";
    fill_missing_shell_folders(*reg, folders);
    // A folder the user set stays as it is.
    reg->write_value(RegRoot::CurrentUser, ShellFoldersKey, "Recent", "/mine/recent");
    fill_missing_shell_folders(*reg, folders);
    h.state().package_path = dir + "/pkgs/demo.ruk";

    run(R"(&temp = path.temp("a.txt")
&desktop = path.desktop("sub\f.txt")
&personal = path.personal("")
&music = path.other("MY MUSIC", "x")
&recent = path.recent("r")
&fav = path.fav("file.txt")
&start = path.startmenu("App.lnk")
&nokey = path.other("no such folder", "f")
&pf = path.programfiles("tool")
&sys = path.system("lib.so")
&win = path.windows("")
&app = path.app("data.bin"))");
    EXPECT_EQ(h.var("temp"), dir + "/tmp/rukreader/a.txt");
    EXPECT_TRUE(fs::is_directory(dir + "/tmp/rukreader"));
    EXPECT_EQ(h.var("desktop"), folders.home + "/Schreibtisch/sub/f.txt");
    EXPECT_EQ(h.var("personal"), "/srv/docs/");
    EXPECT_EQ(h.var("music"), folders.home + "/Music/x");
    EXPECT_EQ(h.var("recent"), "/mine/recent/r");
    EXPECT_EQ(h.var("fav"), "/file.txt");
    EXPECT_EQ(h.var("start"), folders.data_home + "/applications/App.lnk");
    EXPECT_EQ(h.var("nokey"), "/f");
    EXPECT_EQ(h.var("pf"), "/opt/tool");
    EXPECT_EQ(h.var("sys"), "/usr/lib/lib.so");
    EXPECT_EQ(h.var("win"), "/usr/");
    EXPECT_EQ(h.var("app"), dir + "/pkgs/data.bin");

    // Without the key the shell folders answer nothing at all.
    reg->delete_key(RegRoot::CurrentUser, ShellFoldersKey);
    run(R"(&gone = path.desktop("f"))");
    EXPECT_EQ(h.var("gone"), "");
    // Words outside the list are no folders: they are function calls.
    run(R"(&none = path.nosuchword("f"))");
    EXPECT_EQ(h.var("none"), "<none>");
    EXPECT_FALSE(h.errors().empty());
}

TEST_F(SettingsTest, LaunchersAreWrittenWholeWithTheirCommandQuoted)
{
    Launcher l;
    l.link = dir + "\\My App.LNK";
    l.target = dir + "/no such program";
    l.arguments = "\"two words\" -v 100% $HOME";
    l.description = "Caf\xE9 line\nbreak";
    l.icon = "/icons/app.png";
    ASSERT_TRUE(write_launcher(l));
    std::string file = dir + "/My App.desktop";
    std::string text = read_file(file);
    EXPECT_EQ(text, "[Desktop Entry]\nType=Application\nVersion=1.0\nName=My App\n"
                    "Comment=Caf\xC3\xA9 line\\nbreak\n"
                    "Exec=\"" + dir + "/no such program\" \"two words\" -v 100%% \"\\\\$HOME\"\n"
                    "Icon=/icons/app.png\nTerminal=false\n");
    struct stat st{};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    // No temporary file is left beside the launcher.
    for (const auto& e : fs::directory_iterator(dir))
        EXPECT_NE(e.path().filename().string().front(), '.') << e.path();
    EXPECT_EQ(launcher_file("C:\\x\\y.lnk"), "C:/x/y.desktop");
    EXPECT_EQ(launcher_file("plain"), "plain");

    // A document opens with the desktop's program for it.
    std::ofstream(dir + "/notes.txt") << "n";
    l.target = dir + "/notes.txt";
    EXPECT_NE(launcher_text(l).find("Exec=xdg-open " + dir + "/notes.txt\n"), std::string::npos) << launcher_text(l);

    // A folder that does not exist, or no target, writes nothing.
    l.link = dir + "/missing/x.lnk";
    EXPECT_FALSE(write_launcher(l));
    EXPECT_FALSE(fs::exists(dir + "/missing"));
    l.link = dir + "/empty.lnk";
    l.target.clear();
    EXPECT_FALSE(write_launcher(l));
    EXPECT_FALSE(fs::exists(dir + "/empty.desktop"));

    // The family writes one and answers an empty text.
    run("&s = shortcut.create(\"" + dir + "/Tool.lnk\", \"/bin/true\", \"Run it\", \"\", \"-a\")");
    EXPECT_EQ(h.var("s"), "");
    EXPECT_NE(read_file(dir + "/Tool.desktop").find("Exec=/bin/true -a\n"), std::string::npos);
}

TEST_F(SettingsTest, UninstallEntriesAndSavedWindowPositions)
{
    EXPECT_TRUE(write_uninstall_entry(*reg, {"Demo App", "rukengine --remove", "/opt/demo", "Me", "https://x"}));
    std::string key = std::string(UninstallKey) + "\\Demo App";
    EXPECT_EQ(reg->read_value(RegRoot::LocalMachine, key, "DisplayName"), "Demo App");
    EXPECT_EQ(reg->read_value(RegRoot::LocalMachine, key, "URLInfoAbout"), "https://x");
    EXPECT_EQ(reg->read_value(RegRoot::LocalMachine, key, "DisplayIcon"), "");
    EXPECT_EQ(reg->list_values(RegRoot::LocalMachine, key)->size(), 7u);
    // An empty name would write onto, or delete, the whole list.
    write_uninstall_entry(*reg, {"Other"});
    EXPECT_FALSE(write_uninstall_entry(*reg, {"", "x"}));
    EXPECT_EQ(reg->list_values(RegRoot::LocalMachine, UninstallKey)->size(), 0u);
    remove_uninstall_entry(*reg, "");
    EXPECT_TRUE(reg->key_exists(RegRoot::LocalMachine, key));
    remove_uninstall_entry(*reg, "demo app");
    EXPECT_FALSE(reg->key_exists(RegRoot::LocalMachine, key));
    EXPECT_TRUE(reg->key_exists(RegRoot::LocalMachine, std::string(UninstallKey) + "\\Other"));

    EXPECT_EQ(window_position_key(package, "main"), "Software\\rukreader\\FAM1\\PKG-A\\[Pos]\\main");
    EXPECT_TRUE(save_window_position(*reg, package, "main", {-20, 30, 640, 480}));
    auto rect = load_window_position(*reg, package, "MAIN");
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->left, -20);
    EXPECT_EQ(rect->height, 480);
    EXPECT_FALSE(save_window_position(*reg, package, "flat", {0, 0, 100, 0}));
    EXPECT_FALSE(load_window_position(*reg, package, "flat"));
    reg->write_value(RegRoot::CurrentUser, window_position_key(package, "main"), "Width", "12px");
    EXPECT_FALSE(load_window_position(*reg, package, "main"));
}

} // namespace
