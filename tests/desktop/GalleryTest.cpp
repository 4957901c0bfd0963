// The examples of the gallery, run as users run them and compared with the picture kept beside each one.
//
// Every example runs headless (the chat on its own X server, as it needs
// two engines that find each other) with --snapshot, and the picture is
// compared with examples/NAME/snapshot.png. Examples that draw only shapes
// and pictures must match pixel for pixel. Examples that write text use the
// desktop's fonts, which another machine may render a little differently
// (hinting, a font version): for them a stated number of differing pixels
// is allowed, about a quarter of the ink of their text (the note's text has
// some 1600 pixels of ink, the chat's some 1100), so a window in the wrong
// place, a wrong colour or a lost paragraph still fails. Web pages are drawn
// by the web engine with the same fonts and get the same allowance: the web
// example's page and status line have some 4900 pixels of ink.
//
// RUK_REBASELINE=1 writes the kept pictures from this run instead of
// comparing (see docs/examples.md).
#include "system/Registry.h"
#include "system/X11Desktop.h"
#include "tests/desktop/EngineProcess.h"
#include "tests/desktop/XvfbServer.h"

#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace ruk;
using namespace ruk::test;

namespace {

const std::string examples = std::string(RUK_SOURCE_DIR) + "/examples/";

bool rebaselining()
{
    const char* again = std::getenv("RUK_REBASELINE");
    return again && std::string(again) == "1";
}

// The family words an example declares with "// needs: WORD ..." lines.
std::vector<std::string> needed_words(const std::string& name)
{
    std::vector<std::string> words;
    for (const auto& entry : std::filesystem::directory_iterator(examples + name)) {
        if (entry.path().extension() != ".rks")
            continue;
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);)
            if (line.rfind("// needs: ", 0) == 0) {
                std::istringstream listed(line.substr(10));
                for (std::string word; listed >> word;)
                    words.push_back(word);
            }
    }
    return words;
}

// The first needed word this engine does not offer; empty when all are there.
std::string missing_word(const std::string& name)
{
    TempRoot root;
    EngineProcess engine({"--families"}, root.path());
    engine.wait(30);
    const std::string offered = "\n" + engine.out();
    for (const std::string& word : needed_words(name))
        if (offered.find("\n" + word + "\n") == std::string::npos)
            return word;
    return "";
}

// How many pixels differ, or -1 when the sizes differ or a picture is missing.
int differing_pixels(const std::string& shot, const std::string& kept)
{
    QImage got(QString::fromStdString(shot)), want(QString::fromStdString(kept));
    if (got.isNull() || want.isNull() || got.size() != want.size())
        return -1;
    got = got.convertToFormat(QImage::Format_RGB32);
    want = want.convertToFormat(QImage::Format_RGB32);
    int differing = 0;
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            differing += got.pixel(x, y) != want.pixel(x, y);
    return differing;
}

// Compares a snapshot with the example's kept picture, allowing `tolerance`
// differing pixels; with RUK_REBASELINE=1 keeps the snapshot instead.
void expect_kept_picture(const std::string& shot, const std::string& name, int tolerance)
{
    const std::string kept = examples + name + "/snapshot.png";
    if (rebaselining()) {
        std::filesystem::copy_file(shot, kept, std::filesystem::copy_options::overwrite_existing);
        GTEST_SKIP() << "wrote " << kept;
    }
    ASSERT_TRUE(std::filesystem::exists(shot)) << "no snapshot written";
    ASSERT_TRUE(std::filesystem::exists(kept)) << "missing " << kept << " (RUK_REBASELINE=1 writes it)";
    const int differing = differing_pixels(shot, kept);
    ASSERT_GE(differing, 0) << "the snapshot's size differs from " << kept;
    EXPECT_LE(differing, tolerance) << differing << " pixels differ from " << kept;
}

// Runs an example headless for `seconds` and compares its picture.
void expect_example(const std::string& name, const std::vector<std::string>& args, int tolerance,
                    const TempRoot& root, const char* seconds = "2")
{
    if (const std::string word = missing_word(name); !word.empty())
        GTEST_SKIP() << name << " needs the " << word << " family, which this engine does not offer";
    const std::string shot = root.path() + "/" + name + ".png";
    // Two seconds leave a loaded machine time to start the engine and show
    // the windows; the picture is taken as the engine ends.
    std::vector<std::string> command{"--headless", "--timeout", seconds, "--snapshot", shot, examples + name};
    command.insert(command.end(), args.begin(), args.end());
    EngineProcess engine(command, root.path());
    ASSERT_EQ(engine.wait(30), 0) << engine.err();
    expect_kept_picture(shot, name, tolerance);
}

