// The window family against in-memory windows: the table, create and close, positions, looks and pictures.
#include "graphics/BmpFile.h"
#include "graphics/InputFamilies.h"
#include "graphics/InputHost.h"
#include "graphics/JpegFile.h"
#include "graphics/Window.h"
#include "tests/support/MemoryWindows.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace ruk::test {
namespace {

class WindowFamily : public ::testing::Test {
protected:
    void SetUp() override { register_window_family(h.engine(), h.state(), windows); }

    // Runs the lines as the "initialize" event and returns what they printed.
    // An "unload" event runs inside the event that closes a window, which
    // then ends after its line; `with_unload` adds one that says so.
    std::string run(const std::string& lines, bool with_unload = false)
    {
        h.clear_output();
        EXPECT_TRUE(h.load("event.initialize()\n" + lines + "\nevent.end()\n"
                           + (with_unload ? "event.unload()\n    system.message(\"unload \" window.eventauthor())\n"
                                            "event.end()\n"
                                          : "")));
        h.run();
        return h.output();
    }

    ScriptHarness h;
    MemoryWindows windows;
    NoInputHost pointer_at_origin;
};

TEST_F(WindowFamily, TableFillsUpAndReusesTheLowestFreeSlot)
{
    std::string lines;
    for (int i = 0; i < 254; ++i)
        lines += "    &last = window.create(0)\n";
    lines += "    system.message(\"last \" &last \" count \" window.count())\n"
             "    system.message(\"full [\" window.create(0) \"]\")\n"
             "    system.message(\"close \" window.7.close())\n"
             "    system.message(\"again \" window.create(0) \" then [\" window.create(0) \"]\")\n";
    EXPECT_EQ(run(lines), "last 254 count 255\nfull []\nclose 1\nagain 7 then []\n");
    // "unload" runs for the closed window, and the closing event ends there.
    EXPECT_EQ(run("    window.9.close()\n    system.message(\"not reached\")\n", true), "unload 9\n");
    EXPECT_EQ(windows.table().count(), 254);
    EXPECT_EQ(windows.table().high_water(), 255);
}

TEST_F(WindowFamily, CreateDefaultsAndCloseRules)
{
    EXPECT_EQ(run("    system.message(window.count() \" \" window.create() \" \" window.count())\n"
                  "    system.message(window.1.visible() window.1.stayontop())\n"
                  "    window.main.close()\n"
                  "    system.message(\"free \" window.3.close())\n"),
              "1 1 2\n11\nfree 0\n");
    ASSERT_FALSE(h.errors().empty());
    EXPECT_EQ(h.errors().back(), "The window index is invalid.");
    const WindowRecord& r = windows.table().record(1);
    EXPECT_TRUE(r.close_on_escape && r.close_on_right_click && r.movable);
    EXPECT_FALSE(r.can_go_out);
    EXPECT_EQ(r.parent, -1);
    // A window created with "0" switches keeps them off.
    run("    window.create(0, \"\", \"xonly\", 0, 0, 0, 1)\n");
    const WindowRecord& s = windows.table().record(2);
    EXPECT_FALSE(s.close_on_escape || s.close_on_right_click || s.stays_on_top());
    EXPECT_TRUE(s.can_go_out && s.movable);
    EXPECT_EQ(s.drag_axis, 1);
    EXPECT_FALSE(windows.memory(2).is_visible());
}

TEST_F(WindowFamily, GroupsListFreeSlotsUnderTheHighWaterCount)
{
    EXPECT_EQ(run("    window.create(1, \"menu\")\n    window.create(1)\n    window.create(1, \"menu\")\n"
                  "    window.2.close()\n"
                  "    system.message(window.group.getlist(\"menu\") \"|\" window.group.getlist(\"\") \"|\" "
                  "window.group.count(\"Menu\"))\n"
                  "    window.3.group.set(\"\")\n"
                  "    system.message(window.3.group.get() \"|\" window.group.count(\"menu\"))\n"),
              "1^^3|0^^2|0\n|1\n");
}

TEST_F(WindowFamily, PositionsMoveAtOnceAndKeepTheTarget)
{
    run("    window.create()\n    window.1.pos(10, 20, 30, 40)\n    window.1.left(100)\n"
        "    window.1.pos.rel(5, -5)\n    window.1.width()\n");
    const WindowRect g = windows.memory(1).geometry();
    EXPECT_EQ(g.left, 105);
    EXPECT_EQ(g.top, 15);
    EXPECT_EQ(g.width, 30);
    EXPECT_EQ(windows.table().record(1).target_left, 10500.0f);
    EXPECT_EQ(run("    window.1.pos.now(1, 2, 3, 4, 7, 8)\n"
                  "    system.message(window.1.left() window.1.top() window.1.width() window.1.height())\n"),
              "1234\n");
    EXPECT_EQ(windows.table().record(1).grab_x, 7);
    // Unknown words go to the script function fallback.
    run("    window.1.pos.sideways(1)\n    window.1.title.x(1)\n");
    ASSERT_GE(h.errors().size(), 2u);
}

TEST_F(WindowFamily, ChildrenCloseWithTheirParentAndParentsCannotLoop)
{
    EXPECT_EQ(run("    window.create()\n    system.message(window.1.create())\n"
                  "    system.message(window.2.getparentid() \"|\" window.1.getparentid() \"|\")\n"
                  "    window.1.parent(2)\n    system.message(window.1.getparentid() \"|\")\n"
                  "    window.1.close()\n    system.message(window.count())\n"),
              "2\n1||\n|\n1\n");
}

TEST_F(WindowFamily, StackingFollowsTheWords)
{
    run("    window.create(1, \"\", 1, 0)\n    window.create(1, \"\", 1, 0)\n    window.create(1, \"\", 1, 0)\n"
        "    window.main.visible(0)\n    window.1.bringtofront()\n    window.3.sendtoback()\n");
    EXPECT_EQ(windows.table().stacking(), (std::vector<int>{3, 0, 2, 1}));
    run("    window.3.zorder(2)\n    window.2.zorder(\"topmost\")\n");
    EXPECT_EQ(windows.table().stacking(), (std::vector<int>{0, 3, 1, 2}));
    run("    window.2.stayontop(0)\n    window.1.zorder(\"bottom\")\n");
    EXPECT_EQ(windows.table().stacking(), (std::vector<int>{1, 0, 3, 2}));
}

TEST_F(WindowFamily, StatusIconTipIsCutAndDesktopBarDocks)
{
    const std::string tip(70, 'x');
    run("    window.create()\n    window.1.pos(0, 0, 50, 30)\n    window.1.statusicon.show(\"" + tip +
        "\")\n    window.1.appbar.enable(1)\n    window.1.appbar.refreshpos(3)\n");
    EXPECT_EQ(windows.memory(1).status_tip, std::string(63, 'x'));
    EXPECT_EQ(windows.memory(1).bar_edge, 3);
    const WindowRect g = windows.memory(1).geometry();
    EXPECT_EQ(g.top, 600 - 30);
    EXPECT_EQ(g.width, 800);
}

TEST_F(WindowFamily, StayOnTopTakesTheFirstCharacterOfItsSwitch)
{
    EXPECT_EQ(run("    window.create(1, \"\", 1, 0)\n    window.1.stayontop(\"10\")\n"
                  "    system.message(window.1.stayontop())\n"
                  "    window.1.stayontop(\"yes\")\n    system.message(window.1.stayontop())\n"
                  "    window.1.stayontop(\"0x\")\n    system.message(window.1.stayontop())\n"),
              "1\n1\n0\n");
}

TEST_F(WindowFamily, ChildWindowsMeasureFromTheScreen)
{
    register_mouse_family(h.engine(), h.state(), windows, pointer_at_origin);
    // The pointer of a run without a display is at 0,0.
    EXPECT_EQ(run("    window.create()\n    window.1.pos(100, 50, 300, 200)\n    window.1.create()\n"
                  "    window.2.pos(10, 20, 30, 40)\n"
                  "    system.message(mouse.2.x() \" \" mouse.2.y() \" \" mouse.1.x())\n"
                  "    system.message(window.2.border.left() window.2.border.top() window.2.border.right() "
                  "window.2.border.bottom())\n"),
              "-110 -70 -100\n0000\n");
}

class WindowPictures : public WindowFamily {
protected:
    void SetUp() override
    {
        WindowFamily::SetUp();
        folder = fs::temp_directory_path() / ("ruk-window-test-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        Bitmap picture(6, 4);
        picture.fill(0x0000FF);
        for (int y = 0; y < 4; ++y)
            picture.set_pixel(0, y, 0x00FF00);
        ASSERT_EQ(BmpFile::save((folder / "p.bmp").string(), picture, 24), PictureError::None);
        ASSERT_EQ(JpegFile::save((folder / "p.JPG").string(), picture, 95), PictureError::None);
        fs::copy_file(folder / "p.bmp", folder / "p.png");
        std::ofstream((folder / "bad.bmp").string()) << "BM not really";
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string path(const char* name) { return (folder / name).string(); }
    fs::path folder;
};

TEST_F(WindowPictures, ImageLoadChecksFileAndKind)
{
    run("    window.create()\n    window.1.image.load(\"" + path("p.bmp") + "\")\n");
    EXPECT_EQ(windows.memory(1).geometry().width, 6);
    EXPECT_EQ(windows.table().record(1).backing.pixel(0, 0), 0x00FF00u);
    run("    window.1.image.load(\"" + path("p.JPG") + "\", 1, 0)\n");
    EXPECT_EQ(windows.table().record(1).backing.width(), 6);
    EXPECT_TRUE(h.errors().empty());
    run("    window.1.image.load(\"" + path("none.bmp") + "\")\n    window.1.image.load(\"" + path("p.png") +
        "\")\n    window.1.image.load(\"" + path("bad.bmp") + "\")\n");
    ASSERT_EQ(h.errors().size(), 3u);
    EXPECT_EQ(h.errors()[0], "Cannot find file ");
    EXPECT_EQ(h.errors()[1], "Image must be .bmp or .jpg file.");
    EXPECT_EQ(h.errors()[2], "Invalid image.");
    // The damaged file left the picture as it was.
    EXPECT_EQ(windows.table().record(1).backing.width(), 6);
}

TEST_F(WindowPictures, OutlinesFromPicturesPolygonsAndEllipses)
{
    // The key is the top-left pixel (green): the outline is columns 1 to 5.
    run("    window.create()\n    window.1.shape.load(\"" + path("p.bmp") + "\")\n");
    const auto& outline = windows.table().record(1).outline;
    ASSERT_TRUE(outline.has_value());
    EXPECT_EQ(outline->polygon_count(), 4u);
    EXPECT_EQ(outline->bounds(), (OutlineRect{1, 0, 6, 4}));
    // Without resizing a window too small for the picture still grows to it;
    // a larger one keeps its size.
    run("    window.1.pos(0, 0, 3, 30)\n    window.1.shape.load(\"" + path("p.bmp") + "\", 1, 0)\n");
    EXPECT_EQ(windows.memory(1).geometry().width, 6);
    EXPECT_EQ(windows.memory(1).geometry().height, 4);
    run("    window.1.pos(0, 0, 9, 9)\n    window.1.shape.load(\"" + path("p.bmp") + "\", 1, 0)\n");
    EXPECT_EQ(windows.memory(1).geometry().width, 9);
    EXPECT_EQ(windows.memory(1).geometry().height, 9);
    run("    &pt[] = \"0^^0^^40^^0^^0^^30\"\n    window.1.shape.polygon(\"pt\")\n");
    EXPECT_EQ(windows.memory(1).geometry().width, 40);
    EXPECT_EQ(windows.memory(1).geometry().height, 30);
    run("    window.1.pos(0, 0, 20, 10)\n    window.1.shape.elliptic()\n");
    EXPECT_EQ(windows.table().record(1).outline->spans().front().top, 0);
    run("    window.1.shape.from.-300()\n");
    ASSERT_FALSE(h.errors().empty());
    EXPECT_EQ(h.errors().back(), "Invalid image.");
}

TEST_F(WindowPictures, TransparencyKeepsTheLookAndRestores)
{
    EXPECT_EQ(run("    window.create()\n    system.message(window.1.transparency(255, \"\", 1) "
                  "window.1.transparency(\"\", 300))\n"),
              "11\n");
    EXPECT_EQ(windows.table().record(1).look, (WindowLook{std::nullopt, 255, false}));
    EXPECT_EQ(run("    system.message(window.1.transparency())\n"), "1\n");
    EXPECT_EQ(windows.table().record(1).look, WindowLook{});
    EXPECT_TRUE(windows.table().record(1).style_saved);
}

} // namespace
} // namespace ruk::test
