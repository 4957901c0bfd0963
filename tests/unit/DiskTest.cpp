// The disk family: array files, byte inversion, copies and moves, listings, dates, drives and safe saving.
#include "system/Disk.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ruk;
using ruk::test::ScriptHarness;
namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const fs::path& path, std::string_view data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Each test runs in a fresh temporary folder that is its current folder, as
// a package's working folder is; both are undone afterwards.
struct DiskFamily : ::testing::Test {
    ScriptHarness h;
    fs::path dir;
    fs::path old_cwd;

    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "ruk-disk-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        old_cwd = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override
    {
        fs::current_path(old_cwd);
        fs::remove_all(dir);
    }
    // Runs the lines inside an "initialize" event and returns what they printed.
    std::string run(const std::string& lines)
    {
        h.clear_output();
        EXPECT_TRUE(h.load("event.initialize()\n" + lines + "\nevent.end()\n"));
        h.run();
        return h.output();
    }
    std::vector<std::string> leftovers() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

} // namespace

TEST(DiskText, PiecesKeepEveryEmptyPiece)
{
    using V = std::vector<std::string_view>;
    EXPECT_EQ(disk::split_pieces("one,two,,four", ','), (V {"one", "two", "", "four"}));
    EXPECT_EQ(disk::split_pieces("", ','), (V {""}));
    EXPECT_EQ(disk::split_pieces("a,", ','), (V {"a", ""}));
    EXPECT_EQ(disk::split_pieces(",", ','), (V {"", ""}));
    EXPECT_EQ(disk::until_zero(std::string_view("ab\0cd", 5)), "ab");
}

TEST(DiskText, WildcardsIgnoreCaseAndBacktrack)
{
    EXPECT_TRUE(disk::wildcard_match("*.txt", "Notes.TXT"));
    EXPECT_FALSE(disk::wildcard_match("*.txt", "notes.txt.bak"));
    EXPECT_TRUE(disk::wildcard_match("a?c", "abc"));
    EXPECT_FALSE(disk::wildcard_match("a?c", "ac"));
    EXPECT_TRUE(disk::wildcard_match("*a*b", "xaxxab"));
    EXPECT_FALSE(disk::wildcard_match("*a*b", "xaxxa"));
    EXPECT_TRUE(disk::wildcard_match("*", ".hidden"));
    EXPECT_TRUE(disk::wildcard_match("*.*", "Makefile"));
    EXPECT_TRUE(disk::wildcard_match("readme.*", "README"));
    EXPECT_FALSE(disk::wildcard_match("read.*", "README"));
    EXPECT_FALSE(disk::wildcard_match("", "x"));
}

TEST(DiskDate, PackedNumbersHoldEveryField)
{
    std::tm t {};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 15;
    t.tm_hour = 13;
    t.tm_min = 45;
    t.tm_sec = 59;
    t.tm_isdst = -1;
    std::time_t when = std::mktime(&t);
    int32_t packed = disk::pack_date_time(when);
    EXPECT_EQ(packed, (44 << 25) | (3 << 21) | (15 << 16) | (13 << 11) | (45 << 5) | 29);
    // Odd seconds round down; unpacking gives the even second back.
    ASSERT_TRUE(disk::unpack_date_time(packed));
    EXPECT_EQ(*disk::unpack_date_time(packed), when - 1);
    EXPECT_EQ(disk::pack_date_time(*disk::unpack_date_time(packed)), packed);
}

