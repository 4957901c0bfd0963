// Removing a run's working folder.
#include "host/Session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
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

namespace {

std::string complemented(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    return text;
}

void write_file(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

TEST(Session, LibrariesJoinTheCodeFileOnALineOfTheirOwn)
{
    fs::path root = fs::path(::testing::TempDir()) / "ruk-session-join";
    fs::remove_all(root);
    fs::create_directories(root);
    Session session;
    session.working_folder = root.string() + "/";

    // A code file made elsewhere ends without a break, and so does the
    // first library: each join puts one in.
    write_file(root / "identity.qexe", complemented("event.initialize()\r\nevent.end()"));
    write_file(root / "_identity.lib", complemented("function.one()\r\nfunction.end()"));
    write_file(root / "_identity2.lib", complemented("function.two()\r\nfunction.end()\r\n"));
    std::string code = session.prepare_code();
    EXPECT_EQ(complemented(read_file(code)), "event.initialize()\r\nevent.end()\r\n"
                                             "function.one()\r\nfunction.end()\r\n"
                                             "function.two()\r\nfunction.end()\r\n");

    // A code file that already ends with a break gets no empty line, and an
    // empty one none at all.
    write_file(root / "identity.qexe", complemented("event.a()\r\nevent.end()\n"));
    fs::remove(root / "_identity2.lib");
    session.prepare_code();
    EXPECT_EQ(complemented(read_file(code)), "event.a()\r\nevent.end()\nfunction.one()\r\nfunction.end()");
    write_file(root / "identity.qexe", "");
    session.prepare_code();
    EXPECT_EQ(complemented(read_file(code)), "function.one()\r\nfunction.end()");
    fs::remove_all(root);
}
