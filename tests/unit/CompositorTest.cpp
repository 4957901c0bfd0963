// The engine's own compositor: stacking, outlines, colour keys, alpha and child clipping, pixel for pixel.
#include "graphics/Compositor.h"
#include "tests/support/MemoryWindows.h"

#include <gtest/gtest.h>

namespace ruk::test {
namespace {

// A visible window at `rect` showing one colour.
int add_window(MemoryWindows& windows, const WindowRect& rect, uint32_t colour, int parent = -1)
{
    const int index = windows.table().lowest_free();
    ScriptWindow* w = windows.make_window(index);
    windows.table().occupy(index, w);
    if (parent >= 0) {
        w->set_parent_window(windows.window(parent));
        windows.table().record(index).parent = parent;
    }
    w->set_geometry(rect);
    w->set_visible(true);
    windows.table().record(index).backing = Bitmap(rect.width, rect.height);
    windows.table().record(index).backing.fill(colour);
    return index;
}

TEST(Compositor, StackingKeysAndAlpha)
{
    MemoryWindows windows;
    const WindowRect screen{0, 0, 40, 20};
    const int a = add_window(windows, {0, 0, 20, 20}, 0x0000FF);
    const int b = add_window(windows, {10, 0, 20, 20}, 0x00FF00);
    Bitmap out = compose_desktop(windows.table(), screen);
    EXPECT_EQ(out.pixel(5, 5), 0x0000FFu);
    EXPECT_EQ(out.pixel(15, 5), 0x00FF00u); // b is above a
    EXPECT_EQ(out.pixel(35, 5), DesktopBackground);

    windows.table().bring_to_front(a);
    EXPECT_EQ(compose_desktop(windows.table(), screen).pixel(15, 5), 0x0000FFu);

    // A key hole shows what lies below; alpha 128 mixes it.
    windows.table().record(a).look.colour_key = 0x0000FF;
    windows.table().record(a).backing.set_pixel(6, 6, 0x123456);
    out = compose_desktop(windows.table(), screen);
    EXPECT_EQ(out.pixel(15, 5), 0x00FF00u);
    EXPECT_EQ(out.pixel(5, 5), DesktopBackground);
    EXPECT_EQ(out.pixel(6, 6), 0x123456u);
    windows.table().record(a).look = WindowLook{std::nullopt, 128, false};
    out = compose_desktop(windows.table(), screen);
    EXPECT_EQ(out.pixel(15, 5), make_colour(128, 127, 0));
    windows.table().record(b).window->set_visible(false);
    EXPECT_EQ(compose_desktop(windows.table(), screen).pixel(25, 5), DesktopBackground);
}

TEST(Compositor, OutlinesCutCornersAndChildrenStayInsideTheirParent)
{
    MemoryWindows windows;
    const int round = add_window(windows, {0, 0, 20, 20}, 0xFFFFFF);
    windows.table().record(round).outline = Outline::ellipse(0, 0, 20, 20);
    const int child = add_window(windows, {15, 15, 10, 10}, 0x0000FF, round);
    Bitmap out = compose_desktop(windows.table(), WindowRect{0, 0, 30, 30});
    EXPECT_EQ(out.pixel(0, 0), DesktopBackground);
    EXPECT_EQ(out.pixel(10, 10), 0xFFFFFFu);
    EXPECT_EQ(out.pixel(16, 16), 0x0000FFu);
    EXPECT_EQ(out.pixel(22, 22), DesktopBackground) << "a child is clipped to its parent";
    EXPECT_EQ(out.pixel(16, 19), DesktopBackground) << "and to its parent's outline";
    // The stay-on-top band is drawn last whatever the order.
    const int top = add_window(windows, {0, 0, 5, 5}, 0x00FF00);
    windows.table().record(top).form_style = 3;
    windows.table().bring_to_front(round);
    EXPECT_EQ(compose_desktop(windows.table(), WindowRect{0, 0, 30, 30}).pixel(4, 4), 0x00FF00u);
    (void)child;
}

} // namespace
} // namespace ruk::test
