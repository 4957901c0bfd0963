// Motion ticks, bounces, dragging and throwing on a clock the tests step by hand.
#include "graphics/Logo.h"
#include "host/WindowDrag.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace ruk {
namespace {

using E = MotionEvent;

struct Target {
    float left = 0;
    float top = 0;
};

// A window on a 1000 x 800 screen with the animation timer stepped by hand.
struct Glider {
    Motion motion;
    Target target{10000, 10000};
    MotionLimits limits{900, 700};
    bool can_go_out = false;
    int64_t now = 0;
    std::vector<MotionEvent> events;

    // Moves the clock on by one millisecond at a time up to `until`, running
    // every tick that falls due; returns how many ran.
    int run_until(int64_t until)
    {
        int ran = 0;
        for (; now <= until; ++now)
            if (motion.take_due_tick(now))
                ran += motion.tick(target.left, target.top, limits, can_go_out, [&](E e) {
                    events.push_back(e);
                    return true;
                });
        return ran;
    }
    int count(E e) const { return static_cast<int>(std::count(events.begin(), events.end(), e)); }
};

TEST(Motion, FrictionTenSpeedFiveEndsAfterTheFifthMovingTick)
{
    Glider g;
    g.motion.set_sensibility(1);
    g.motion.set_friction(10);
    g.motion.set_speed(500);
    g.motion.set_direction(0); // to the right
    g.motion.start_timer(0);
    g.run_until(1000);
    std::vector<E> expected(5, E::Move);
    expected.push_back(E::End);
    EXPECT_EQ(g.events, expected);
    // 400 + 300 + 200 + 100 + 0 hundredths.
    EXPECT_FLOAT_EQ(g.target.left, 11000);
    EXPECT_NEAR(g.target.top, 10000, 0.01);
    EXPECT_FALSE(g.motion.timer_running());
}

TEST(Motion, FrictionOneSpeedHundredMovesTenTicksAndEndsOnTheEleventhAt220Ms)
{
    Glider g;
    g.motion.set_sensibility(5);
    g.motion.set_friction(1);
    g.motion.set_speed(100);
    g.motion.start_timer(0);
    g.run_until(219);
    EXPECT_EQ(g.count(E::Move), 10);
    EXPECT_EQ(g.count(E::End), 0);
    g.run_until(220);
    EXPECT_EQ(g.count(E::End), 1);
    g.run_until(2000);
    EXPECT_EQ(g.events.size(), 11u);
}

TEST(Motion, SkippedTicksNeitherMoveNorEnd)
{
    // Sensibility 0: the timer runs, nothing ever happens.
    Glider g;
    g.motion.set_sensibility(0);
    g.motion.set_speed(500);
    g.motion.start_timer(0);
    EXPECT_EQ(g.run_until(1000), 0);
    EXPECT_TRUE(g.events.empty());
    EXPECT_TRUE(g.motion.timer_running());
    EXPECT_FLOAT_EQ(g.target.left, 10000);

    // Held by the mouse: no tick until the button lets go.
    g.motion.set_sensibility(1);
    g.motion.set_drag_state(2);
    EXPECT_EQ(g.run_until(1100), 0);
    g.motion.set_drag_state(0);
    EXPECT_GT(g.run_until(1200), 0);
}

TEST(Motion, TickNeverReentersFromItsOwnEvents)
{
    Motion m;
    m.set_sensibility(1);
    m.set_speed(1000);
    Target t{5000, 5000};
    int nested_ran = -1;
    m.tick(t.left, t.top, {900, 700}, false, [&](E e) {
        if (e == E::Move)
            nested_ran = m.tick(t.left, t.top, {900, 700}, false, [](E) { return true; });
        return true;
    });
    EXPECT_EQ(nested_ran, 0);
    EXPECT_FALSE(m.in_tick());
}

TEST(Motion, ClosedWindowStopsTheTickAtOnce)
{
    Motion m;
    m.set_sensibility(1);
    m.set_direction(0);
    m.set_speed(100000);
    Target t{89000, 5000};
    std::vector<E> seen;
    m.tick(t.left, t.top, {900, 700}, false, [&](E e) {
        seen.push_back(e);
        return false;
    });
    EXPECT_EQ(seen, std::vector<E>{E::Move});
    EXPECT_EQ(m.heading(), 270); // the right-border bounce never happened
}

TEST(Motion, BordersClampMirrorAndRaiseInOrder)
{
    // Heading 90 past the right limit: clamped there, mirrored to 270.
    Glider g;
    g.motion.set_sensibility(1);
    g.motion.set_friction(0);
    g.motion.set_speed(100);
    g.motion.set_heading(90);
    g.target = {95000, 30000};
    g.motion.start_timer(0);
    g.run_until(20);
    EXPECT_EQ(g.events, (std::vector<E>{E::Move, E::HitRight, E::HitBorder}));
    EXPECT_FLOAT_EQ(g.target.left, 90000);
    EXPECT_EQ(g.motion.heading(), 270);

    // Heading 270 runs right into the edge and comes back as 90.
    Glider r;
    r.motion.set_sensibility(1);
    r.motion.set_friction(0);
    r.motion.set_speed(1000);
    r.motion.set_heading(270);
    r.target = {89500, 30000};
    r.motion.start_timer(0);
    r.run_until(20);
    EXPECT_FLOAT_EQ(r.target.left, 90000);
    EXPECT_EQ(r.motion.heading(), 90);

    // A corner: right before bottom, each mirror seeing the one before.
    Glider c;
    c.motion.set_sensibility(1);
    c.motion.set_friction(0);
    c.motion.set_speed(5000);
    c.motion.set_heading(315); // down and to the right
    c.target = {89000, 69000};
    c.motion.start_timer(0);
    c.run_until(20);
    EXPECT_EQ(c.events, (std::vector<E>{E::Move, E::HitRight, E::HitBorder, E::HitBottom, E::HitBorder}));
    EXPECT_EQ(c.motion.heading(), 135); // -315 -> 45, then -45 - 180 -> 135: up and to the left
    EXPECT_FLOAT_EQ(c.target.left, 90000);
    EXPECT_FLOAT_EQ(c.target.top, 70000);
}

TEST(Motion, WindowThatCanGoOutIsNotClampedButStillBounces)
{
    Glider g;
    g.can_go_out = true;
    g.motion.set_sensibility(1);
    g.motion.set_friction(0);
    g.motion.set_speed(3000);
    g.motion.set_direction(180); // left
    g.target = {1000, 30000};
    g.motion.start_timer(0);
    g.run_until(20);
    EXPECT_FLOAT_EQ(g.target.left, -2000);
    EXPECT_EQ(g.events, (std::vector<E>{E::Move, E::HitLeft, E::HitBorder}));
    EXPECT_EQ(g.motion.heading(), 270); // now to the right
}

TEST(Motion, DirectionsAndTurnsAreStoredAsHeadings)
{
    Motion m;
    m.set_direction(0);
    EXPECT_EQ(m.heading(), 270);
    m.set_direction(300);
    EXPECT_EQ(m.heading(), 330);
    m.set_direction(-100); // stays within 0 .. 359 whatever a script gives
    EXPECT_EQ(m.heading(), 10);
    m.set_direction(2000000000);
    EXPECT_GE(m.heading(), 0);
    EXPECT_LT(m.heading(), 360);
    m.set_heading(10);
    m.turn_left(30);
    EXPECT_EQ(m.heading(), 340);
    m.turn_right(725);
    EXPECT_EQ(m.heading(), 345);

    // Script direction 90 is up the screen; "move" without a word goes the other way.
    m.set_direction(90);
    Target t{-1, 2000};
    m.move(t.left, t.top, 40, 50, 500, true);
    EXPECT_NEAR(t.left, 4000, 0.01);
    EXPECT_NEAR(t.top, 1500, 0.01);
    m.move(t.left, t.top, 40, 50, 500, false);
    EXPECT_NEAR(t.top, 2000, 0.01);
}

TEST(Motion, NewWindowKeepsOnlyTheHeading)
{
    Motion m;
    m.set_heading(123);
    m.set_speed(400);
    m.set_sensibility(9);
    m.set_friction(3);
    m.start_timer(0);
    m.reset_for_new_window();
    EXPECT_EQ(m.heading(), 123);
    EXPECT_EQ(m.speed(), 0);
    EXPECT_EQ(m.sensibility(), -1);
    EXPECT_EQ(m.friction(), -1);
    EXPECT_FALSE(m.timer_running());
}

TEST(Motion, LateTimerGivesOneTickNotABurst)
{
    Motion m;
    m.start_timer(0);
    EXPECT_FALSE(m.take_due_tick(19));
    EXPECT_TRUE(m.take_due_tick(21)); // a little late: the cadence holds
    EXPECT_EQ(m.next_tick_ms(), 40);
    EXPECT_TRUE(m.take_due_tick(200));
    EXPECT_FALSE(m.take_due_tick(200));
    EXPECT_EQ(m.next_tick_ms(), 220);
}

// The left button on a window on a 1000 x 800 screen, the window 100 x 100.
struct Hand {
    Motion motion;
    WindowDrag drag;
    DragSettings settings;
    Target target{20000, 20000};
    DragPoint window{200, 200};
    MotionLimits limits{900, 700};
    bool finger = false;
    int moves = 0;
    int mouse_moves = 0;

