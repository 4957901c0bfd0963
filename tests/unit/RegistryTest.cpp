// The settings store: keys without letter case, sub-key deletion, damaged files, several writers, killed writers.
#include "system/Registry.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace ruk;
namespace fs = std::filesystem;

namespace {

struct StoreTest : ::testing::Test {
    std::string dir;
    std::string db;

    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "ruk-registry-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        db = dir + "/sub/registry.sqlite";
    }
    void TearDown() override { fs::remove_all(dir); }
};

std::vector<std::string> names(const std::optional<std::vector<std::string>>& keys)
{
    return keys ? *keys : std::vector<std::string>{"<missing>"};
}

TEST_F(StoreTest, KeysAndValuesIgnoreLetterCaseButKeepIt)
{
    Registry reg(db);
    ASSERT_TRUE(reg.usable());
    EXPECT_TRUE(reg.write_value(RegRoot::CurrentUser, "Software\\Acme\\Tool", "Colour", "red"));
    EXPECT_EQ(reg.read_value(RegRoot::CurrentUser, "SOFTWARE\\acme\\TOOL", "colour"), "red");
    // Leading, trailing and doubled separators name the same key.
    EXPECT_EQ(reg.read_value(RegRoot::CurrentUser, "\\software\\\\acme\\tool\\", "COLOUR"), "red");
    // A second writing under another case replaces the text, keeps the names.
    EXPECT_TRUE(reg.write_value(RegRoot::CurrentUser, "software\\ACME\\tool", "COLOUR", "blue"));
    EXPECT_EQ(names(reg.list_keys(RegRoot::CurrentUser, "software")), std::vector<std::string>{"Acme"});
    auto values = reg.list_values(RegRoot::CurrentUser, "Software\\Acme\\Tool");
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), 1u);
    EXPECT_EQ((*values)[0], (std::pair<std::string, std::string>{"Colour", "blue"}));
    // Roots are separate trees.
    EXPECT_FALSE(reg.read_value(RegRoot::LocalMachine, "Software\\Acme\\Tool", "Colour"));
    EXPECT_FALSE(reg.key_exists(RegRoot::Users, "Software"));
    // The unnamed value is a value like the others; empty texts are kept.
    EXPECT_TRUE(reg.write_value(RegRoot::CurrentUser, "Software\\Acme", "", "unnamed"));
    EXPECT_TRUE(reg.write_value(RegRoot::CurrentUser, "Software\\Acme", "empty", ""));
    EXPECT_EQ(reg.read_value(RegRoot::CurrentUser, "Software\\Acme", ""), "unnamed");
    EXPECT_EQ(reg.read_value(RegRoot::CurrentUser, "Software\\Acme", "empty"), "");
    // Texts are bytes: separators, token bytes and zero bytes survive.
    const std::string bytes("a\\b\x8E\x90\0z\xFF", 8);
    EXPECT_TRUE(reg.write_value(RegRoot::CurrentUser, "Software\\Acme", "bytes", bytes));
    EXPECT_EQ(reg.read_value(RegRoot::CurrentUser, "Software\\Acme", "BYTES"), bytes);
}

TEST_F(StoreTest, DeletingAKeyTakesItsSubKeysButNotItsNeighbours)
{
    Registry reg(db);
    ASSERT_TRUE(reg.create_key(RegRoot::CurrentUser, "A\\B\\C\\D"));
    EXPECT_TRUE(reg.key_exists(RegRoot::CurrentUser, "a\\b\\c"));
    reg.write_value(RegRoot::CurrentUser, "A\\B\\C", "v", "1");
    reg.write_value(RegRoot::CurrentUser, "A\\BC", "v", "neighbour");
    reg.write_value(RegRoot::CurrentUser, "A\\B]", "v", "after the range");
    reg.write_value(RegRoot::LocalMachine, "A\\B", "v", "other root");
    EXPECT_EQ(names(reg.list_keys(RegRoot::CurrentUser, "A")), (std::vector<std::string>{"B", "B]", "BC"}));

    EXPECT_TRUE(reg.delete_key(RegRoot::CurrentUser, "a\\B"));
    EXPECT_FALSE(reg.key_exists(RegRoot::CurrentUser, "A\\B"));
    EXPECT_FALSE(reg.key_exists(RegRoot::CurrentUser, "A\\B\\C\\D"));
    EXPECT_FALSE(reg.read_value(RegRoot::CurrentUser, "A\\B\\C", "v"));
    EXPECT_EQ(reg.read_value(RegRoot::CurrentUser, "A\\BC", "v"), "neighbour");
    EXPECT_EQ(reg.read_value(RegRoot::CurrentUser, "A\\B]", "v"), "after the range");
    EXPECT_EQ(reg.read_value(RegRoot::LocalMachine, "A\\B", "v"), "other root");
    EXPECT_EQ(names(reg.list_keys(RegRoot::CurrentUser, "A")), (std::vector<std::string>{"B]", "BC"}));

    // A missing key, and a root, are not deleted.
    EXPECT_FALSE(reg.delete_key(RegRoot::CurrentUser, "A\\B"));
    EXPECT_FALSE(reg.delete_key(RegRoot::CurrentUser, "\\"));
    EXPECT_TRUE(reg.key_exists(RegRoot::CurrentUser, ""));
    EXPECT_FALSE(reg.list_keys(RegRoot::CurrentUser, "Nowhere"));
    EXPECT_FALSE(reg.delete_value(RegRoot::CurrentUser, "A\\BC", "missing"));
    EXPECT_TRUE(reg.delete_value(RegRoot::CurrentUser, "a\\bc", "V"));
    EXPECT_FALSE(reg.read_value(RegRoot::CurrentUser, "A\\BC", "v"));
    EXPECT_TRUE(reg.key_exists(RegRoot::CurrentUser, "A\\BC"));
}

