// A package a script builds with ruk.create is read by rukc and runs in the engine.
#include "tests/desktop/EngineProcess.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>

using namespace ruk::test;
namespace fs = std::filesystem;

namespace {

std::string run_command(const std::string& command)
{
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return out;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), n);
    ::pclose(pipe);
    return out;
}

} // namespace

TEST(RukPackage, AScriptBuildsAPackageThatRunsOnItsOwn)
{
    TempRoot root;
    const std::string folder = root.path() + "/made";
    const std::string package = root.path() + "/made.ruk";
    // The script compiles the new package's code from source lines, writes
    // it and a data file into a folder, and packs the folder.
    const std::string builder = R"ruk(
event.initialize()
    &src[0] = "event.initialize()"
    &src[1] = "    system.message(disk.file.load(notes))"
    &src[2] = "    system.message(app.familyid() ruk.currentheader.get())"
    &src[3] = "    app.close()"
    &src[4] = "event.end()"
    system.message(ruk.code.compile(src, 0) ruk.code.compile(src, 1) ruk.code.compile(src, 2) ruk.code.compile(src, 3) ruk.code.compile(src, 4))
    disk.folder.create(")ruk" + folder + R"ruk(")
    disk.file.save.array.encode(")ruk" + folder + R"ruk(/identity.qexe", src, str.char(10))
    disk.file.save(")ruk" + folder + R"ruk(/notes", "packed notes")
    system.message(ruk.create(")ruk" + folder + "\", \"" + package + R"ruk(", "", "BUILTBYSCRIPT", "", "made", "", "TOOLS"))
    app.close()
event.end()
)ruk";
    EngineProcess build({"--headless", "--timeout", "30", root.write("builder.rks", builder)}, root.path());
    EXPECT_EQ(build.wait(60), 0) << build.err();
    EXPECT_EQ(build.out(), "11111\n0\n") << build.err();

    const std::string listing = run_command(built_program("rukc") + " list '" + package + "' 2>&1");
    EXPECT_NE(listing.find("BUILTBYSCRIPT"), std::string::npos) << listing;
    EXPECT_NE(listing.find("TOOLS"), std::string::npos) << listing;
    EXPECT_NE(listing.find("identity.qexe__"), std::string::npos) << listing;
    EXPECT_NE(listing.find("notes "), std::string::npos) << listing;

    EngineProcess run({"--headless", "--timeout", "30", package}, root.path());
    EXPECT_EQ(run.wait(60), 0) << run.err();
    EXPECT_EQ(run.out(), "packed notes\nTOOLSBUILTBYSCRIPT^^builder^^made^^^^TOOLS\n") << run.err();
    fs::remove_all(folder);
}
