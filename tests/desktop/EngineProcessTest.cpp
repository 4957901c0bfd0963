// The engine as a process: instances, working folders, signals, restarts and start-up messages.
#include "tests/desktop/EngineProcess.h"
#include "system/Translator.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

using namespace ruk::test;
namespace fs = std::filesystem;

namespace {

const char* instances_script = R"(
event.initialize()
    if (app.getparam(1) = wait)
        system.message("ready " app.countinstances())
        doevent.never(600000)
    if.else()
        system.message(app.countinstances() " " app.getparam(1) "|" app.getparam(13) "|" system.rukengine.countinstances())
        app.close(app.getparam(2))
    if.end()
event.end()

event.unload()
    system.message("unload")
event.end()

event.terminate()
    system.message("terminate")
event.end()
)";

struct EngineRun : ::testing::Test {
    TempRoot root;
    std::string script;
    void SetUp() override { script = root.write("inst/instances.rks", instances_script); }
};

} // namespace

TEST_F(EngineRun, CountsItselfEndsAndRemovesItsWorkingFolder)
{
    EngineProcess engine({"--headless", "--timeout", "20", script, "x"}, root.path());
    EXPECT_EQ(engine.wait(30), 0) << engine.err();
    EXPECT_EQ(engine.out(), "1 x||1\nunload\nterminate\n");
    EXPECT_TRUE(root.working_folders().empty());
}

TEST_F(EngineRun, CloseWithOneKeepsTheWorkingFolder)
{
    EngineProcess engine({"--headless", "--timeout", "20", script, "x", "1"}, root.path());
    EXPECT_EQ(engine.wait(30), 0) << engine.err();
    auto folders = root.working_folders();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_TRUE(fs::exists(folders[0] + "/identity.qexe"));
}

TEST_F(EngineRun, SecondEngineSeesTheFirstAndAKilledEngineGivesItsUnitBack)
{
    EngineProcess first({"--headless", "--timeout", "60", script, "wait"}, root.path());
    ASSERT_TRUE(first.wait_for_line("ready 1", 30)) << first.out() << first.err();
    {
        EngineProcess second({"--headless", "--timeout", "20", script, "y"}, root.path());
        EXPECT_EQ(second.wait(30), 0);
        EXPECT_EQ(second.out().substr(0, 4), "2 y|");
    }
    first.signal(SIGKILL);
    first.wait(10);
    EngineProcess third({"--headless", "--timeout", "20", script, "z"}, root.path());
    EXPECT_EQ(third.wait(30), 0);
    EXPECT_EQ(third.out().substr(0, 4), "1 z|");
}

TEST_F(EngineRun, SigtermRunsTheTerminateSequenceAndCleansUp)
{
    EngineProcess engine({"--headless", "--timeout", "60", script, "wait"}, root.path());
    ASSERT_TRUE(engine.wait_for_line("ready 1", 30)) << engine.err();
    EXPECT_EQ(root.working_folders().size(), 1u);
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(30), 0);
    EXPECT_EQ(engine.out(), "ready 1\nunload\nterminate\n");
    EXPECT_TRUE(root.working_folders().empty());
}

TEST_F(EngineRun, SigtermEndsTheEngineEvenWhenAScriptCancels)
{
    std::string stubborn = root.write("stay/stay.rks", R"(
event.initialize()
    system.message("ready")
event.end()
event.unload()
    system.message("unload")
    app.cancelclose(1)
    system.message("asked to stay")
event.end()
)");
    EngineProcess engine({"--headless", "--timeout", "60", stubborn}, root.path());
    ASSERT_TRUE(engine.wait_for_line("ready", 30)) << engine.err();
    engine.signal(SIGTERM);
    EXPECT_EQ(engine.wait(30), 0);
    EXPECT_EQ(engine.out(), "ready\nunload\nasked to stay\n");
    EXPECT_TRUE(root.working_folders().empty());
}

TEST_F(EngineRun, SavedWindowPositionsLastBetweenRuns)
{
    std::string place = root.write("place/place.rks", R"(
event.initialize()
    if (app.getparam(1) = save)
        window.main.pos.now(30, 40, 250, 120)
        window.main.pos.save(spot)
    if.else()
        system.message(window.main.pos.load(spot) " " window.main.width() "x" window.main.height() " " window.main.pos.load(nowhere))
    if.end()
    app.close()
event.end()
)");
    EngineProcess save({"--headless", "--timeout", "20", place, "save"}, root.path());
    EXPECT_EQ(save.wait(30), 0);
    EngineProcess load({"--headless", "--timeout", "20", place}, root.path());
    EXPECT_EQ(load.wait(30), 0);
    EXPECT_EQ(load.out(), "1 250x120 0\n");
}

