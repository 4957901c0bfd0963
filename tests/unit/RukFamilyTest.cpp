// The "ruk" family: the running header, building and unpacking packages, compiling source lines.
#include "host/Package.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <unistd.h>

using namespace ruk;
using ruk::test::ScriptHarness;
namespace fs = std::filesystem;

namespace {

struct RukFamily : ::testing::Test {
    ScriptHarness h;
    fs::path root;

    void SetUp() override
    {
        root = fs::temp_directory_path() / ("ruk-family-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "src");
        h.session().header = {"RUNNINGID", "RUNNING2", "running short", "running long", "RUNFAM"};
        h.state().running_family_id = "RUNFAM";
    }
    void TearDown() override { fs::remove_all(root); }

    std::string run(const std::string& body)
    {
        h.clear_output();
        EXPECT_TRUE(h.load("event.initialize()\n" + body + "\nevent.end()\n")) << body;
        h.run();
        return h.output();
    }
    static void write(const fs::path& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string padded(const std::string& text, size_t width, char pad)
    {
        std::string field = text;
        field.resize(width, pad);
        return field;
    }
};

} // namespace

TEST_F(RukFamily, CurrentHeaderIsCutToItsFieldsAndCreateLeavesItAlone)
{
    std::string out = run(R"(
    ruk.currentheader.set("ABCDEFGHIJKLMNOPQRST", "", "s", "l", "FAMILY_ID_TOO_LONG")
    system.message(ruk.currentheader.get())
)");
    EXPECT_EQ(out, "ABCDEFGHIJKLMNOP^^^^s^^l^^FAMILY_ID_\n");
    // The settings keys follow the family the script set.
    EXPECT_EQ(h.session().header.family_id, "FAMILY_ID_");

    write(root / "src" / "readme.txt", "hello");
    const std::string pkg = (root / "made.ruk").string();
    out = run("    system.message(ruk.create(\"" + (root / "src").string() + "\", \"" + pkg +
              "\", \"\", \"\", \"\", \"new short\"))\n    system.message(ruk.currentheader.get())\n"
              "    system.message(ruk.header.get(\"" + pkg + "\"))");
    std::istringstream lines(out);
    std::string code, current, header;
    std::getline(lines, code);
    std::getline(lines, current);
    std::getline(lines, header);
    EXPECT_EQ(code, "0");
    EXPECT_EQ(current, "ABCDEFGHIJKLMNOP^^^^s^^l^^FAMILY_ID_");
    // A new random package id, the running id as second id, the running
    // long text and family.
    EXPECT_TRUE(std::regex_match(header, std::regex(
        R"([0-9]{2}[A-Z]{4}[0-9]{4}[A-Z]{4}[0-9]{2}\^\^ABCDEFGHIJKLMNOP\^\^new short\^\^l\^\^FAMILY_ID_\^\^1 {11})")))
        << header;
}

TEST_F(RukFamily, ExtractKeepsTheRunningHeaderAndNeverLeavesTheFolder)
{
    // A crafted package: one member that would climb out, one plain member.
    std::string head = "Q" + padded("OTHERFAM", 10, '\0') + padded("OTHERID", 16, '\0') + padded("", 16, '\0') +
                       padded("", 50, '\0') + padded("", 200, '\0') + padded("2", 12, ' ');
    head += padded("4", 12, ' ') + padded("../evil.txt", 45, ' ');
    head += padded("2", 12, ' ') + padded("ok.txt", 45, ' ');
    write(root / "hostile.ruk", head + "EVILok");
    fs::create_directories(root / "dest");

    std::string out = run("    system.message(ruk.extract(\"" + (root / "hostile.ruk").string() + "\", \"" +
                          (root / "dest").string() + "\"))\n"
                          "    system.message(ruk.extracted.familyid() \" \" ruk.currentheader.get())");
    EXPECT_EQ(out, "0\nOTHERFAM RUNNINGID^^RUNNING2^^running short^^running long^^RUNFAM\n");
    EXPECT_FALSE(fs::exists(root / "evil.txt"));
    std::ifstream ok(root / "dest" / "ok.txt");
    std::string text((std::istreambuf_iterator<char>(ok)), {});
    EXPECT_EQ(text, "ok");

    // A package that cannot be read leaves the extracted family id alone.
    out = run("    system.message(ruk.extract(\"" + (root / "none.ruk").string() + "\", \"" +
              (root / "dest").string() + "\") ruk.extracted.familyid())");
    EXPECT_EQ(out, "0OTHERFAM\n");
}

TEST_F(RukFamily, CreateKeepsAnOlderPackageWhenTheNewOneCannotBeWritten)
{
    write(root / "src" / "a.txt", "a");
    const std::string pkg = (root / "keep.ruk").string();
    std::string create = "    system.message(ruk.create(\"" + (root / "src").string() + "\", \"" + pkg +
                         "\", \"\", \"KEEP\"))";
    ASSERT_EQ(run(create), "0\n");
    const auto good_size = fs::file_size(pkg);
    fs::permissions(pkg, fs::perms::owner_read, fs::perm_options::replace);

    // A file that cannot be opened makes the writer give up half-way.
    fs::create_symlink(root / "nowhere.txt", root / "src" / "b.txt");
    EXPECT_EQ(run(create), "3\n");
    EXPECT_EQ(fs::file_size(pkg), good_size);
    auto listing = list_package(pkg);
    ASSERT_TRUE(listing);
    EXPECT_EQ(listing->entries.size(), 1u);
    // The read-only package was made writable again, and nothing was left beside it.
    EXPECT_NE(fs::status(pkg).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_FALSE(fs::exists(pkg + ".writing_"));
}

TEST_F(RukFamily, CompileTranslatesInPlaceAndRefusesLineEndsInQuotes)
{
    h.engine().vars().assign("line[0]", "draw.text(10, 20, \"Hi\")");
    h.engine().vars().assign("line[1]", "system.message(\"two\nlines\")");
    h.engine().vars().assign("line[2]", "// only a comment");
    std::string out = run(R"(
    system.message(ruk.code.compile(line, 0) ruk.code.compile(line, 1) ruk.code.compile(line, 2) ruk.code.compile(nothing))
)");
    EXPECT_EQ(out, "110012\n");
    EXPECT_EQ(h.var("line[0]"), "draw\x8Etext\x8F" "10\x8E" "20\x8EHi\x90");
    EXPECT_EQ(h.var("line[1]"), "system.message(\"two\nlines\")");
    EXPECT_EQ(h.var("line[2]"), "// only a comment");
}

TEST_F(RukFamily, RebuildNeverWritesOverScriptSources)
{
    write(root / "app.rks", "event.initialize()\nevent.end()\n");
    h.state().package_path = (root / "app.rks").string();
    h.session().working_folder = (root / "src").string() + "/";
    EXPECT_EQ(run("    system.message(ruk.rebuild())"), "1\n");
    std::ifstream in(root / "app.rks");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text, "event.initialize()\nevent.end()\n");
}
