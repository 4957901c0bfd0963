// Removing a run's working folder.
#include "host/Leftovers.h"
#include "host/Session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <ctime>
#include <fcntl.h>
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
}

TEST(Session, LeftoversOfEnginesThatAreGoneAreSweptAndLiveOnesStay)
{
    std::string pattern = (fs::temp_directory_path() / "ruk-sweep-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path root = pattern;
    auto make_folder = [&](const std::string& name) {
        fs::create_directories(root / name);
        std::ofstream(root / name / "identity.qexe") << "code";
        return (root / name).string();
    };
    const std::string gone = make_folder("Demo-12ABCD3456EFGH78");
    const std::string live = make_folder("Demo-98ZYXW7654VUTS32");
    const std::string kept = make_folder("Kept-11AAAA2222BBBB33");
    const std::string young = make_folder("New-55QQQQ6666RRRR77");
    const std::string other = make_folder("not-a-working-folder");
    std::ofstream(root / "source-12ABCD3456EFGH78.ruk") << "package";
    mark_kept(kept);
    RunLock lock;
    ASSERT_TRUE(lock.hold(live));
    // Age everything but the young folder past the grace time.
    for (const auto& entry : fs::directory_iterator(root))
        if (entry.path() != young) {
            struct timespec old[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
            ::utimensat(AT_FDCWD, entry.path().c_str(), old, AT_SYMLINK_NOFOLLOW);
        }
    EXPECT_EQ(sweep_leftovers(root.string() + "/", 60), 2);
    EXPECT_FALSE(fs::exists(gone));
    EXPECT_FALSE(fs::exists(root / "source-12ABCD3456EFGH78.ruk"));
    EXPECT_TRUE(fs::exists(live + "/identity.qexe"));
    EXPECT_TRUE(fs::exists(kept));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_TRUE(fs::exists(young));
    EXPECT_EQ(sweep_leftovers(root.string() + "/", 60), 0);
    EXPECT_TRUE(is_working_folder_name("pkg-00AAAA0000AAAA00"));
    EXPECT_FALSE(is_working_folder_name("pkg-00AAAA0000AAAA0"));
    EXPECT_FALSE(is_working_folder_name("-00AAAA0000AAAA00"));
    fs::remove_all(root);
}
