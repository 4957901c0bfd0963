// The installed tree (cmake --install into a DESTDIR): programs, manual pages, the package type, the desktop entry.
#include <gtest/gtest.h>

#include <QMimeDatabase>
#include <QMimeType>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

const fs::path Root = fs::path(RUK_INSTALL_ROOT) / "usr";
const fs::path Source = RUK_SOURCE_DIR;
const char* const PackageType = "application/x-rukengine-package";

struct Outcome {
    int code = -1;
    std::string out;
};

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command line, bounded by `timeout`, with standard output
// (and standard error, when asked) captured.
Outcome run(const std::string& command, bool with_errors = false, int seconds = 30)
{
    Outcome result;
    std::string line = "timeout " + std::to_string(seconds) + " sh -c " + quoted(command) +
                       (with_errors ? " 2>&1" : " 2>/dev/null");
    FILE* pipe = ::popen(line.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, n);
    int status = ::pclose(pipe);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string read_text(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// The option words ("--timeout", "-o") a program's sources compare their
// arguments with.
std::set<std::string> option_literals(const std::vector<fs::path>& files)
{
    std::set<std::string> options;
    const std::regex literal("\"(--?[a-z][a-z0-9-]*)\"");
    for (const fs::path& file : files) {
        const std::string text = read_text(file);
        for (std::sregex_iterator it(text.begin(), text.end(), literal), end; it != end; ++it)
            options.insert((*it)[1]);
    }
    return options;
}

// A package as the writer makes it: "Q", the zero-padded fields, the entry
// count as left-aligned digits and blanks, no members.
std::string empty_package()
{
    std::string header(305, '\0');
    header[0] = 'Q';
    header.replace(11, 5, "hello");
    header.replace(293, 12, "0           ");
    return header;
}

void write_file(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

TEST(InstallTree, HoldsProgramsPagesExamplesAndDesktopFiles)
{
    for (const char* program : {"bin/rukengine", "bin/rukc"}) {
        fs::path path = Root / program;
        ASSERT_TRUE(fs::is_regular_file(path)) << path;
        EXPECT_NE(fs::status(path).permissions() & fs::perms::owner_exec, fs::perms::none) << path;
    }
    for (const char* file : {"share/man/man1/rukengine.1", "share/man/man1/rukc.1", "share/mime/packages/rukengine.xml",
             "share/applications/rukengine.desktop", "share/icons/hicolor/scalable/apps/rukengine.svg",
             "share/icons/hicolor/48x48/apps/rukengine.png",
             "share/icons/hicolor/scalable/mimetypes/application-x-rukengine-package.svg",
             "share/doc/rukengine/README.md", "share/doc/rukengine/engine.md", "share/doc/rukengine/install.md",
             "lib/rukengine/librukcanvas.so"})
        EXPECT_TRUE(fs::is_regular_file(Root / file)) << file;

    // Every example, as sources and as a package.
    int examples = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(Source / "examples")) {
        if (!entry.is_directory())
            continue;
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(fs::is_directory(Root / "share/rukengine/examples" / name)) << name;
        const fs::path package = Root / "share/rukengine/examples" / (name + ".ruk");
        ASSERT_TRUE(fs::is_regular_file(package)) << name;
        // The package carries the code and the example's own files, not its
        // sources or the gallery's picture of it.
        Outcome listing = run(quoted((Root / "bin/rukc").string()) + " list " + quoted(package.string()));
        EXPECT_EQ(listing.code, 0) << name;
        EXPECT_TRUE(contains(listing.out, "identity.qexe")) << listing.out;
        EXPECT_FALSE(contains(listing.out, "snapshot.png")) << listing.out;
        EXPECT_FALSE(contains(listing.out, ".rks")) << listing.out;
        ++examples;
    }
    EXPECT_GT(examples, 0);

    // The desktop entry opens exactly the type the MIME file declares.
    const std::string desktop = read_text(Root / "share/applications/rukengine.desktop");
    EXPECT_TRUE(contains(desktop, std::string("\nMimeType=") + PackageType + ";\n"));
    EXPECT_TRUE(contains(desktop, "\nExec=rukengine %f\n"));
    EXPECT_TRUE(contains(read_text(Root / "share/mime/packages/rukengine.xml"), std::string("type=\"") + PackageType));
    if (run("command -v desktop-file-validate").code != 0)
        GTEST_SKIP() << "desktop-file-validate is not installed (scripts/setup installs desktop-file-utils)";
    Outcome validate = run("desktop-file-validate " + quoted((Root / "share/applications/rukengine.desktop").string()), true);
    EXPECT_EQ(validate.code, 0) << validate.out;
    EXPECT_EQ(validate.out, "");
}

// The MIME database built from the installed type knows packages by their
// name and, renamed, by their header; other files starting with "Q" are not
// taken for packages.
TEST(InstallTree, PackageTypeByNameAndByHeader)
{
    const fs::path share = Root / "share";
    if (run("command -v update-mime-database").code != 0)
        GTEST_SKIP() << "update-mime-database is not installed";
    // A private copy, so that the installed tree stays as installed.
    const fs::path data = fs::path(RUK_INSTALL_ROOT).parent_path() / "install-mime";
    fs::remove_all(data);
    fs::create_directories(data / "mime/packages");
    fs::copy_file(share / "mime/packages/rukengine.xml", data / "mime/packages/rukengine.xml");
    Outcome update = run("update-mime-database " + quoted((data / "mime").string()), true);
    ASSERT_EQ(update.code, 0) << update.out;

    const std::string data_dirs = data.string();
    ::setenv("XDG_DATA_DIRS", data_dirs.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (data / "home").c_str(), 1);
    QMimeDatabase mime;

    const fs::path files = data / "files";
    fs::create_directories(files);
    const fs::path built = Root / "share/rukengine/examples/hello.ruk";
    fs::copy_file(built, files / "renamed.bin");
    write_file(files / "empty.data", empty_package());
    write_file(files / "letter.data", "Quite a plain letter.\n" + std::string(400, 'x'));
    std::string almost = empty_package();
    almost[297] = '7'; // the count field's padding is not blank
    write_file(files / "almost.data", almost);

    auto type_of = [&](const fs::path& path) {
        return mime.mimeTypeForFile(QString::fromStdString(path.string())).name().toStdString();
    };
    EXPECT_EQ(type_of(built), PackageType);
    EXPECT_EQ(type_of(files / "renamed.bin"), PackageType);
    EXPECT_EQ(type_of(files / "empty.data"), PackageType);
    EXPECT_NE(type_of(files / "letter.data"), PackageType);
    EXPECT_NE(type_of(files / "almost.data"), PackageType);
}

TEST(InstalledPrograms, HelpAndVersionNameEveryOption)
{
    const std::string engine = quoted((Root / "bin/rukengine").string());
    const std::string rukc = quoted((Root / "bin/rukc").string());
    Outcome help = run(engine + " --help");
    ASSERT_EQ(help.code, 0);
    EXPECT_EQ(help.out.rfind("Usage: rukengine ", 0), 0u) << help.out;
    Outcome version = run(engine + " --version");
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out.rfind(std::string("rukengine ") + RUK_VERSION + " ", 0), 0u) << version.out;
    // Started without a package (and none beside it), it says how to start one.
    Outcome bare = run("cd / && " + engine + " --headless", true);
    EXPECT_EQ(bare.code, 4);
    EXPECT_TRUE(contains(bare.out, "rukengine --help")) << bare.out;
    Outcome rukc_version = run(rukc + " --version");
    EXPECT_EQ(rukc_version.code, 0);
    EXPECT_EQ(rukc_version.out, std::string("rukc ") + RUK_VERSION + "\n");

    const std::string engine_page = read_text(Root / "share/man/man1/rukengine.1");
    for (const std::string& option : option_literals({Source / "host/rukengine.cpp"})) {
        EXPECT_TRUE(contains(help.out, option)) << option << " is missing from rukengine --help";
        std::string escaped = std::regex_replace(option, std::regex("-"), "\\-");
        EXPECT_TRUE(contains(engine_page, escaped)) << option << " is missing from rukengine(1)";
    }

    // Every command of rukc has its help, and every option the tool reads
    // is in the help of some command and in the manual.
    Outcome overview = run(rukc + " --help");
    ASSERT_EQ(overview.code, 0);
    const std::string dispatch = read_text(Source / "tools/rukc.cpp");
    const std::regex entry("\\{\"([a-z]+)\", rukc::cmd_");
    std::string all_help;
    int commands = 0;
    for (std::sregex_iterator it(dispatch.begin(), dispatch.end(), entry), end; it != end; ++it) {
        const std::string word = (*it)[1];
        ++commands;
        EXPECT_TRUE(contains(overview.out, "\n  " + word)) << word << " is missing from rukc --help";
        Outcome own = run(rukc + " " + word + " --help");
        EXPECT_EQ(own.code, 0) << word;
        EXPECT_EQ(own.out.rfind("Usage: rukc " + word, 0), 0u) << own.out;
        all_help += own.out;
    }
    EXPECT_EQ(commands, 10);
    std::vector<fs::path> tool_sources;
    for (const fs::directory_entry& file : fs::directory_iterator(Source / "tools"))
        if (file.path().extension() == ".cpp" && file.path().filename() != "rukc.cpp")
            tool_sources.push_back(file.path());
    const std::string rukc_page = read_text(Root / "share/man/man1/rukc.1");
    for (const std::string& option : option_literals(tool_sources)) {
        EXPECT_TRUE(contains(all_help, option)) << option << " is in no rukc command's help";
        std::string escaped = std::regex_replace(option, std::regex("-"), "\\-");
        EXPECT_TRUE(contains(rukc_page, escaped)) << option << " is missing from rukc(1)";
    }

    if (run("command -v groff").code != 0)
        GTEST_SKIP() << "groff is not installed (scripts/setup installs groff-base): the manual pages were not formatted";
    for (const char* page : {"rukengine.1", "rukc.1"}) {
        Outcome format = run("groff -man -Tutf8 -ww -z " + quoted((Root / "share/man/man1" / page).string()), true);
        EXPECT_EQ(format.code, 0) << page;
        EXPECT_EQ(format.out, "") << page;
    }
}

// The Debian package as cpack makes it: a well-formed description (the
// summary once, then the long text), the desktop tools it needs declared,
// and the same files as the install.
TEST(DebianPackage, FieldsAndFiles)
{
    if (run("command -v dpkg-shlibdeps && command -v dpkg-deb").code != 0)
        GTEST_SKIP() << "dpkg-dev is not installed (scripts/setup installs it)";
    const fs::path out = fs::path(RUK_INSTALL_ROOT).parent_path() / "install-deb";
    fs::remove_all(out);
    const std::string build = RUK_BINARY_DIR;
    Outcome pack = run("cd " + quoted(build) + " && cpack -G DEB -B " + quoted(out.string()), true, 240);
    ASSERT_EQ(pack.code, 0) << pack.out;
    const std::string deb = quoted((out / (std::string("rukengine_") + RUK_VERSION + "_amd64.deb")).string());
    if (run("test -f " + deb).code != 0)
        GTEST_SKIP() << "not an amd64 machine";

    Outcome description = run("dpkg-deb -f " + deb + " Description");
    ASSERT_EQ(description.code, 0);
    std::istringstream lines(description.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "desktop script engine for .ruk script packages");
    int long_lines = 0;
    while (std::getline(lines, line)) {
        // Every continuation line starts with exactly one blank (two would
        // show it verbatim) and none repeats the summary.
        EXPECT_EQ(line.rfind(" ", 0), 0u) << line;
        EXPECT_NE(line.rfind("  ", 0), 0u) << line;
        EXPECT_FALSE(contains(line, "desktop script engine for")) << line;
        ++long_lines;
    }
    EXPECT_GT(long_lines, 0);

    const std::string depends = run("dpkg-deb -f " + deb + " Depends").out;
    for (const char* needed : {"xdg-utils", "shared-mime-info", "desktop-file-utils", "libqt6widgets6", "libsqlite3-0"})
        EXPECT_TRUE(contains(depends, needed)) << needed << " is not declared: " << depends;

    const std::string files = run("dpkg-deb -c " + deb).out;
    for (const char* file : {"./usr/bin/rukengine", "./usr/bin/rukc", "./usr/share/man/man1/rukengine.1",
             "./usr/share/mime/packages/rukengine.xml", "./usr/share/applications/rukengine.desktop",
             "./usr/share/rukengine/examples/hello.ruk", "./usr/lib/rukengine/librukcanvas.so"})
        EXPECT_TRUE(contains(files, std::string(file) + "\n")) << file;
    fs::remove_all(out);
}

// The installed engine runs an installed example package, headless, from
// any folder.
TEST(InstalledPrograms, EngineRunsAnExamplePackage)
{
    Outcome hello = run("cd / && " + quoted((Root / "bin/rukengine").string()) + " --headless --timeout 2 " +
                    quoted((Root / "share/rukengine/examples/hello.ruk").string()));
    EXPECT_EQ(hello.code, 0);
    EXPECT_TRUE(contains(hello.out, "Hello from rukengine!\n")) << hello.out;
    EXPECT_TRUE(contains(hello.out, "\nGoodbye.\n")) << hello.out;
    // The engine took its working folder away again.
    const char* tmpdir = std::getenv("TMPDIR");
    ASSERT_TRUE(tmpdir);
    const fs::path working = fs::path(tmpdir) / "rukreader";
    if (fs::is_directory(working)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(working))
            EXPECT_NE(entry.path().filename().string().rfind("hello-", 0), 0u) << entry.path();
    }
}

// The installed rukc finds its painting module beside it and paints text.
TEST(InstalledPrograms, RukcMeasuresTextThroughItsModule)
{
    const char* tmpdir = std::getenv("TMPDIR");
    ASSERT_TRUE(tmpdir);
    const fs::path script = fs::path(tmpdir) / "installed-text.rks";
    write_file(script, "event.initialize()\n    system.message(\"width \" draw.-19.text.getwidth(\"Hello\"))\nevent.end()\n");
    Outcome run_text = run(quoted((Root / "bin/rukc").string()) + " run " + quoted(script.string()));
    fs::remove(script);
    EXPECT_EQ(run_text.code, 0) << run_text.out;
    EXPECT_TRUE(contains(run_text.out, "width ")) << run_text.out;
    EXPECT_FALSE(contains(run_text.out, "width 0\n")) << run_text.out;
}

} // namespace
