// Removing a run's working folder.
#include "host/Session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace ruk;

TEST(Session, DeletingTheWorkingFolderLeavesWhatLinksPointToAlone)
{
    fs::path root = fs::path(::testing::TempDir()) / "ruk-session-test";
    fs::remove_all(root);
    fs::create_directories(root / "work" / "kept");
    std::ofstream(root / "outside.txt") << "mine";
    fs::permissions(root / "outside.txt", fs::perms::owner_read, fs::perm_options::replace);
    std::ofstream(root / "work" / "a.txt") << "a";
    fs::permissions(root / "work" / "a.txt", fs::perms::owner_read, fs::perm_options::replace);
    fs::create_symlink(root / "outside.txt", root / "work" / "link");

    Session session;
    session.working_folder = (root / "work").string() + "/";
    // A sub-folder a script made keeps the folder in place; its files go.
    EXPECT_FALSE(session.delete_working_folder());
    EXPECT_FALSE(fs::exists(root / "work" / "a.txt"));
    EXPECT_FALSE(fs::is_symlink(root / "work" / "link"));
    EXPECT_TRUE(fs::exists(root / "outside.txt"));
    EXPECT_EQ(fs::status(root / "outside.txt").permissions() & fs::perms::all, fs::perms::owner_read);

    fs::remove(root / "work" / "kept");
    EXPECT_TRUE(session.delete_working_folder());
    EXPECT_FALSE(fs::exists(root / "work"));
    fs::remove_all(root);
}

TEST(Session, PackageNames)
{
    EXPECT_EQ(package_name_of("games/Demo.ruk"), "Demo");
    EXPECT_EQ(package_name_of("games/demo/"), "demo");
    EXPECT_EQ(package_name_of("games/demo//"), "demo");
    EXPECT_EQ(package_name_of("hello.rks"), "hello");
}