    void press(int x, int y, int64_t now)
    {
        drag.press(motion, settings, {x - window.x, y - window.y}, window, {x, y}, now);
    }
    // The host moves the window to the target after every step.
    void to(int x, int y, int64_t now)
    {
        WindowDrag::Step s = drag.move(motion, target.left, target.top, settings, {x, y}, {x - window.x, y - window.y}, window, limits,
                                       finger, now);
        moves += s.moved;
        mouse_moves += s.mouse_moved;
        window = {static_cast<int32_t>(target.left / 100), static_cast<int32_t>(target.top / 100)};
    }
    WindowDrag::Release release(int x, int y, int64_t now)
    {
        return drag.release(motion, settings, {x, y}, window, {1000, 800}, now);
    }
};

TEST(WindowDrag, ClickWithoutMovementIsAClick)
{
    Hand h;
    h.motion.set_sensibility(100);
    h.press(250, 250, 0);
    EXPECT_EQ(h.motion.drag_state(), 2);
    h.to(250, 250, 50);
    WindowDrag::Release r = h.release(250, 250, 100);
    EXPECT_TRUE(r.click);
    EXPECT_FALSE(r.thrown);
    EXPECT_EQ(h.motion.drag_state(), 0);
    EXPECT_EQ(h.mouse_moves, 0);
}

TEST(WindowDrag, FollowsOnlyAfterTheDelayUnlessFingerDriven)
{
    Hand h;
    h.press(250, 250, 0);
    h.to(260, 250, 100);
    EXPECT_EQ(h.moves, 0);
    EXPECT_EQ(h.window, (DragPoint{200, 200}));
    h.to(280, 250, 181);
    EXPECT_EQ(h.window, (DragPoint{230, 200})); // the whole way since the press
    // Dragged back to where it started: a click after all.
    h.to(250, 250, 200);
    EXPECT_TRUE(h.release(250, 250, 210).click);

    Hand f;
    f.finger = true;
    f.press(250, 250, 0);
    f.to(240, 270, 1);
    EXPECT_EQ(f.window, (DragPoint{190, 220}));
}

TEST(WindowDrag, AxesAndParentAreaHoldTheWindow)
{
    Hand h;
    h.settings.drag_axis = 2;
    h.press(250, 250, 0);
    h.to(300, 900, 500);
    EXPECT_EQ(h.window, (DragPoint{200, 700})); // only down, and only to the bottom

    Hand out;
    out.settings.can_go_out = true;
    out.press(250, 250, 0);
    out.to(100, 50, 500);
    EXPECT_EQ(out.window, (DragPoint{50, 0}));
    out.to(10, 10, 520);
    EXPECT_EQ(out.window, (DragPoint{-40, -40}));

    Hand fixed;
    fixed.settings.movable = false;
    EXPECT_FALSE(fixed.drag.press(fixed.motion, fixed.settings, {1, 1}, fixed.window, {201, 201}, 0));
    fixed.to(400, 400, 500);
    EXPECT_EQ(fixed.window, (DragPoint{200, 200}));
    EXPECT_TRUE(fixed.release(400, 400, 600).click);
}

TEST(WindowDrag, ReleaseThrowsAlongTheLastDiagonalMovement)
{
    Hand h;
    h.motion.set_sensibility(10);
    h.motion.set_speed(999); // grabbing stops a glide
    h.press(250, 250, 0);
    EXPECT_EQ(h.motion.speed(), 0);
    h.to(260, 260, 200);
    h.to(270, 270, 220);
    h.to(273, 274, 240);
    WindowDrag::Release r = h.release(273, 274, 250);
    EXPECT_TRUE(r.thrown);
    EXPECT_FALSE(r.click);
    // The last movement seen from the release: dx = 270 - 273, dy = 270 - 274.
    // atan2(-4, -3) is -126.87 degrees; + 90 cut toward zero is -36, so 324.
    EXPECT_EQ(h.motion.heading(), 324);
    EXPECT_EQ(h.motion.speed(), (1000 * 3 + 800 * 4) * 10 / 1000);
    EXPECT_TRUE(h.motion.timer_running());
}

TEST(WindowDrag, StraightOrUnsensibleReleasesThrowNothing)
{
    Hand h;
    h.motion.set_sensibility(10);
    h.press(250, 250, 0);
    h.to(270, 260, 200);
    h.to(290, 260, 220);
    WindowDrag::Release r = h.release(290, 260, 230);
    EXPECT_FALSE(r.thrown);
    EXPECT_FALSE(r.click);
    EXPECT_FALSE(h.motion.timer_running());

    Hand d; // default sensibility -1: dragged, never thrown
    d.press(250, 250, 0);
    d.to(270, 270, 200);
    d.to(280, 285, 220);
    EXPECT_FALSE(d.release(280, 285, 230).thrown);

    // One move only: measured from the press point, not the screen's corner.
    Hand one;
    one.motion.set_sensibility(10);
    one.press(250, 250, 0);
    one.to(253, 254, 200);
    EXPECT_TRUE(one.release(253, 254, 210).thrown);
    EXPECT_EQ(one.motion.speed(), (1000 * 3 + 800 * 4) * 10 / 1000);
}

TEST(WindowDrag, AxisBendsTheThrowHeading)
{
    auto h1 = WindowDrag::throw_for(-5, -1, 100, 1, {1000, 800});
    ASSERT_TRUE(h1);
    EXPECT_EQ(h1->heading, 270); // to the right
    auto h2 = WindowDrag::throw_for(-1, -5, 100, 2, {1000, 800});
    ASSERT_TRUE(h2);
    EXPECT_EQ(h2->heading, 0); // down
    auto h3 = WindowDrag::throw_for(1, 5, 100, 2, {1000, 800});
    ASSERT_TRUE(h3);
    EXPECT_EQ(h3->heading, 180); // up
    EXPECT_FALSE(WindowDrag::throw_for(1, 1, 1, 0, {100, 100})); // too weak to move
    auto huge = WindowDrag::throw_for(2000000000, 2000000000, 2000000000, 0, {16384, 16384});
    ASSERT_TRUE(huge);
    EXPECT_GT(huge->speed, 0);
}

} // namespace
} // namespace ruk