TEST_F(StoreTest, WritesLastAcrossReopeningAndBatchesKeepWhatExists)
{
    {
        Registry reg(db);
        reg.write_value(RegRoot::CurrentConfig, "Display", "Mode", "1024x768");
        reg.write_values(RegRoot::CurrentConfig, "Display", {{"Depth", "24"}, {"Rate", "60"}});
    }
    Registry reg(db);
    EXPECT_EQ(reg.read_value(RegRoot::CurrentConfig, "display", "mode"), "1024x768");
    EXPECT_TRUE(reg.write_values(RegRoot::CurrentConfig, "Display", {{"MODE", "new"}, {"Scale", "2"}}, true));
    EXPECT_EQ(reg.read_value(RegRoot::CurrentConfig, "Display", "Mode"), "1024x768");
    EXPECT_EQ(reg.read_value(RegRoot::CurrentConfig, "Display", "Scale"), "2");
    EXPECT_EQ(reg.list_values(RegRoot::CurrentConfig, "Display")->size(), 4u);
}

TEST_F(StoreTest, RootNamesAndTheStoreLocation)
{
    EXPECT_EQ(parse_root_name("HKEY_LOCAL_MACHINE"), RegRoot::LocalMachine);
    EXPECT_EQ(parse_root_name("hkcu"), RegRoot::CurrentUser);
    EXPECT_EQ(parse_root_name("HKEY_USERS"), RegRoot::Users);
    EXPECT_FALSE(parse_root_name("HKEY_NOWHERE"));
    EXPECT_STREQ(root_name(RegRoot::ClassesRoot), "HKEY_CLASSES_ROOT");

    std::string saved = std::getenv("RUK_REGISTRY") ? std::getenv("RUK_REGISTRY") : "";
    ::setenv("RUK_REGISTRY", "/somewhere/store.sqlite", 1);
    EXPECT_EQ(Registry::default_path(), "/somewhere/store.sqlite");
    ::unsetenv("RUK_REGISTRY");
    std::string config = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(Registry::default_path(), "/cfg/rukengine/registry.sqlite");
    if (config.empty())
        ::unsetenv("XDG_CONFIG_HOME");
    else
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    if (!saved.empty())
        ::setenv("RUK_REGISTRY", saved.c_str(), 1);
}

TEST_F(StoreTest, ADamagedStoreAnswersNothingReportsOnceAndStaysOnDisk)
{
    fs::create_directories(dir + "/sub");
    {
        std::ofstream out(db, std::ios::binary);
        out << std::string(4096, '\x5A');
    }
    testing::internal::CaptureStderr();
    {
        Registry reg(db);
        EXPECT_FALSE(reg.usable());
        EXPECT_FALSE(reg.read_value(RegRoot::CurrentUser, "A", "b"));
        EXPECT_FALSE(reg.write_value(RegRoot::CurrentUser, "A", "b", "c"));
        EXPECT_FALSE(reg.create_key(RegRoot::CurrentUser, "A"));
        EXPECT_FALSE(reg.key_exists(RegRoot::CurrentUser, ""));
        EXPECT_FALSE(reg.list_values(RegRoot::CurrentUser, ""));
    }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(db), std::string::npos) << err;
    EXPECT_EQ(err.find(db), err.rfind(db)) << "reported more than once: " << err;
    EXPECT_EQ(fs::file_size(db), 4096u);
}

