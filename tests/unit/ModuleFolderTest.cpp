// Finding modules from a program's own place: the installed layout and the program's folder.
#include "host/ModuleFolder.h"
#include "host/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace ruk {
namespace {

namespace fs = std::filesystem;

TEST(ModuleFolder, FindsModulesBesideTheProgramsFolder)
{
    TemporaryFolder tree("ruk-modules");
    ASSERT_FALSE(tree.path().empty());
    const fs::path root = tree.path();
    fs::create_directories(root / "bin");
    fs::create_directories(root / "lib/rukengine");
    const std::string program = (root / "bin/rukengine").string();
    std::ofstream(root / "lib/rukengine/libone.so") << "x";
    std::ofstream(root / "bin/libtwo.so") << "x";
    fs::create_directories(root / "lib/rukengine/libfolder.so");

    EXPECT_EQ(find_module("libone.so", program), (root / "lib/rukengine/libone.so").lexically_normal().string());
    EXPECT_EQ(find_module("libtwo.so", program), (root / "bin/libtwo.so").lexically_normal().string());
    EXPECT_FALSE(find_module("libthree.so", program));
    EXPECT_FALSE(find_module("libfolder.so", program)); // a folder is no module
    EXPECT_FALSE(find_module("../rukengine/libone.so", program));
    EXPECT_FALSE(own_executable_path().empty());
}

} // namespace
} // namespace ruk
