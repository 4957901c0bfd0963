// The engine as a process under hostile conditions: special files, locked settings, signals, limits and exit codes.
#include "tests/desktop/EngineProcess.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ruk::test;
namespace fs = std::filesystem;

namespace {

const char* waiting_script = R"(
event.initialize()
    if (app.getparam(1) = child)
        system.message("child ready")
        doevent.never(600000)
    if.end()
    if (app.getparam(1) = parent)
        app.execute(app.getparam(2), "child")
    if.end()
    if (app.getparam(1) = stuck)
        system.message("ready")
    if.end()
    system.message("ready")
    doevent.never(600000)
event.end()

event.terminate()
    while (app.getparam(1) = stuck)
        &x = 1
    while.end()
event.end()
)";

struct EngineEndings : ::testing::Test {
    TempRoot root;
    std::string script;
    void SetUp() override { script = root.write("w/waiting.rks", waiting_script); }

    // Working folders and built packages under the engines' temporary root.
    std::vector<std::string> leftovers() const
    {
        std::vector<std::string> out;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(root.path() + "/rukreader", ec)) {
            std::string name = e.path().filename().string();
            if (name[0] != '.')
                out.push_back(name);
        }
        return out;
    }
};

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST_F(EngineEndings, ExitCodesSayWhetherThePackageRan)
{
    {
        EngineProcess engine({"--headless", root.path() + "/missing.ruk"}, root.path());
        EXPECT_EQ(engine.wait(30), 4);
        EXPECT_NE(engine.out().find("Cannot find"), std::string::npos) << engine.out();
    }
    {
        EngineProcess engine({"--headless", root.write("notes.txt", "text")}, root.path());
        EXPECT_EQ(engine.wait(30), 5);
        EXPECT_NE(engine.out().find("Cannot read this file"), std::string::npos) << engine.out();
    }
    {
        EngineProcess engine({"--headless", "--timeout", "1", script}, root.path());
        EXPECT_EQ(engine.wait(30), 0) << engine.err();
    }
}

