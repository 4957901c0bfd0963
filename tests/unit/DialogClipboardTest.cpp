// The disk family's selection dialogs and the system family's clipboard, against recording stand-ins.
#include "system/DialogBox.h"
#include "system/Disk.h"
#include "system/Misc.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace ruk;
using ruk::test::ScriptHarness;
namespace fs = std::filesystem;

namespace {

// Answers with what the test put in, remembers the last request, and moves
// the current folder as a dialog might.
struct RecordingDialogs : FileDialogs {
    FileDialogRequest last;
    std::vector<std::string> files;
    std::optional<SavedFile> saved;
    std::vector<std::string> open(const FileDialogRequest& request) override
    {
        last = request;
        if (::chdir("/") != 0)
            ADD_FAILURE();
        return files;
    }
    std::optional<SavedFile> save(const FileDialogRequest& request) override
    {
        last = request;
        return saved;
    }
    std::optional<std::string> folder(const FolderDialogRequest&) override { return std::nullopt; }
};

struct Dialogs : ::testing::Test {
    ScriptHarness h;
    RecordingDialogs dialogs;
    void SetUp() override { register_disk_family(h.engine(), dialogs); }
    std::string run(const std::string& body)
    {
        h.clear_output();
        EXPECT_TRUE(h.load("event.initialize()\n" + body + "\nevent.end()\n")) << body;
        h.run();
        return h.output();
    }
};

} // namespace

TEST(FilterVariable, PairsUpElementsAndIgnoresAnUnpairedLastOne)
{
    auto filters = filters_from_elements({"Text", "*.txt", "Pictures", "*.bmp;*.jpg", "stray"});
    ASSERT_TRUE(filters);
    ASSERT_EQ(filters->size(), 2u);
    EXPECT_EQ((*filters)[1].description, "Pictures");
    EXPECT_EQ((*filters)[1].patterns, "*.bmp;*.jpg");
    EXPECT_FALSE(filters_from_elements({"only one"}));
}

TEST_F(Dialogs, OpenJoinsSeveralFilesAndPutsTheFolderBack)
{
    const std::string before = fs::current_path().string();
    dialogs.files = {"/data/a.txt", "/data/b.txt", "/data/c.txt"};
    std::string out = run(R"(
    &types[0] = "Text"
    &types[1] = "*.txt"
    system.message(disk.dialogbox.open("Pick", "", types, "txt", "a.txt", 1))
)");
    EXPECT_EQ(out, "/data/a.txt^^/data/b.txt^^/data/c.txt\n");
    EXPECT_EQ(fs::current_path().string(), before);
    EXPECT_TRUE(dialogs.last.several);
    ASSERT_TRUE(dialogs.last.filters);
    EXPECT_EQ(dialogs.last.filters->size(), 1u);

    // A one-element filter variable keeps the dialog's list; cancelled is empty.
    dialogs.files.clear();
    out = run(R"(
    &single[0] = "Text"
    system.message("[" disk.dialogbox.open("Pick", "", single) "]")
)");
    EXPECT_EQ(out, "[]\n");
    EXPECT_FALSE(dialogs.last.filters);
    EXPECT_FALSE(dialogs.last.several);
}

TEST_F(Dialogs, SaveRemembersTheFilterOfTheLastConfirmedDialog)
{
    std::string out = run("    system.message(disk.dialogbox.save.getfilter())");
    EXPECT_EQ(out, "0\n");
    dialogs.saved = SavedFile{"/data/out.bmp", 2};
    out = run("    system.message(disk.dialogbox.save(\"Save\") \" \" disk.dialogbox.save.getfilter())");
    EXPECT_EQ(out, "/data/out.bmp 2\n");
    dialogs.saved.reset();
    out = run("    system.message(\"[\" disk.dialogbox.save(\"Save\") \"] \" disk.dialogbox.save.getfilter())");
    EXPECT_EQ(out, "[] 2\n");
}

TEST(Clipboard, FormatsTextAndPicturesThroughTheSharedBitmaps)
{
    ScriptHarness h;
    HeadlessSystemServices services;
    ProcessClipboard clipboard;
    register_system_family(h.engine(), h.state(), services, clipboard, h.bitmaps());
    Bitmap& picture = *h.bitmaps().resolve("-1").bitmap;
    picture = Bitmap(3, 2);
    picture.set_pixel(2, 1, 0x123456);
    ASSERT_TRUE(h.load(R"(
event.initialize()
    system.message(system.clipboard.get.format())
    system.clipboard.set.text("words")
    system.message(system.clipboard.get.format() " " system.clipboard.get.text())
    system.clipboard.set.image(-1)
    system.message(system.clipboard.get.format() "[" system.clipboard.get.text() "]")
    system.clipboard.set.image(-300)
    system.clipboard.clear()
    system.message(system.clipboard.get.format())
event.end()
)"));
    h.run();
    EXPECT_EQ(h.output(), "unknown\ntext words\nbitmap[]\nunknown\n");
    ASSERT_EQ(h.errors().size(), 1u);
    EXPECT_EQ(h.errors()[0], "Invalid image.");

    // A picture comes back into the named bitmap with its size and pixels.
    Bitmap wide(4, 1);
    wide.set_pixel(3, 0, 0xABCDEF);
    clipboard.set_image(wide);
    ASSERT_TRUE(h.load("event.initialize()\n    system.clipboard.get.image(-1)\nevent.end()\n"));
    h.run();
    EXPECT_EQ(picture.width(), 4);
    EXPECT_EQ(picture.height(), 1);
    EXPECT_EQ(picture.pixel(3, 0), 0xABCDEFu);

    // A long text is cut below 256000 bytes, never inside a character.
    clipboard.set_text(std::string(255997, 'a') + "\xC3\xA9\xC3\xA9");
    h.clear_output();
    ASSERT_TRUE(h.load("event.initialize()\n    system.message(str.len(system.clipboard.get.text()))\nevent.end()\n"));
    h.run();
    EXPECT_EQ(h.output(), "255999\n");
    clipboard.set_text(std::string(255998, 'a') + "\xC3\xA9");
    h.clear_output();
    h.run();
    EXPECT_EQ(h.output(), "255998\n");
}