TEST_F(StoreTest, AStoreDamagedInsideItsPagesFailsWithoutACrash)
{
    {
        Registry reg(db);
        for (int i = 0; i < 300; ++i)
            reg.write_value(RegRoot::CurrentUser, "Key" + std::to_string(i % 7), "v" + std::to_string(i),
                            std::string(200, 'x'));
    }
    // Fold the log into the main file, then scribble over every page after
    // the first, leaving the header readable.
    fs::remove(db + "-wal");
    fs::remove(db + "-shm");
    auto size = fs::file_size(db);
    ASSERT_GT(size, 8192u);
    {
        std::fstream f(db, std::ios::in | std::ios::out | std::ios::binary);
        for (std::streamoff at = 4096 + 100; at < static_cast<std::streamoff>(size); at += 512) {
            f.seekp(at);
            f << "\xFF\x00\x13\x37garbage";
        }
    }
    testing::internal::CaptureStderr();
    {
        Registry reg(db);
        for (int i = 0; i < 300; ++i) {
            auto v = reg.read_value(RegRoot::CurrentUser, "Key" + std::to_string(i % 7), "v" + std::to_string(i));
            if (v) {
                EXPECT_EQ(v->size(), 200u);
            }
        }
        reg.write_value(RegRoot::CurrentUser, "Key1", "after", "damage");
        reg.list_keys(RegRoot::CurrentUser, "");
        reg.delete_key(RegRoot::CurrentUser, "Key2");
    }
    testing::internal::GetCapturedStderr();
}

// Runs `body` in a child process and returns the child's id.
template <typename F>
pid_t spawn(F body)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        int code = body();
        ::_exit(code);
    }
    return pid;
}

TEST_F(StoreTest, TwoProcessesWritingAtOnceLoseNothing)
{
    // Both children open the store, then start writing together.
    { Registry create(db); }
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    constexpr int Count = 1000;
    auto writer = [&](const char* prefix) {
        return [&, prefix] {
            ::close(gate[1]);
            Registry reg(db);
            char c;
            (void)!::read(gate[0], &c, 1);
            for (int i = 0; i < Count; ++i)
                if (!reg.write_value(RegRoot::CurrentUser, "Shared\\Key", prefix + std::to_string(i), std::to_string(i)))
                    return 1;
            return 0;
        };
    };
    pid_t a = spawn(writer("a"));
    pid_t b = spawn(writer("b"));
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    ::close(gate[0]);
    ::close(gate[1]); // opens the gate: both reads see the end of the pipe
    int status_a = 0, status_b = 0;
    ASSERT_EQ(::waitpid(a, &status_a, 0), a);
    ASSERT_EQ(::waitpid(b, &status_b, 0), b);
    EXPECT_TRUE(WIFEXITED(status_a) && WEXITSTATUS(status_a) == 0);
    EXPECT_TRUE(WIFEXITED(status_b) && WEXITSTATUS(status_b) == 0);

    Registry reg(db);
    auto values = reg.list_values(RegRoot::CurrentUser, "shared\\key");
    ASSERT_TRUE(values);
    EXPECT_EQ(values->size(), 2u * Count);
    for (int i = 0; i < Count; i += 97) {
        EXPECT_EQ(reg.read_value(RegRoot::CurrentUser, "Shared\\Key", "a" + std::to_string(i)), std::to_string(i));
        EXPECT_EQ(reg.read_value(RegRoot::CurrentUser, "Shared\\Key", "b" + std::to_string(i)), std::to_string(i));
    }
}

TEST_F(StoreTest, AWriterKilledMidwayKeepsEveryWriteItReported)
{
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    pid_t child = spawn([&] {
        ::close(report[0]);
        Registry reg(db);
        for (int i = 0;; ++i) {
            if (!reg.write_value(RegRoot::CurrentUser, "Killed", "v" + std::to_string(i), std::string(100, 'k')))
                return 1;
            if (::write(report[1], &i, sizeof i) != sizeof i)
                return 1;
        }
    });
    ASSERT_GT(child, 0);
    ::close(report[1]);
    std::set<int> committed;
    int index = 0;
    while (committed.size() < 400 && ::read(report[0], &index, sizeof index) == sizeof index)
        committed.insert(index);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    while (::read(report[0], &index, sizeof index) == sizeof index)
        committed.insert(index);
    ::close(report[0]);
    ASSERT_GE(committed.size(), 400u);

    Registry reg(db);
    ASSERT_TRUE(reg.usable());
    for (int i : committed)
        ASSERT_TRUE(reg.read_value(RegRoot::CurrentUser, "Killed", "v" + std::to_string(i))) << "lost value " << i;
    // The store still takes writes after the killed writer.
    EXPECT_TRUE(reg.write_value(RegRoot::CurrentUser, "Killed", "after", "yes"));
}

} // namespace

