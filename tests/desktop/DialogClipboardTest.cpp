// The selection dialogs, the clipboard and pop-up menus on a real X server.
#include "host/QtClipboard.h"
#include "host/QtFileDialogs.h"
#include "host/QtMenuHost.h"
#include "graphics/ScriptWindow.h"
#include "system/MenuFamily.h"
#include "system/Disk.h"
#include "tests/desktop/EngineProcess.h"
#include "tests/desktop/XvfbServer.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

#include <csignal>
#include <filesystem>
#include <fstream>

using namespace ruk;
using namespace ruk::test;
namespace fs = std::filesystem;

namespace {

// A QApplication on the test's own X server, for the length of one test.
class XApplication {
public:
    explicit XApplication(const std::string& display) : m_display(display)
    {
        m_argv = {m_name.data(), m_platform_flag.data(), m_platform.data(), m_display_flag.data(), m_display.data(),
                  nullptr};
        m_app = std::make_unique<QApplication>(m_argc, m_argv.data());
    }

private:
    std::string m_name = "ruk_desktop_tests", m_platform_flag = "-platform", m_platform = "xcb",
                m_display_flag = "-display", m_display;
    int m_argc = 5;
    std::vector<char*> m_argv;
    std::unique_ptr<QApplication> m_app;
};

// Once the dialog is up, types the names into its name box and confirms.
// The dialog shows before its loop runs, so the first pass of the loop finds
// it; a bounded number of further passes covers a slow start.
void answer_dialog_with(const QString& typed, int passes_left = 100)
{
    QTimer::singleShot(0, [typed, passes_left] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (passes_left > 0)
                answer_dialog_with(typed, passes_left - 1);
            return;
        }
        auto* name_box = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (name_box)
            name_box->setText(typed);
        // As if the user pressed Enter in the name box.
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        if (dialog->isVisible())
            dialog->reject(); // a refused choice must not leave the test waiting
    });
}

} // namespace

TEST(DesktopDialogs, AnOpenDialogReturnsEveryChosenFile)
{
    XvfbServer x;
    if (!XvfbServer::installed("Xvfb"))
        GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(x.running()) << x.error();
    TempRoot root;
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        root.write(name, name);
    XApplication app(x.display());
    QtFileDialogs dialogs;
    ScriptHarness h;
    register_disk_family(h.engine(), dialogs);

    answer_dialog_with("\"a.txt\" \"b.txt\" \"c.txt\"");
    ASSERT_TRUE(h.load("event.initialize()\n    system.message(disk.dialogbox.open(\"Pick\", \"" + root.path() +
                       "\", \"\", \"\", \"\", 1))\nevent.end()\n"));
    h.run();
    const std::string folder = fs::canonical(root.path()).string();
    EXPECT_EQ(h.output(), folder + "/a.txt^^" + folder + "/b.txt^^" + folder + "/c.txt\n");

    // The save dialog reports the type chosen, 1-based.
    answer_dialog_with("out");
    h.clear_output();
    ASSERT_TRUE(h.load("event.initialize()\n    &t[0] = \"Text\"\n    &t[1] = \"*.txt\"\n    &t[2] = \"Notes\"\n"
                       "    &t[3] = \"*.not\"\n    system.message(disk.dialogbox.save(\"Save\", \"" + root.path() +
                       "\", t, \"txt\") \" \" disk.dialogbox.save.getfilter())\nevent.end()\n"));
    h.run();
    EXPECT_EQ(h.output(), folder + "/out.txt 1\n");
}

namespace {

// One engine puts something on the clipboard of the display and stays
// (the clipboard's owner must live); once it printed `ready`, a second
// engine reads the clipboard. The answer is what the second one printed.
std::string read_what_another_engine_set(const std::string& setter_script, const std::string& ready,
                                         const std::string& reader_script)
{
    XvfbServer x;
    if (!x.running())
        return "no X server: " + x.error();
    TempRoot root;
    const std::string setter = root.write("setter.rks", setter_script);
    const std::string reader = root.write("reader.rks", reader_script);
    EngineProcess first({"--print-boxes", "--timeout", "60", setter}, root.path(), x.display());
    if (!first.wait_for_line(ready, 30))
        return "setter: " + first.out() + first.err();
    EngineProcess second({"--print-boxes", "--timeout", "30", reader}, root.path(), x.display());
    EXPECT_EQ(second.wait(40), 0) << second.err();
    first.signal(SIGTERM);
    EXPECT_EQ(first.wait(30), 0) << first.err();
    return second.out() + second.err();
}

} // namespace

TEST(DesktopClipboard, TextOneEngineSetsIsReadByAnother)
{
    if (!XvfbServer::installed("Xvfb"))
        GTEST_SKIP() << "Xvfb is not installed";
    EXPECT_EQ(read_what_another_engine_set(R"(
event.initialize()
    system.clipboard.set.text("shared words")
    system.message("set " system.clipboard.get.format())
event.end()
)",
                                           "set text", R"(
event.initialize()
    system.message("got " system.clipboard.get.format() " " system.clipboard.get.text())
    app.close()
event.end()
)"),
              "got text shared words\n");
}