TEST_F(EngineRun, SigtermEndsAWaitForAStartedProgram)
{
    std::string waiting = root.write("wait/wait.rks", R"(
event.initialize()
    system.message("ready")
    &code = system.process.create(0, "", "sleep 30", "", 1)
    system.message("after " &code)
event.end()
)");
    EngineProcess engine({"--headless", "--timeout", "60", waiting}, root.path());
    ASSERT_TRUE(engine.wait_for_line("ready", 30)) << engine.err();
    engine.signal(SIGTERM);
    // Well before the program's 30 seconds: the wait gives up, the line ends.
    EXPECT_EQ(engine.wait(10), 0);
    EXPECT_TRUE(root.working_folders().empty());
}

TEST_F(EngineRun, TimeoutStopsARunawayScript)
{
    std::string runaway = root.write("loop.rks", "event.initialize()\n while (1)\n &n = &n + 1\n while.end()\n"
                                                 "event.end()\nevent.terminate()\n system.message(\"terminate\")\nevent.end()\n");
    EngineProcess engine({"--headless", "--timeout", "1", runaway}, root.path());
    EXPECT_EQ(engine.wait(30), 0);
    EXPECT_EQ(engine.out(), "terminate\n");
    EXPECT_TRUE(root.working_folders().empty());
}

TEST_F(EngineRun, UnreadablePackageRestartsOnceWithNoRestart)
{
    std::string header(305, '\0');
    header[0] = 'Q';
    header.replace(293, 12, "abc         ");
    std::string bad = root.write("bad.ruk", header);
    EngineProcess engine({"--headless", "--verbose", bad}, root.path());
    // The first engine starts a second with "/norestart", which ends quietly;
    // the first passes on its exit code: the package could not be unpacked.
    EXPECT_EQ(engine.wait(30), 6);
    EXPECT_NE(engine.err().find("starting again with /norestart"), std::string::npos) << engine.err();
    EXPECT_NE(engine.err().find("not starting again"), std::string::npos) << engine.err();
    EXPECT_EQ(engine.out(), "");

    // A member found broken half-way: the folder made for it goes too.
    std::string half = header;
    half.replace(293, 12, "2           ");
    std::string entries = std::string("1") + std::string(11, ' ') + "a.txt" + std::string(40, ' ')
        + "x" + std::string(11, ' ') + "b.txt" + std::string(40, ' ') + "A";
    half.replace(11, 4, "HALF");
    std::string broken = root.write("half.ruk", half + entries);
    EngineProcess again({"--headless", broken}, root.path());
    EXPECT_EQ(again.wait(30), 6);
    EXPECT_TRUE(root.working_folders().empty());
}

TEST_F(EngineRun, StartUpMessages)
{
    EngineProcess missing({"--headless", root.path() + "/Missing.ruk"}, root.path());
    EXPECT_EQ(missing.wait(30), 4);
    EXPECT_EQ(missing.out(), "Cannot find " + root.path() + "/Missing.ruk\n\nEngine version 304\n");
    std::string notes = root.write("Notes.txt", "hello");
    EngineProcess text({"--headless", notes}, root.path());
    EXPECT_EQ(text.wait(30), 5);
    EXPECT_EQ(text.out(), "Cannot read this file : " + notes + "\n");
    EngineProcess bad_option({"--timeout", "abc", notes}, root.path());
    EXPECT_EQ(bad_option.wait(30), 2);
}

TEST_F(EngineRun, LoadWaitsUntilInitializeHasReturned)
{
    // Messages handled inside "initialize" must not run "load" there.
    std::string busy = root.write("busy/busy.rks", R"(
event.initialize()
    system.message("initialize begins")
    time.tick.reset()
    while (time.tick.get() < 60000)
        system.doevents()
    while.end()
    system.message("initialize ends")
event.end()
event.load()
    system.message("load")
    app.close()
event.end()
)");
    EngineProcess engine({"--headless", "--timeout", "30", busy}, root.path());
    EXPECT_EQ(engine.wait(40), 0) << engine.err();
    EXPECT_EQ(engine.out(), "initialize begins\ninitialize ends\nload\n");
}

TEST_F(EngineRun, ALibraryJoinsTheMainCodeOnALineOfItsOwn)
{
    root.write("withlib/main.rks", "event.initialize()\n system.message(greet(you))\n app.close()\nevent.end()\n");
    ruk::CompiledSource library = ruk::compile_source("function.greet(&who)\n return(\"hello \" &who)\nfunction.end()\n");
    ASSERT_TRUE(library.errors.empty());
    root.write("withlib/_identity.lib", ruk::encode_code_file(library.lines));
    EngineProcess engine({"--headless", "--timeout", "30", root.path() + "/withlib"}, root.path());
    EXPECT_EQ(engine.wait(40), 0) << engine.err();
    EXPECT_EQ(engine.out(), "hello you\n");
}