TEST_F(EngineEndings, PipesNamedAsPackageOrSourceAreRefusedAtOnce)
{
    const std::string pipe_package = root.path() + "/pipe.ruk";
    const std::string pipe_source = root.path() + "/pipe.rks";
    ASSERT_EQ(::mkfifo(pipe_package.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(pipe_source.c_str(), 0600), 0);
    for (const auto& [path, code] : {std::pair {pipe_package, 5}, std::pair {pipe_source, 1}}) {
        auto start = std::chrono::steady_clock::now();
        EngineProcess engine({"--headless", "--timeout", "2", path}, root.path());
        EXPECT_EQ(engine.wait(15), code) << path << engine.out() << engine.err();
        EXPECT_LT(seconds_since(start), 10.0) << path;
    }
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(EngineEndings, ABrokenPackageGivenRelativelyIsFoundByTheRestartAndFails)
{
    std::string broken(305, '\0');
    broken[0] = 'Q';
    broken.replace(11, 6, "Broken");
    broken.replace(293, 12, "not a number");
    root.write("broken.ruk", broken);
    const fs::path old_cwd = fs::current_path();
    fs::current_path(root.path());
    EngineProcess engine({"--headless", "--timeout", "20", "broken.ruk"}, root.path());
    fs::current_path(old_cwd);
    EXPECT_EQ(engine.wait(30), 6) << engine.out() << engine.err();
    EXPECT_EQ(engine.out().find("Cannot find"), std::string::npos) << engine.out();
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(EngineEndings, ALockedSettingsStoreHoldsNeitherStartUpNorTheTimeOut)
{
    const std::string db = root.path() + "/registry.sqlite";
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "CREATE TABLE t(x); BEGIN EXCLUSIVE; INSERT INTO t VALUES(1);", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    auto start = std::chrono::steady_clock::now();
    EngineProcess engine({"--headless", "--timeout", "2", script}, root.path());
    EXPECT_TRUE(engine.wait_for_line("ready", 8)) << engine.err();
    EXPECT_EQ(engine.wait(30), 0) << engine.err();
    EXPECT_LT(seconds_since(start), 9.0);
    sqlite3_exec(holder, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
}

TEST_F(EngineEndings, EveryCatchableSignalRemovesTheWorkingFolderAndTheBuiltPackage)
{
    for (int sig : {SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGABRT, SIGQUIT}) {
        EngineProcess engine({"--headless", "--timeout", "60", script}, root.path());
        ASSERT_TRUE(engine.wait_for_line("ready", 30)) << engine.err();
        ASSERT_EQ(leftovers().size(), 2u) << "a working folder and the package built from the source";
        engine.signal(sig);
        engine.wait(30);
        EXPECT_TRUE(leftovers().empty()) << "signal " << sig;
    }
}

TEST_F(EngineEndings, TheForcedEndOfTheTimeOutCleansUpToo)
{
    EngineProcess engine({"--headless", "--timeout", "1", script, "stuck"}, root.path());
    EXPECT_EQ(engine.wait(40), 3) << engine.err();
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(EngineEndings, WhatAKilledEngineLeftIsSweptByTheNextOne)
{
    {
        EngineProcess engine({"--headless", "--timeout", "60", script}, root.path());
        ASSERT_TRUE(engine.wait_for_line("ready", 30)) << engine.err();
        engine.signal(SIGKILL);
        engine.wait(10);
    }
    auto left = leftovers();
    ASSERT_EQ(left.size(), 2u);
    // Leftovers are swept once they have been still for a while.
    for (const auto& name : left) {
        struct timespec old[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
        ::utimensat(AT_FDCWD, (root.path() + "/rukreader/" + name).c_str(), old, AT_SYMLINK_NOFOLLOW);
    }
    EngineProcess next({"--headless", "--timeout", "20", script}, root.path());
    ASSERT_TRUE(next.wait_for_line("ready", 30)) << next.err();
    auto now = leftovers();
    for (const auto& name : left)
        EXPECT_EQ(std::count(now.begin(), now.end(), name), 0) << name;
    next.signal(SIGTERM);
    next.wait(30);
}

TEST_F(EngineEndings, EnginesStartedUnderATimeOutEndWithIt)
{
    EngineProcess parent({"--headless", "--timeout", "3", script, "parent", script}, root.path());
    EXPECT_TRUE(parent.wait_for_line("child ready", 30)) << parent.err();
    EXPECT_EQ(parent.wait(30), 0);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!leftovers().empty() && std::chrono::steady_clock::now() < deadline)
        ::usleep(100000);
    EXPECT_TRUE(leftovers().empty()) << "the started engine still runs";
}

TEST_F(EngineEndings, WritingPastAFileSizeLimitFailsTheWriteNotTheEngine)
{
    const std::string target = root.write("out/big.txt", "old contents");
    const std::string saver = root.write("s/saver.rks", R"(
event.initialize()
    &t = "0123456789abcdefghijklmnopqrstuvwxyz"
    for (&i, 1, 15)
        &t = &t &t
    for.next()
    disk.file.save(app.getparam(1), &t)
    system.message("saved " system.lasterror())
    app.close()
event.end()
)");
    rlimit old_limit {};
    ::getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit small {200000, old_limit.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EngineProcess engine({"--headless", "--timeout", "20", saver, target}, root.path());
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    EXPECT_EQ(engine.wait(30), 0) << engine.err();
    EXPECT_NE(engine.out().find("Cannot write"), std::string::npos) << engine.out();
    std::ifstream in(target, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old contents");
    EXPECT_EQ(std::distance(fs::directory_iterator(root.path() + "/out"), fs::directory_iterator()), 1);
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(EngineEndings, WindowSizesHaveACeiling)
{
    const std::string sizer = root.write("z/sizer.rks", R"(
event.initialize()
    window.main.pos(0, 0, 200, 100)
    window.main.pos(0, 0, 30000, 30000)
    window.main.width(20000)
    system.message(window.main.width() "x" window.main.height())
    app.close()
event.end()
)");
    EngineProcess engine({"--headless", "--verbose", "--timeout", "20", sizer}, root.path());
    EXPECT_EQ(engine.wait(30), 0);
    EXPECT_EQ(engine.out(), "200x100\n");
    EXPECT_NE(engine.err().find("too large"), std::string::npos) << engine.err();
}
