// The "anim" family against windows kept in memory.
#include "graphics/Anim.h"
#include "tests/support/MemoryWindows.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

namespace ruk::test {
namespace {

// Memory windows on a clock that stands at 500 ms.
class PaperDesk : public MemoryWindows {
public:
    std::vector<int> started;
    int64_t motion_clock_ms() override { return 500; }
    void animation_started(int index) override { started.push_back(index); }
    WindowRecord& record(int index) { return table().record(index); }
};

struct AnimFamily : ::testing::Test {
    ScriptHarness h;
    PaperDesk desk;

    void SetUp() override
    {
        desk.table().occupy(3, desk.make_window(3));
        desk.window(3)->set_geometry(WindowRect{30, 40, 100, 100});
        register_anim_family(h.engine(), desk);
    }
    std::string run(const std::string& lines)
    {
        h.clear_output();
        EXPECT_TRUE(h.load("event.initialize()\n" + lines + "\nevent.end()\n"));
        h.run();
        return h.output();
    }
};

TEST_F(AnimFamily, SettingsReadBackAsScriptsSeeThem)
{
    EXPECT_EQ(run("system.message(anim.main.sensibility() \"|\" anim.main.friction() \"|\" anim.main.speed())"),
              "-1|-1|0\n");
    EXPECT_EQ(run("anim.3.direction(0)\nsystem.message(anim.3.direction())"), "270\n");
    EXPECT_EQ(run("anim.3.turn.left(280)\nsystem.message(anim.3.direction())"), "350\n");
    EXPECT_EQ(run("anim.3.turn.right(20)\nsystem.message(anim.3.direction())"), "10\n");
    EXPECT_EQ(run("anim.3.sensibility(40)\nanim.3.friction(2)\n"
                  "system.message(anim.3.sensibility() \"|\" anim.3.friction())"),
              "40|2\n");
    EXPECT_TRUE(h.errors().empty());
}

TEST_F(AnimFamily, SpeedRepaintsAndStartsTheTimerEvenWithoutSensibility)
{
    EXPECT_EQ(run("anim.3.speed(7)\nsystem.message(anim.3.speed())"), "7\n");
    const Motion& m = desk.record(3).motion;
    EXPECT_EQ(m.speed(), 700);
    EXPECT_TRUE(m.timer_running());
    EXPECT_EQ(m.next_tick_ms(), 520);
    EXPECT_EQ(desk.started, std::vector<int>{3});
    EXPECT_EQ(desk.memory(3).repaints, 1);
    // A new window in the slot starts at rest but keeps the heading.
    desk.record(3).motion.set_heading(77);
    desk.table().release(3);
    desk.table().occupy(3, desk.make_window(3));
    EXPECT_EQ(desk.record(3).motion.speed(), 0);
    EXPECT_EQ(desk.record(3).motion.heading(), 77);
    EXPECT_FALSE(desk.record(3).motion.timer_running());
    EXPECT_FALSE(desk.record(0).motion.timer_running());
}

TEST_F(AnimFamily, MoveStartsFromTheWindowWhenTheTargetIsUnset)
{
    desk.record(3).target_left = -1;
    desk.record(3).target_top = -1;
    run("anim.3.direction(0)\nanim.3.move.ahead(250)");
    EXPECT_NEAR(desk.record(3).target_left, 3250, 0.01);
    EXPECT_NEAR(desk.record(3).target_top, 4000, 0.01);
    run("anim.3.move(250)");
    EXPECT_NEAR(desk.record(3).target_left, 3000, 0.01);
}

TEST_F(AnimFamily, BadWindowsAreErrorsAndUnknownWordsAreFunctionCalls)
{
    EXPECT_EQ(run("system.message(\"[\" anim.5.speed() \"]\")"), "[]\n");
    ASSERT_EQ(h.errors().size(), 1u);
    EXPECT_EQ(h.errors()[0], "The window index is invalid.");
    run("anim.main.turn.around(5)\nanim.main.spin()");
    ASSERT_EQ(h.errors().size(), 3u);
    EXPECT_NE(h.errors()[1], "The window index is invalid.");
}

} // namespace
} // namespace ruk::test