TEST(DesktopClipboard, APictureOneEngineSetsIsReadByAnother)
{
    if (!XvfbServer::installed("Xvfb"))
        GTEST_SKIP() << "Xvfb is not installed";
    // Left half red, one dark blue pixel in the bottom-right corner.
    EXPECT_EQ(read_what_another_engine_set(R"(
event.initialize()
    draw.-1.size(6, 4)
    draw.-1.rect(0, 0, 3, 4, 255)
    draw.-1.setpixel(5, 3, 1193046)
    system.clipboard.set.image(-1)
    system.message("set " system.clipboard.get.format())
event.end()
)",
                                           "set bitmap", R"(
event.initialize()
    system.clipboard.get.image(-4)
    system.message("got " system.clipboard.get.format() " " draw.-4.width() "x" draw.-4.height() " " draw.-4.getpixel(0, 0, 2, 3, 3, 0, 5, 3))
    app.close()
event.end()
)"),
              "got bitmap 6x4 255^^255^^0^^1193046\n");
}

TEST(DesktopClipboard, APictureBesideTextReadsAsABitmap)
{
    XvfbServer x;
    if (!XvfbServer::installed("Xvfb"))
        GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(x.running()) << x.error();
    TempRoot root;
    // This process offers both, as a browser's copy does, and answers the
    // engine's requests while it runs.
    XApplication app(x.display());
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(qRgb(0, 255, 0));
    auto* both = new QMimeData;
    both->setText("beside");
    both->setImageData(picture);
    QGuiApplication::clipboard()->setMimeData(both);
    const std::string reader = root.write("reader.rks", R"(
event.initialize()
    system.clipboard.get.image(-1)
    system.message("got " system.clipboard.get.format() " " system.clipboard.get.text() " " draw.-1.width() " " draw.-1.getpixel(2, 1))
    app.close()
event.end()
)");
    EngineProcess engine({"--print-boxes", "--timeout", "30", reader}, root.path(), x.display());
    bool answered = false;
    for (int i = 0; i < 600 && !answered; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        answered = engine.wait_for_line("got bitmap beside 3 65280", 0.03);
    }
    EXPECT_TRUE(answered) << engine.out() << engine.err();
    EXPECT_EQ(engine.wait(30), 0) << engine.err();
}

TEST(DesktopClipboard, PicturesKeepTheirPixels)
{
    XvfbServer x;
    if (!XvfbServer::installed("Xvfb"))
        GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(x.running()) << x.error();
    XApplication app(x.display());
    QtClipboard clipboard;
    Bitmap picture(5, 3);
    picture.set_pixel(4, 2, 0x102030);
    picture.set_pixel(0, 0, 0xFFFFFF);
    clipboard.set_image(picture);
    EXPECT_TRUE(clipboard.has_image());
    std::optional<Bitmap> back = clipboard.image();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width(), 5);
    EXPECT_EQ(back->height(), 3);
    EXPECT_EQ(back->pixel(4, 2), 0x102030u);
    EXPECT_EQ(back->pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(back->pixel(1, 1), 0u);
}

TEST(DesktopMenus, AClickedPopupItemRaisesClickWithItsNumber)
{
    XvfbServer x;
    if (!XvfbServer::installed("Xvfb"))
        GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(x.running()) << x.error();
    XApplication app(x.display());
    QtMenuHost menus;
    NoWindows windows;
    ScriptHarness h;
    register_menu_family(h.engine(), menus, windows);
    // Once the menu is up, a click on the item with command 31.
    menus.set_open_hook([](QMenu& menu) {
        QTimer::singleShot(0, &menu, [&menu] {
            for (QAction* action : menu.actions()) {
                if (action->data().toInt() != 31)
                    continue;
                QPoint centre = menu.actionGeometry(action).center();
                QMouseEvent press(QEvent::MouseButtonPress, centre, menu.mapToGlobal(centre), Qt::LeftButton,
                                  Qt::LeftButton, Qt::NoModifier);
                QMouseEvent release(QEvent::MouseButtonRelease, centre, menu.mapToGlobal(centre), Qt::LeftButton,
                                    Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(&menu, &press);
                QApplication::sendEvent(&menu, &release);
                return;
            }
            menu.close();
        });
    });
    ASSERT_TRUE(h.load(R"(
event.initialize()
    menu.popup.create(2)
    menu.add.item(2, 30, First)
    menu.add.item(2, 31, Second, 1)
    menu.popup.show(main, 2, 100, 100, center, center)
    system.message(menu.item.checked(2, 31, ""))
event.end()
event.menu:click()
    system.message(menu.getitem() menu.item.checked(2, 31, ""))
event.end()
)"));
    h.run();
    // Checked before the click and so unchecked by the first call.
    EXPECT_EQ(h.output(), "1\n310\n");
}