TEST(DiskDate, RangeAndImpossibleDates)
{
    // Before 1980 every date is the first moment of 1980.
    EXPECT_EQ(disk::pack_date_time(0), (1 << 21) | (1 << 16));
    // From 2044 on the top bit is set: the number is negative.
    std::tm t {};
    t.tm_year = 2050 - 1900;
    t.tm_mon = 0;
    t.tm_mday = 2;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    int32_t late = disk::pack_date_time(std::mktime(&t));
    EXPECT_LT(late, 0);
    EXPECT_TRUE(disk::unpack_date_time(late));
    EXPECT_FALSE(disk::unpack_date_time(-1));                                 // month 15
    EXPECT_FALSE(disk::unpack_date_time((44 << 25) | (2 << 21) | (31 << 16))); // 31 February
    EXPECT_FALSE(disk::unpack_date_time((44 << 25) | (1 << 21) | (1 << 16) | (24 << 11)));
    auto ten_days = disk::pack_days_later(std::mktime(&t), -10);
    ASSERT_TRUE(ten_days);
    EXPECT_EQ((static_cast<uint32_t>(*ten_days) >> 16) & 31, 23u); // 23 December
    EXPECT_FALSE(disk::pack_days_later(std::mktime(&t), 100 * 366));
}

TEST(DiskDrives, MountInfoGivesLettersInMountOrder)
{
    const char* text = "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
                       "30 27 0:40 / /mnt/share rw shared:5 - nfs4 server:/export rw\n"
                       "31 27 8:17 / /media/ann/USB\\040STICK rw - vfat /dev/sdb1 rw\n"
                       "32 27 0:41 / /mntx rw - ext4 /dev/sdc rw\n"
                       "33 27 11:0 / /media/cdrom rw - iso9660 /dev/sr0 ro\n"
                       "garbage line\n"
                       "34 30 0:42 / /mnt/share rw - tmpfs tmpfs rw\n"
                       "35 27 0:43 / / rw - overlay overlay rw\n";
    disk::DriveMap map = disk::DriveMap::from_mountinfo(text);
    EXPECT_EQ(map.letters(), "C^^D^^E^^F");
    ASSERT_TRUE(map.find('c'));
    EXPECT_EQ(map.find('C')->root, "/");
    EXPECT_EQ(map.find('C')->fs_type, "overlay"); // the mount that is seen
    EXPECT_EQ(map.find('D')->root, "/mnt/share");
    EXPECT_EQ(map.find('D')->fs_type, "tmpfs");   // mounted over, same letter
    EXPECT_EQ(map.find('E')->root, "/media/ann/USB STICK");
    EXPECT_EQ(map.find('E')->major, 8u);
    EXPECT_EQ(map.find('F')->fs_type, "iso9660");
    EXPECT_FALSE(map.find('G'));
    EXPECT_EQ(disk::DriveMap::from_mountinfo("").letters(), "C");
}

TEST(DiskDrives, TypesFromFileSystems)
{
    EXPECT_EQ(disk::drive_type_name("nfs4", false), "Network");
    EXPECT_EQ(disk::drive_type_name("fuse.sshfs", false), "Network");
    EXPECT_EQ(disk::drive_type_name("udf", true), "CD-Rom");
    EXPECT_EQ(disk::drive_type_name("tmpfs", false), "RamDisk");
    EXPECT_EQ(disk::drive_type_name("vfat", true), "Removable");
    EXPECT_EQ(disk::drive_type_name("ext4", false), "Hard disk");
    EXPECT_EQ(disk::drive_type_name("", false), "Unknown");
}

