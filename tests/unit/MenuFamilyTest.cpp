// The "menu" family: item states with their previous values, pop-up choices and the item last clicked.
#include "graphics/ScriptWindow.h"
#include "system/MenuFamily.h"
#include "system/MenuHost.h"
#include "tests/support/MemoryWindows.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

using namespace ruk;
using ruk::test::ScriptHarness;

namespace {

// Chooses the item the test names, and keeps what the menu looked like.
struct ChoosingHost : MenuHost {
    std::optional<int32_t> choice;
    PopupPlacement last_place;
    std::vector<MenuItem> shown;
    std::optional<int32_t> show_popup(const MenuTable& menus, int32_t slot, int, const PopupPlacement& where) override
    {
        last_place = where;
        shown = menus.menu(slot)->items;
        return choice;
    }

    // Menu bars: what the family asked for, and the way back for a choice.
    std::function<void(int32_t)> chosen;
    std::vector<std::pair<int, int32_t>> bars;
    std::vector<int32_t> redrawn;
    void attach(const MenuTable&, std::function<void(int32_t)> c) override { chosen = std::move(c); }
    bool set_menu_bar(int window, int32_t slot) override
    {
        bars.emplace_back(window, slot);
        return true;
    }
    int redraw_menu_bar(int32_t slot) override
    {
        redrawn.push_back(slot);
        return 1;
    }
};

struct MenuFamily : ::testing::Test {
    ScriptHarness h;
    ChoosingHost host;
    NoWindows windows;
    void SetUp() override { register_menu_family(h.engine(), host, windows); }
    std::string run(const std::string& body)
    {
        h.clear_output();
        EXPECT_TRUE(h.load("event.initialize()\n" + body + "\nevent.end()\n"
                           "event.menu:click()\n    system.message(\"click \" menu.getitem())\nevent.end()\n"))
            << body;
        h.run();
        return h.output();
    }
};

} // namespace

TEST_F(MenuFamily, StatesAnswerWithTheirPreviousValue)
{
    std::string out = run(R"(
    menu.popup.create(5)
    menu.add.item(5, 10, Open, 1)
    menu.add.item(5, 11, Close, 0, 1)
    menu.popup.create(6)
    menu.add.item(6, 20, Deep)
    menu.add.popup(5, 6, More)
    menu.add.popup(6, 5, Loop)
    system.message(menu.item.checked(5, 10, "") menu.item.checked(5, 10, "") menu.item.checked(5, 20, 1) menu.item.checked(5, 20))
    system.message(menu.item.enabled(5, 11) menu.item.enabled(5, 11, 2) menu.item.enabled(5, 11, 0) menu.item.enabled(5, 99))
    menu.item.radio(5, 10, 20, 20)
)");
    // Checked, then already unchecked; an item of a sub-menu is found and
    // checked; an unknown item answers 0.
    EXPECT_EQ(out, "1001\n0100\n");
    host.choice.reset();
    out = run("    menu.popup.show(main, 5, 10, 20, right, bottom, none)");
    EXPECT_EQ(out, "");
    ASSERT_EQ(host.shown.size(), 3u);
    EXPECT_FALSE(host.shown[0].checked); // the radio range unchecked it
    EXPECT_FALSE(host.shown[1].enabled);
    EXPECT_TRUE(host.shown[1].greyed);
    EXPECT_EQ(host.last_place.horizontal, PopupPlacement::Horizontal::Right);
    EXPECT_EQ(host.last_place.vertical, PopupPlacement::Vertical::Bottom);
}

TEST_F(MenuFamily, AChosenItemRaisesClickAndBecomesTheLastItem)
{
    host.choice = 42;
    std::string out = run(R"(
    system.message(menu.getitem())
    menu.popup.create(1)
    menu.add.item(1, 42, Answer, 0, 0, 0, 2)
    menu.add.separator(1)
    menu.popup.show(7, 1, 0, 0)
    system.message(shown)
)");
    EXPECT_EQ(out, "0\nshown\nclick 42\n");
    EXPECT_EQ(host.shown[0].column_break, 2);
    EXPECT_EQ(host.shown[1].kind, MenuItem::Kind::Separator);

    // A missing menu is never shown; a bar for a window that does not exist is an error.
    host.shown.clear();
    out = run("    menu.popup.show(main, 77, 0, 0)\n    system.message(menu.set(3, 1))");
    EXPECT_TRUE(host.shown.empty());
    EXPECT_EQ(out, "0\n");
    ASSERT_FALSE(h.errors().empty());
    EXPECT_EQ(h.errors().back(), "The window index is invalid.");
}

TEST(MenuBars, AWindowsBarIsSetRedrawnAndItsChoiceRaisesClick)
{
    ScriptHarness h;
    ChoosingHost host;
    ruk::test::MemoryWindows windows;
    register_menu_family(h.engine(), host, windows);
    ASSERT_TRUE(h.load(R"(
event.initialize()
    menu.create(3)
    menu.add.item(3, 8, Help, 1)
    menu.set(main, 3)
    menu.redraw(3)
    system.message("[" menu.set(4, 3) "]")
event.end()
event.menu:click()
    system.message("click " menu.getitem() " " menu.item.checked(3, 8, ""))
event.end()
)"));
    h.run();
    EXPECT_EQ(h.output(), "[0]\n");
    EXPECT_EQ(host.bars, (std::vector<std::pair<int, int32_t>>{{0, 3}}));
    EXPECT_EQ(host.redrawn, std::vector<int32_t>{3});
    ASSERT_TRUE(host.chosen);
    host.chosen(8);
    h.drain();
    EXPECT_EQ(h.output(), "[0]\nclick 8 1\n");
}
