// Headless runs of window scripts, composed by the engine's snapshot and compared pixel for pixel.
#include "graphics/BmpFile.h"
#include "tests/desktop/EngineProcess.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace ruk;
using namespace ruk::test;

namespace {

// Stripes of red and blue over green and blue, 120 x 80.
void write_stripes(const std::string& path)
{
    Bitmap picture(120, 80);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            picture.set_pixel(x, y, (x / 20) % 2 == 0 ? 0x0000FF : (y < 40 ? 0x00FF00 : 0xFF0000));
    ASSERT_EQ(BmpFile::save(path, picture, 24), PictureError::None);
}

const char* windows_script = R"(
event.initialize()
    window.create()
    window.1.image.load("PICTURE")
    window.1.pos(20, 30)
    window.1.shape.elliptic()
    window.create()
    window.2.image.load("PICTURE")
    window.2.pos(200, 30)
    window.2.transparency(255)
    window.create()
    window.3.image.load("PICTURE")
    window.3.pos(100, 60)
    window.3.transparency("", 128)
    window.1.bringtofront()
    window.create(1, "", 1, 0)
    window.4.image.load("PICTURE")
    window.4.pos(20, 200, 120, 80)
    window.4.shape.rect(0, 0, 120, 80, 40, 40)
    window.4.create()
    window.5.image.load("PICTURE", 1, 0)
    window.5.pos(80, 50, 60, 60)
    &pt[] = "0^^0^^60^^30^^0^^60"
    window.create()
    window.6.image.load("PICTURE")
    window.6.pos(300, 200)
    window.6.shape.polygon("pt")
    window.create(0)
    window.7.image.load("PICTURE")
    window.7.pos(400, 400)
    app.close()
event.end()
)";

// Runs the script headless with a snapshot and compares it with the picture
// kept in the tests; RUK_REBASELINE=1 writes the kept picture instead.
void expect_snapshot(const std::string& script, const std::string& name)
{
    TempRoot root;
    const std::string picture = root.path() + "/stripes.bmp";
    write_stripes(picture);
    std::string text = script;
    for (size_t at; (at = text.find("PICTURE")) != std::string::npos;)
        text.replace(at, 7, picture);
    const std::string source = root.write("windows.rks", text);
    const std::string shot = root.path() + "/shot.png";
    EngineProcess engine({"--headless", "--timeout", "60", "--snapshot", shot, source}, root.path());
    ASSERT_EQ(engine.wait(60), 0) << engine.err();
    const std::string kept = std::string(RUK_SOURCE_DIR) + "/tests/snapshots/" + name + ".png";
    if (const char* again = std::getenv("RUK_REBASELINE"); again && std::string(again) == "1") {
        std::filesystem::copy_file(shot, kept, std::filesystem::copy_options::overwrite_existing);
        GTEST_SKIP() << "wrote " << kept;
    }
    QImage got(QString::fromStdString(shot)), want(QString::fromStdString(kept));
    ASSERT_FALSE(got.isNull()) << "no snapshot written";
    ASSERT_FALSE(want.isNull()) << "missing " << kept;
    got = got.convertToFormat(QImage::Format_RGB32);
    want = want.convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(got.size(), want.size());
    int differing = 0;
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            differing += got.pixel(x, y) != want.pixel(x, y);
    EXPECT_EQ(differing, 0) << "pixels differ from " << kept;
}

TEST(WindowSnapshot, OutlinesKeysAlphaChildrenAndHiddenWindows)
{
    expect_snapshot(windows_script, "windows");
}

// The engine runs in its working folder, which goes at the end: a picture
// named relative to the folder the engine was started in must land there.
TEST(WindowSnapshot, RelativeNameIsTakenFromTheStartingFolder)
{
    TempRoot root;
    const std::string source = root.write("one.rks", "event.initialize()\n    window.create()\n    window.1.pos(10, 10, 20, 20)\nevent.end()\n");
    const std::string shot = root.path() + "/relative.png";
    const std::string relative = std::filesystem::relative(shot, std::filesystem::current_path()).string();
    ASSERT_NE(relative.front(), '/');
    EngineProcess engine({"--headless", "--timeout", "1", "--snapshot", relative, source}, root.path());
    ASSERT_EQ(engine.wait(60), 0) << engine.err();
    EXPECT_FALSE(QImage(QString::fromStdString(shot)).isNull()) << "no picture at " << shot;
}

} // namespace