TEST_F(StoreTest, ARelativeStorePathIsTakenFromTheFolderTheProcessStartedIn)
{
    const std::string started_in = fs::current_path().string();
    const char* old = std::getenv("RUK_REGISTRY");
    const std::string saved = old ? old : "";
    ::setenv("RUK_REGISTRY", "settings/store.sqlite", 1);
    fs::current_path(dir);
    std::string path = Registry::default_path();
    fs::current_path(started_in);
    if (old)
        ::setenv("RUK_REGISTRY", saved.c_str(), 1);
    else
        ::unsetenv("RUK_REGISTRY");
    EXPECT_EQ(path, started_in + "/settings/store.sqlite");
}

TEST_F(StoreTest, AnotherProgramsDatabaseIsNeverWritten)
{
    fs::create_directories(dir + "/sub");
    {
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(db.c_str(), &other), SQLITE_OK);
        sqlite3_exec(other, "CREATE TABLE notes(body TEXT); INSERT INTO notes VALUES('mine');", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    }
    const auto before = fs::file_size(db);
    testing::internal::CaptureStderr();
    {
        Registry reg(db);
        EXPECT_FALSE(reg.write_value(RegRoot::CurrentUser, "A", "b", "c"));
        EXPECT_FALSE(reg.read_value(RegRoot::CurrentUser, "A", "b"));
        EXPECT_FALSE(reg.usable());
    }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("not a settings store"), std::string::npos) << err;
    EXPECT_EQ(fs::file_size(db), before);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &other), SQLITE_OK);
    int objects = -1;
    sqlite3_exec(other, "SELECT count(*) FROM sqlite_master", [](void* out, int, char** v, char**) {
        *static_cast<int*>(out) = std::atoi(v[0]);
        return 0;
    }, &objects, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(objects, 1);

    // A store of ours from before the mark is still ours.
    fs::remove(db);
    {
        sqlite3* old_store = nullptr;
        ASSERT_EQ(sqlite3_open(db.c_str(), &old_store), SQLITE_OK);
        sqlite3_exec(old_store,
                     "CREATE TABLE reg_keys(root INTEGER NOT NULL, lpath TEXT NOT NULL, lparent TEXT NOT NULL,"
                     " name TEXT NOT NULL, PRIMARY KEY(root, lpath)) WITHOUT ROWID;"
                     "CREATE INDEX reg_keys_parent ON reg_keys(root, lparent);"
                     "CREATE TABLE reg_values(root INTEGER NOT NULL, lkey TEXT NOT NULL, lname TEXT NOT NULL,"
                     " name TEXT NOT NULL, data TEXT NOT NULL, PRIMARY KEY(root, lkey, lname)) WITHOUT ROWID;",
                     nullptr, nullptr, nullptr);
        sqlite3_close(old_store);
    }
    Registry reg(db);
    EXPECT_TRUE(reg.write_value(RegRoot::CurrentUser, "A", "b", "c"));
    EXPECT_EQ(reg.read_value(RegRoot::CurrentUser, "A", "b"), "c");
}

TEST_F(StoreTest, ABusyStoreIsOpenedAtFirstUseAndWaitsABoundedTime)
{
    { Registry create(db); create.write_value(RegRoot::CurrentUser, "A", "b", "before"); }
    // Another process holds the write lock (and, outside WAL, every reader off).
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "PRAGMA journal_mode=DELETE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);

    testing::internal::CaptureStderr();
    auto start = std::chrono::steady_clock::now();
    Registry reg(db, 300);
    auto constructed = std::chrono::steady_clock::now();
    EXPECT_FALSE(reg.write_value(RegRoot::CurrentUser, "A", "b", "during"));
    EXPECT_FALSE(reg.read_value(RegRoot::CurrentUser, "A", "b"));
    auto failed = std::chrono::steady_clock::now();
    testing::internal::GetCapturedStderr();
    EXPECT_LT(constructed - start, std::chrono::milliseconds(100));
    EXPECT_LT(failed - constructed, std::chrono::seconds(3));

    // Once the lock goes, the same store works: nothing was marked broken.
    sqlite3_exec(holder, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_TRUE(reg.write_value(RegRoot::CurrentUser, "A", "b", "after"));
    EXPECT_EQ(reg.read_value(RegRoot::CurrentUser, "A", "b"), "after");
}