TEST_F(DiskFamily, DrivesOfThisMachine)
{
    std::string out = run(R"(
    system.message(disk.drive.list())
    system.message(disk.drive.type("z") "|" disk.drive.type("a") "|" disk.drive.type(""))
    system.message(disk.drive.type("c"))
    system.message(disk.drive.freespace("c") "|" disk.drive.totalspace("c", 1) "|" disk.drive.freespace("b"))
    system.message(disk.file.exists("c:\") disk.folder.exists("c:\") disk.folder.exists("C:/"))
    )");
    std::istringstream lines(out);
    std::string list, missing, type, space, paths;
    std::getline(lines, list);
    std::getline(lines, missing);
    std::getline(lines, type);
    std::getline(lines, space);
    std::getline(lines, paths);
    EXPECT_EQ(list.substr(0, 1), "C");
    EXPECT_NE(list.substr(list.size() - 2), "^^");
    disk::DriveMap map = disk::DriveMap::current();
    ASSERT_TRUE(map.find('C'));
    EXPECT_EQ(map.find('C')->root, "/");
    if (!map.find('Z')) {
        EXPECT_EQ(missing, "Does not exist|Does not exist|Does not exist");
    }
    EXPECT_TRUE(type == "Hard disk" || type == "RamDisk" || type == "Removable" || type == "Network") << type;
    EXPECT_EQ(space.substr(space.size() - 3), "|-1");
    EXPECT_NE(space[0], '-');
    EXPECT_EQ(paths, "011");
}

TEST_F(DiskFamily, ArrayFilesKeepEmptyPiecesAndAppend)
{
    put(dir / "list.txt", "one,two,,four");
    put(dir / "empty.txt", "");
    std::string out = run(R"(
    disk.file.load.array("list.txt", a, ",")
    system.message(var.array.count(a) ":" &a[])
    &b[] = "w^^x^^y^^z"
    disk.file.load.array.append("list.txt", b, ",")
    system.message(var.array.count(b) ":" &b[4] "|" &b[6] "|" &b[7])
    disk.file.load.array("empty.txt", c, ",")
    system.message(var.array.count(c))
    &one = "single"
    disk.file.save.array("one.txt", one, ",")
    disk.file.save.array("plain.txt", b)
    disk.file.load.array("plain.txt", d)
    system.message(var.array.count(d) ":" &d[])
    )");
    EXPECT_EQ(out, "4:one^^two^^^^four\n8:one||four\n1\n8:w^^x^^y^^z^^one^^two^^^^four\n");
    EXPECT_EQ(slurp(dir / "one.txt"), "single");
    // Without a separator parameter the pieces are joined with 0x01.
    EXPECT_EQ(slurp(dir / "plain.txt"), "w\x01x\x01y\x01z\x01one\x01two\x01\x01" "four");
}

TEST_F(DiskFamily, LoadingIntoALongerArrayKeepsItsTail)
{
    put(dir / "two.txt", "a;b");
    std::string out = run(R"(
    &t[] = "1^^2^^3"
    disk.file.load.array("two.txt", t, ";")
    system.message(&t[])
    )");
    EXPECT_EQ(out, "a^^b^^3\n");
}

TEST_F(DiskFamily, EncodingInvertsEveryByteAndKeeps0xFF)
{
    h.engine().vars().assign("secret", std::string("ab\xFF" "cd"));
    std::string out = run(R"(
    disk.file.save.encode("s.bin", &secret)
    &back = disk.file.load.decode("s.bin")
    system.message(str.len(&back))
    &arr[] = "A^^B"
    disk.file.save.array.encode("arr.bin", arr, "-")
    system.message(disk.file.load.decode("arr.bin"))
    )");
    EXPECT_EQ(out, "5\nA-B\n");
    EXPECT_EQ(h.var("back"), "ab\xFF" "cd");
    EXPECT_EQ(slurp(dir / "s.bin"), std::string("\x9E\x9D\x00\x9C\x9B", 5));
    // A byte 0xFF in the file is a zero in the text, which ends it.
    put(dir / "z.bin", "\xBE\xFF\xBD");
    EXPECT_EQ(run("system.message(disk.file.load.decode(\"z.bin\") \"|\")"), "A|\n");
}

TEST_F(DiskFamily, MoveAndCopyRules)
{
    put(dir / "src.txt", "new");
    put(dir / "dst.txt", "old");
    std::string out = run(R"(
    system.message(disk.file.move("src.txt", "dst.txt", 1) disk.file.exists("src.txt") disk.file.load("dst.txt"))
    system.message(disk.file.copy("src.txt", "dst.txt", 1) disk.file.load("dst.txt"))
    system.message(disk.file.move("src.txt", "src.txt") disk.file.copy("src.txt", "src.txt") disk.file.load("src.txt"))
    system.message(disk.file.move("src.txt", "dst.txt") disk.file.exists("src.txt") disk.file.load("dst.txt"))
    system.message(disk.file.move("missing.txt", "x.txt") disk.file.copy("missing.txt", "x.txt") disk.file.exists("x.txt"))
    )");
    EXPECT_EQ(out, "01old\n0old\n00new\n10new\n000\n");
}

TEST_F(DiskFamily, CopyOfAReadOnlyFileIsWritableAndKeepsItsDate)
{
    put(dir / "ro.txt", "content");
    fs::last_write_time(dir / "ro.txt", fs::file_time_type::clock::now() - std::chrono::hours(24 * 30));
    ::chmod((dir / "ro.txt").c_str(), 0444);
    EXPECT_EQ(run(R"(system.message(disk.file.copy("ro.txt", "copy.txt")))"), "1\n");
    struct stat st {};
    ASSERT_EQ(::stat((dir / "copy.txt").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR);
    EXPECT_EQ(slurp(dir / "copy.txt"), "content");
    EXPECT_EQ(fs::last_write_time(dir / "copy.txt"), fs::last_write_time(dir / "ro.txt"));
    EXPECT_EQ(leftovers(), (std::vector<std::string> {"copy.txt", "ro.txt"}));
}

TEST_F(DiskFamily, ListingsTakeFilesOrFoldersByPattern)
{
    fs::create_directories(dir / "data" / "Sub1");
    fs::create_directories(dir / "data" / "sub2");
    fs::create_directories(dir / "data" / "other");
    put(dir / "data" / "b.txt", "");
    put(dir / "data" / "A.TXT", "");
    put(dir / "data" / "c.dat", "");
    put(dir / "data" / "ab.txt", "");
    std::string out = run(R"(
    &f[] = "x^^x^^x^^x^^x"
    disk.file.list("data\*.txt", f)
    system.message(&f[])
    disk.file.list("DATA\?.*", g)
    system.message(&g[])
    disk.folder.list("data\*", h)
    system.message(&h[])
    disk.folder.list("data\sub?", k)
    system.message(&k[])
    disk.file.list("nowhere\*", n)
    system.message(var.array.count(n) "[" &n "]")
    )");
    EXPECT_EQ(out, "A.TXT^^ab.txt^^b.txt^^x^^x\nA.TXT^^b.txt^^c.dat\nother^^Sub1^^sub2\nSub1^^sub2\n1[]\n");
}

TEST_F(DiskFamily, PathsIgnoreCaseInsideTheWorkingFolderAndTakeBothSeparators)
{
    fs::create_directories(dir / "Pics" / "Small");
    put(dir / "Pics" / "Small" / "Logo.BMP", "bmp");
    std::string abs = (dir / "Pics").string();
    h.engine().vars().assign("abs", abs);
    std::string out = run(R"(
    system.message(disk.file.load("pics\small\logo.bmp") disk.file.size("PICS/SMALL/LOGO.bmp"))
    disk.file.save("pics\SMALL\New.txt", "n")
    system.message(disk.folder.exists("pics\small\") disk.folder.exists("pics\small\logo.bmp"))
    system.message(disk.file.load("c:" &abs "\small\logo.bmp"))
    system.message(disk.folder.create("PICS\small\deeper\deepest") disk.folder.create(""))
    )");
    EXPECT_EQ(out, "bmp3\n10\nbmp\n10\n");
    EXPECT_EQ(slurp(dir / "Pics" / "Small" / "New.txt"), "n");
    EXPECT_TRUE(fs::is_directory(dir / "Pics" / "Small" / "deeper" / "deepest"));
}

TEST_F(DiskFamily, FailedSaveReportsAndLeavesWhatWasThere)
{
    fs::create_directories(dir / "folder.txt");
    run(R"(disk.file.save("folder.txt", "text"))");
    EXPECT_EQ(h.errors(), (std::vector<std::string> {"Cannot write file."}));
    EXPECT_TRUE(fs::is_directory(dir / "folder.txt"));

    // A write that fails half-way (the file-size limit stops it even for the
    // superuser) must not cost the old contents.
    const std::string good(3000, 'g');
    put(dir / "good.txt", good);
    h.engine().vars().assign("big", std::string(20000, 'x'));
    auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit {};
    ::getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit small = old_limit;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    run(R"(
    disk.file.save("good.txt", &big)
    disk.file.merge("good.txt", "good.txt", "good.txt")
    )");
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(h.errors(), (std::vector<std::string> {"Cannot write file.", "Cannot write file.", "Cannot merge file."}));
    EXPECT_EQ(slurp(dir / "good.txt"), good);
    EXPECT_EQ(leftovers(), (std::vector<std::string> {"folder.txt", "good.txt"}));
}

TEST_F(DiskFamily, ReadingRefusesWhatIsNoFileWithoutBlockingAndMissingFilesAreEmpty)
{
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::string out = run(R"(
    system.message("[" disk.file.load("pipe") "][" disk.file.load("missing") "]")
    system.message(disk.file.size("missing") disk.file.exists("missing") disk.file.size("pipe"))
    system.message(disk.file.exists(".") disk.file.size(".") disk.file.date.get("missing"))
    disk.file.load.array("missing", m)
    system.message(disk.file.copy("pipe", "p2") disk.file.compress("pipe", "p3") disk.file.exists("p2"))
    )");
    EXPECT_EQ(out, "[][]\n-10-1\n0-1-1\n000\n");
    // Only the pipe is an error: a missing file reads as empty text, and an
    // array loaded from it gets one empty element.
    EXPECT_EQ(h.errors(), (std::vector<std::string> {"Cannot read file."}));
    EXPECT_EQ(h.var("m"), "");
    EXPECT_EQ(h.var("m[]"), "");
}

TEST_F(DiskFamily, MergeCompressAndExpand)
{
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "line " + std::to_string(i % 17) + "\n";
    put(dir / "a.txt", text);
    put(dir / "b.txt", "tail");
    put(dir / "keep.bin", "keep me");
    std::string out = run(R"(
    disk.file.merge("a.txt", "b.txt", "ab.txt")
    disk.file.merge("b.txt", "missing", "b.txt")
    disk.file.merge("missing", "b.txt", "bb.txt")
    system.message(disk.file.compress("ab.txt", "ab.lzh") disk.file.expand("ab.lzh", "back.txt"))
    system.message(disk.file.expand("b.txt", "keep.bin") disk.file.expand("b.txt", "fresh.bin") disk.file.size("fresh.bin"))
    system.message(disk.file.compress("missing", "x.lzh") disk.file.exists("x.lzh"))
    )");
    EXPECT_EQ(out, "11\n000\n00\n");
    EXPECT_TRUE(h.errors().empty());
    EXPECT_EQ(slurp(dir / "ab.txt"), text + "tail");
    EXPECT_EQ(slurp(dir / "back.txt"), text + "tail");
    EXPECT_EQ(slurp(dir / "b.txt"), "tail");
    EXPECT_EQ(slurp(dir / "bb.txt"), "tail");
    EXPECT_LT(fs::file_size(dir / "ab.lzh"), text.size() / 2);
    EXPECT_EQ(slurp(dir / "keep.bin"), "keep me");
}

TEST_F(DiskFamily, DatesOfFiles)
{
    put(dir / "f.txt", "x");
    std::string out = run(R"(
    disk.file.date.set("f.txt", 741303242)
    system.message(disk.file.date.get("f.txt"))
    disk.file.date.set("f.txt", 1503723520)
    system.message(disk.file.date.get("f.txt"))
    disk.file.date.set("f.txt")
    &now = disk.file.date.get("f.txt")
    disk.file.older("f.txt", -3999)
    &before = disk.file.date.get("f.txt")
    system.message(?(&before < &now, earlier, later))
    disk.file.date.frob("f.txt")
    )");
    // 741303242 is 2002-01-15 12:30:20, kept to the second although it is
    // too large for an integer expression; 1503723520 names month 13.
    EXPECT_EQ(out, "741303242\n741303242\nearlier\n");
    EXPECT_EQ(h.errors(), (std::vector<std::string> {"Syntax Error or Unknown keyword or function"}));
}

TEST_F(DiskFamily, FoldersAndDeletes)
{
    put(dir / "f.txt", "x");
    std::string out = run(R"(
    system.message(disk.folder.create("a\b\c") disk.folder.exists("a\b\c\") disk.folder.exists("f.txt"))
    system.message(disk.folder.remove("a\b") disk.folder.remove("a\b\c") disk.folder.exists("a\b\c"))
    system.message(disk.file.delete("f.txt") disk.file.delete("f.txt") disk.file.delete("a"))
    system.message("[" disk.dialogbox.open("Pick", "", "", "txt") "]")
    )");
    EXPECT_EQ(out, "110\n010\n100\n[]\n");
    EXPECT_EQ(leftovers(), (std::vector<std::string> {"a"}));
}

TEST_F(DiskFamily, SavingRefusesAFileItsOwnerMadeReadOnly)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root, where a read-only file can still be written";
    std::ofstream(dir / "locked.txt") << "kept";
    fs::permissions(dir / "locked.txt", fs::perms::owner_read, fs::perm_options::replace);
    run(R"(
    disk.file.save("locked.txt", "changed")
    )");
    EXPECT_EQ(h.errors(), (std::vector<std::string> {"Cannot write file."}));
    EXPECT_EQ(slurp(dir / "locked.txt"), "kept");
}

TEST_F(DiskFamily, PipesDevicesAndSocketsAreNoFilesAndAreNeverDeleted)
{
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    // A node for the null device of our own, never the system's.
    bool have_device = ::mknod((dir / "null").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    fs::create_symlink(dir / "pipe", dir / "pipelink");
    put(dir / "plain", "x");
    fs::create_symlink(dir / "plain", dir / "plainlink");
    std::string out = run(R"(
    system.message(disk.file.exists("pipe") disk.file.size("pipe") disk.file.date.get("pipe"))
    system.message(disk.file.delete("pipe") disk.file.delete("pipelink") disk.file.exists("pipelink"))
    system.message(disk.file.exists("null") disk.file.size("null") disk.file.date.get("null") disk.file.delete("null"))
    system.message(disk.file.copy("plain", "pipe") disk.file.delete("plainlink") disk.file.exists("plain"))
    )");
    EXPECT_EQ(out, "0-1-1\n000\n0-1-10\n011\n");
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(dir / "pipe")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "pipelink")));
    if (have_device) {
        EXPECT_TRUE(fs::is_character_file(fs::symlink_status(dir / "null")));
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "plainlink")));
}

TEST_F(DiskFamily, SavingIntoAFolderThatTakesNoNewFileWritesInPlace)
{
    // Needs a user the folder refuses: root passes every permission check.
    fs::create_directories(dir / "ro");
    ::chmod(dir.c_str(), 0755);
    put(dir / "ro" / "f.txt", "old text");
    ASSERT_EQ(::chown((dir / "ro" / "f.txt").c_str(), 65534, 65534), 0);
    ::chmod((dir / "ro").c_str(), 0555);
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        bool ok = disk::write_file((dir / "ro" / "f.txt").string(), "new");
        bool refused = !disk::write_file((dir / "ro" / "g.txt").string(), "new");
        ::_exit(ok && refused ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::chmod((dir / "ro").c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(slurp(dir / "ro" / "f.txt"), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "ro"), fs::directory_iterator()), 1);
}