TEST(Gallery, ShapesAndPicturesMatchPixelForPixel)
{
    TempRoot root;
    // The clock stands still at a time given as its argument.
    expect_example("clock", {"10:09:30"}, 0, root);
    expect_example("ball", {}, 0, root);
    // The paint program opens the doodle that came with its package.
    expect_example("paint", {"doodle.bmp"}, 0, root);
    expect_example("viewer", {}, 0, root);
    // A number with no picture behind it starts with the first one too.
    expect_example("viewer", {"5"}, 0, root);
    // The translucent ball: its picture blended at 210 of 255 over the desktop.
    expect_example("bubble", {}, 0, root);
}

// The first examples speak through message boxes, which print headless.
TEST(Gallery, FirstExamplesPrintTheirMessages)
{
    TempRoot root;
    EngineProcess hello({"--headless", "--timeout", "5", examples + "hello"}, root.path());
    ASSERT_EQ(hello.wait(30), 0) << hello.err();
    EXPECT_EQ(hello.out(), "Hello from rukengine!\nAPPLE is fruit number 0\nPEAR is fruit number 1\n"
                           "FIG is fruit number 2\nGoodbye.\n");
    EngineProcess window({"--headless", "--timeout", "2", examples + "window"}, root.path());
    ASSERT_EQ(window.wait(30), 0) << window.err();
    EXPECT_EQ(window.out(), "The demo window is open: click it, type on it, right-click it; Escape ends it.\n"
                            "Goodbye: 0 clicks, 0 characters.\n");
}

// The note starts with the text and the place a previous run left in the
// settings, and saves them back unchanged when it ends.
TEST(Gallery, NoteComesBackWithItsTextAndPlace)
{
    TempRoot root;
    const std::string text = "Shopping:\nmilk, eggs, \"good\" bread\nand a very long line that wraps around the note";
    const std::string key = "Software\\rukreader\\note\\note";
    const std::string place = "Software\\rukreader\\note\\[Pos]\\note";
    {
        Registry store(root.path() + "/registry.sqlite");
        ASSERT_TRUE(store.write_value(RegRoot::CurrentUser, key, "text", text));
        ASSERT_TRUE(store.write_values(RegRoot::CurrentUser, place,
                                       {{"Left", "300"}, {"Top", "160"}, {"Width", "260"}, {"Height", "180"}}));
    }
    expect_example("note", {}, 400, root);
    Registry store(root.path() + "/registry.sqlite");
    EXPECT_EQ(store.read_value(RegRoot::CurrentUser, key, "text"), text);
    EXPECT_EQ(store.read_value(RegRoot::CurrentUser, place, "Left"), "300");
    EXPECT_EQ(store.read_value(RegRoot::CurrentUser, place, "Height"), "180");
}

// The page is drawn into the picture where its browser sits. The web
// engine's start and the page's load take their own time: five seconds.
TEST(Gallery, WebPageInAWindow)
{
    TempRoot root;
    expect_example("web", {}, 1200, root, "5");
}

// Asks the engine for a snapshot now and then until it matches the kept
// picture (or the time is up), so that a slow machine only waits longer.
void expect_snapshot_soon(EngineProcess& engine, const std::string& shot, const std::string& name, int tolerance)
{
    const std::string kept = examples + name + "/snapshot.png";
    int differing = -1;
    for (int attempt = 0; attempt < 60; ++attempt) {
        std::filesystem::remove(shot);
        engine.signal(SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        if (rebaselining() && attempt < 8)
            continue; // give the engines time to talk before keeping the picture
        differing = differing_pixels(shot, kept);
        if (rebaselining() || (differing >= 0 && differing <= tolerance))
            break;
    }
    expect_kept_picture(shot, name, tolerance);
}

// Two chat engines on one X server: the second finds the first by its
// window's title and says hello; the first shows it.
TEST(Gallery, TwoChatEnginesGreetEachOther)
{
    if (!XvfbServer::installed("Xvfb"))
        GTEST_SKIP() << "Xvfb is not installed";
    XvfbServer server(800, 800);
    ASSERT_TRUE(server.running()) << server.error();
    TempRoot root;
    const std::string shot = root.path() + "/chat.png";
    EngineProcess first({"--timeout", "30", "--snapshot", shot, examples + "chat"}, root.path(), server.display());
    // The window carries its title from "initialize" on, but the first
    // engine looks for a partner in "load", after which the window shows:
    // the second may start only then, or both would find each other at once.
    X11Desktop desktop(server.display());
    bool seated = false;
    for (int i = 0; i < 100 && !seated; ++i) {
        const uint32_t window = desktop.find_window("ruk chat 1");
        seated = window != 0 && desktop.is_visible(window);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(seated) << "the first chat engine shows no window";
    EngineProcess second({"--timeout", "30", examples + "chat"}, root.path(), server.display());
    expect_snapshot_soon(first, shot, "chat", 300);
    first.signal(SIGTERM);
    second.signal(SIGTERM);
    EXPECT_EQ(first.wait(20), 0);
    EXPECT_EQ(second.wait(20), 0);
}

} // namespace
