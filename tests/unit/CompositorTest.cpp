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

// Pictures inside a window that its bitmap does not hold (web pages): over
// the bitmap, under child windows, cut like the window itself.
TEST(Compositor, InsetsCoverTheBitmapInsideTheWindowsShape)
{
    MemoryWindows windows;
    const WindowRect screen{0, 0, 40, 40};
    const int w = add_window(windows, {10, 10, 20, 20}, 0xFFFFFF);
    const int child = add_window(windows, {8, 8, 4, 4}, 0x00FF00, w);
    auto inset = [](int window, int32_t left, int32_t top, int32_t size, uint32_t colour) {
        WindowInset i{window, left, top, Bitmap(size, size)};
        i.picture.fill(colour);
        return i;
    };
    // A page running past the window's right and bottom edges, and a
    // second one above its top-left corner.
    std::vector<WindowInset> pages{inset(w, 5, 5, 30, 0x0000FF), inset(w, 4, 4, 3, 0xFF0000)};
    Bitmap out = compose_desktop(windows.table(), screen, pages);
    EXPECT_EQ(out.pixel(12, 12), 0xFFFFFFu) << "the bitmap outside the pages";
    EXPECT_EQ(out.pixel(15, 15), 0xFF0000u) << "the later page lies above the earlier";
    EXPECT_EQ(out.pixel(17, 17), 0x0000FFu);
    EXPECT_EQ(out.pixel(29, 29), 0x0000FFu);
    EXPECT_EQ(out.pixel(30, 30), DesktopBackground) << "a page ends with its window";
    EXPECT_EQ(out.pixel(19, 19), 0x00FF00u) << "child windows lie above the pages";

    // The outline cuts pages; the colour key cuts them where the bitmap
    // has the key (its mask is made from the bitmap), not where the page does.
    windows.table().record(w).outline = Outline::ellipse(0, 0, 20, 20);
    windows.table().record(w).look.colour_key = 0xFFFFFF;
    windows.table().record(w).backing.fill(0x123456);
    windows.table().record(w).backing.set_pixel(10, 14, 0xFFFFFF);
    pages.push_back(inset(w, 10, 5, 5, 0xFFFFFF));
    out = compose_desktop(windows.table(), screen, pages);
    EXPECT_EQ(out.pixel(28, 28), DesktopBackground) << "outside the outline";
    EXPECT_EQ(out.pixel(20, 24), DesktopBackground) << "the bitmap's key pixel";
    EXPECT_EQ(out.pixel(22, 17), 0xFFFFFFu) << "the page's own key-coloured pixel stays";

    // A translucent window mixes its pages with what lies below.
    windows.table().record(w).look = WindowLook{std::nullopt, 128, false};
    out = compose_desktop(windows.table(), screen, pages);
    EXPECT_EQ(out.pixel(25, 25), make_colour(152, 39, 56));
    // A hidden window's pages show nowhere.
    windows.table().record(child).window->set_visible(false);
    const uint32_t under_child = compose_desktop(windows.table(), screen, pages).pixel(19, 19);
    pages.push_back(inset(child, 0, 0, 4, 0x00FFFF));
    EXPECT_EQ(compose_desktop(windows.table(), screen, pages).pixel(19, 19), under_child);
}

} // namespace
} // namespace ruk::test
