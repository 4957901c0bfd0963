// The draw family through the dispatcher: window bitmaps, the slot table, hostile files and the clock example.
#ifdef RUK_WITH_DRAW

#include "graphics/BitmapReferences.h"
#include "graphics/Draw.h"
#include "tests/support/Notation.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <array>
#include <cstring>
#include <map>
#include <sstream>
#include <unistd.h>

using namespace ruk;
using ruk::test::compiled;
using ruk::test::ScriptHarness;

namespace {

// Windows 0 and 3 exist; every call is recorded.
class RecordingHost : public BitmapHost {
public:
    Bitmap* window_bitmap(int index) override
    {
        if (index == 0)
            return &main;
        if (index == 3)
            return &third;
        return nullptr;
    }
    void bitmap_changed(int index) override { ++changed[index]; }
    void repaint(int index) override { repaints.push_back(index); }
    void paint_region(int index, PixelRect from, PixelRect to) override
    {
        regions.push_back({index, from, to});
    }
    bool window_size(int, int32_t& width, int32_t& height) override
    {
        width = 300;
        height = 200;
        return true;
    }

    struct Region {
        int index;
        PixelRect from;
        PixelRect to;
    };
    Bitmap main {1, 1, 24};
    Bitmap third {1, 1, 24};
    std::map<int, int> changed;
    std::vector<int> repaints;
    std::vector<Region> regions;
};

Result command(ScriptHarness& h, const std::string& notation)
{
    return h.engine().split_command(compiled(notation));
}

std::string text_of(ScriptHarness& h, const std::string& notation)
{
    return command(h, notation).value_or("<nothing>");
}

// A command whose parameters are taken as they are (file names hold dots).
std::string call(ScriptHarness& h, const std::string& words, std::initializer_list<std::string> params)
{
    std::string line = compiled(words) + '\x8F';
    bool first = true;
    for (const std::string& p : params) {
        if (!first)
            line += '\x8E';
        line += p;
        first = false;
    }
    line += '\x90';
    return h.engine().split_command(line).value_or("<nothing>");
}

// A scratch folder that goes when the test ends.
struct ScratchFolder {
    std::filesystem::path path;
    ScratchFolder()
    {
        path = std::filesystem::temp_directory_path() / ("draw_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder() { std::filesystem::remove_all(path); }
    std::string file(const char* name) const { return (path / name).string(); }
};

} // namespace

TEST(DrawFamily, WindowBitmapsAreReachedThroughTheHost)
{
    ScriptHarness h;
    RecordingHost host;
    BitmapReferences bitmaps(&host);
    register_draw_family(h.engine(), bitmaps);

    command(h, "draw.main.rect(0,0,10,10,255)");
    command(h, "draw.3.line(0,0,30,20)");
    EXPECT_EQ(host.main.width(), 10);
    EXPECT_EQ(host.main.pixel(9, 9), 255u);
    EXPECT_EQ(host.third.width(), 30);
    EXPECT_EQ(host.changed[0], 1);
    EXPECT_EQ(host.changed[3], 1);
    // Reading commands leave the window alone.
    EXPECT_EQ(text_of(h, "draw.main.getpixel(1,1)"), "255");
    EXPECT_EQ(text_of(h, "draw.main.width()"), "10");
    EXPECT_EQ(host.changed[0], 1);

    // A free window slot names no bitmap: the command is a function call.
    command(h, "draw.4.width()");
    ASSERT_EQ(h.errors().size(), 1u);
    EXPECT_NE(h.errors()[0].find("Unknown keyword"), std::string::npos);

    // "paint": the whole window, or a rectangle whose defaults come from the window's size.
    command(h, "draw.m.paint()");
    command(h, "draw.3.paint(10,20)");
    command(h, "draw.3.paint(1,2,3,4,5,6,7,8)");
    EXPECT_EQ(host.repaints, std::vector<int> {0});
    ASSERT_EQ(host.regions.size(), 2u);
    const PixelRect f = host.regions[0].from;
    const PixelRect t = host.regions[0].to;
    EXPECT_EQ(host.regions[0].index, 3);
    EXPECT_EQ((std::array {f.x, f.y, f.w, f.h}), (std::array {10, 20, 290, 180}));
    EXPECT_EQ((std::array {t.x, t.y, t.w, t.h}), (std::array {10, 20, 290, 180}));
    const PixelRect t2 = host.regions[1].to;
    EXPECT_EQ((std::array {t2.x, t2.y, t2.w, t2.h}), (std::array {5, 6, 7, 8}));
}

TEST(DrawFamily, SlotTableLimits)
{
    ScriptHarness h;
    for (int i = 1; i <= 255; ++i)
        ASSERT_EQ(text_of(h, "draw.mem.create()"), std::to_string(-i));
    // The last slot is only reached by its reference.
    EXPECT_EQ(text_of(h, "draw.mem.create()"), "");
    EXPECT_EQ(text_of(h, "draw.mem.exists(-256)"), "0");
    EXPECT_EQ(text_of(h, "draw.-256.width()"), "1");
    EXPECT_EQ(text_of(h, "draw.mem.exists(-256)"), "1");
    // The default reference of "exists" is 2, slot 3; 255 counts as beyond.
    EXPECT_EQ(text_of(h, "draw.mem.exists()"), "1");
    EXPECT_EQ(text_of(h, "draw.mem.exists(255)"), "-1");
    EXPECT_EQ(text_of(h, "draw.mem.exists(-257)"), "-1");
    // References beyond the table name nothing.
    command(h, "draw.-257.width()");
    command(h, "draw.-10000.width()");
    EXPECT_EQ(h.errors().size(), 2u);
    command(h, "draw.mem.delete(-1)");
    EXPECT_EQ(text_of(h, "draw.mem.create()"), "-1");
}

TEST(DrawFamily, EffectPercentagesStayAfterTranslucentShapes)
{
    ScriptHarness h;
    command(h, "draw.-1.rect(0,0,4,4,16777215)");
    command(h, "draw.-2.rect(0,0,4,4,0)");
    // The translucent ellipse leaves all three percentages at 30 ...
    command(h, "draw.-3.ellipse(0,0,4,4,0,0,30)");
    // ... which a copy with opacity "m" keeps: 0 + 255 * 30 / 100 = 76.
    command(h, "draw.-2.copyfrom.-1(0,0,4,4,0,0,4,4,m)");
    EXPECT_EQ(text_of(h, "draw.-2.getpixel(1,1)"), std::to_string(76 * 0x010101));
    // An empty opacity sets them back to 100: a plain copy.
    command(h, "draw.-2.copyfrom.-1(0,0,4,4,0,0,4,4)");
    EXPECT_EQ(text_of(h, "draw.-2.getpixel(1,1)"), "16777215");
    // The copy mode applies to plain copies only: white XOR white is black.
    command(h, "draw.-2.copymode(srcinvert)");
    command(h, "draw.-2.copyfrom.-1(0,0,4,4)");
    EXPECT_EQ(text_of(h, "draw.-2.getpixel(1,1)"), "0");
    command(h, "draw.-2.copymode(nosuchmode)");
    command(h, "draw.-2.copyfrom.-1(0,0,4,4)");
    EXPECT_EQ(text_of(h, "draw.-2.getpixel(1,1)"), "16777215");
    // Stretching doubles the picture.
    command(h, "draw.-4.copyfrom.-1(0,0,4,4,0,0,8,8)");
    EXPECT_EQ(text_of(h, "draw.-4.width()"), "8");
    EXPECT_EQ(text_of(h, "draw.-4.getpixel(7,7)"), "16777215");
}

TEST(DrawFamily, HostilePicturesAndFailedSaves)
{
    ScriptHarness h;
    ScratchFolder scratch;
    command(h, "draw.-1.rect(0,0,8,8,255)");

    // A BMP header that declares a huge picture, and a truncated one.
    std::string header("BM", 2);
    header.resize(54, '\0');
    header[10] = 54;
    header[14] = 40;
    const uint32_t huge = 1000000;
    std::memcpy(&header[18], &huge, 4);
    std::memcpy(&header[22], &huge, 4);
    header[26] = 1;
    header[28] = 24;
    std::ofstream(scratch.file("huge.bmp"), std::ios::binary) << header;
    std::ofstream(scratch.file("cut.bmp"), std::ios::binary) << header.substr(0, 20);
    std::ofstream(scratch.file("noise.jpg"), std::ios::binary) << "\xFF\xD8\xFF\xE0 not really a jpeg";
    std::ofstream(scratch.file("noise.ico"), std::ios::binary) << "not an icon";
    for (const char* name : {"huge.bmp", "cut.bmp", "noise.jpg", "noise.ico"}) {
        EXPECT_EQ(call(h, "draw.-1.load", {scratch.file(name)}), "<nothing>") << name;
        EXPECT_EQ(h.errors().back(), "Invalid image.") << name;
    }
    EXPECT_EQ(text_of(h, "draw.-1.width()"), "8");
    EXPECT_EQ(text_of(h, "draw.-1.getpixel(7,7)"), "255");

    // A JPEG that cannot be written is "toolarge"; a BMP is reported, and
    // neither leaves a file behind.
    const std::string missing = scratch.file("no/such/folder/x");
    EXPECT_EQ(call(h, "draw.-1.save", {missing + ".jpg"}), "toolarge");
    call(h, "draw.-1.save", {missing + ".bmp"});
    EXPECT_EQ(h.errors().back(), "Image cannot be saved : " + missing + ".bmp");
    command(h, "draw.-2.size(0,0)");
    EXPECT_EQ(call(h, "draw.-2.save", {scratch.file("empty.jpg")}), "toolarge");
    EXPECT_FALSE(std::filesystem::exists(scratch.file("empty.jpg")));

    // Quality is the low byte: 256 counts as 1, the worst, so the file is small.
    const std::string best = scratch.file("best.jpg");
    const std::string worst = scratch.file("worst.jpg");
    command(h, "draw.-3.ellipse(0,0,200,200,65535)");
    call(h, "draw.-3.text", {"10", "90", "", "", "Quality", "255"});
    EXPECT_EQ(call(h, "draw.-3.save", {best, "100"}), "success");
    EXPECT_EQ(call(h, "draw.-3.save", {worst, "256"}), "success");
    EXPECT_LT(std::filesystem::file_size(worst) * 2, std::filesystem::file_size(best));
    // Greyscale: every channel equal after loading.
    EXPECT_EQ(call(h, "draw.-3.save", {best, "100", "1"}), "success");
    EXPECT_EQ(call(h, "draw.-4.load", {best}), "200^^200");
    const uint32_t c = uint32_t(std::stoul(text_of(h, "draw.-4.getpixel(100,100)")));
    EXPECT_EQ(c & 0xFF, (c >> 8) & 0xFF);
    EXPECT_EQ(c & 0xFF, (c >> 16) & 0xFF);

    // A BMP at a given depth reads back at that depth's colours.
    EXPECT_EQ(call(h, "draw.-1.save", {scratch.file("one.bmp"), "1"}), "success");
    EXPECT_EQ(call(h, "draw.-5.load", {scratch.file("one.bmp")}), "8^^8");
}

// An icon file of 2 x 2 pixels at 32 bits with alpha, rows given top
// first as blue-green-red-alpha words.
std::string two_by_two_icon(const std::array<uint32_t, 4>& top_first)
{
    std::string ico;
    auto u8 = [&](uint8_t v) { ico += char(v); };
    auto u16 = [&](uint16_t v) { u8(uint8_t(v)); u8(uint8_t(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(uint16_t(v)); u16(uint16_t(v >> 16)); };
    u16(0), u16(1), u16(1);                           // the directory: one icon
    u8(2), u8(2), u8(0), u8(0), u16(1), u16(32);      // 2 x 2, 32 bits
    u32(40 + 16 + 8), u32(22);                        // its bytes and where they start
    u32(40), u32(2), u32(4), u16(1), u16(32);         // the header: twice the height (mask)
    for (int i = 0; i < 6; ++i)
        u32(0);
    for (int row : {1, 0})                            // bottom row first
        for (int col : {0, 1}) {
            const uint32_t p = top_first[size_t(row * 2 + col)];
            u8(uint8_t(p >> 24)), u8(uint8_t(p >> 16)), u8(uint8_t(p >> 8)), u8(uint8_t(p));
        }
    for (int i = 0; i < 8; ++i)                       // the mask: all shown
        u8(0);
    return ico;
}

TEST(DrawFamily, IconsBlendByTheirAlphaAndGrowTheBitmap)
{
    ScriptHarness h;
    ScratchFolder scratch;
    // Opaque red, clear; opaque blue, half-covering green.
    std::ofstream(scratch.file("dots.ico"), std::ios::binary)
        << two_by_two_icon({0x0000FFFF, 0x00000000, 0xFF0000FF, 0x00FF0080});
    command(h, "draw.-1.rect(0,0,4,4,16777215)");
    EXPECT_EQ(call(h, "draw.-1.load", {scratch.file("dots.ico"), "1", "1", "2", "2"}), "2");
    EXPECT_EQ(text_of(h, "draw.-1.width()"), "4");
    EXPECT_EQ(text_of(h, "draw.-1.getpixel(1,1)"), "255");
    EXPECT_EQ(text_of(h, "draw.-1.getpixel(2,1)"), "16777215");
    EXPECT_EQ(text_of(h, "draw.-1.getpixel(1,2)"), "16711680");
    const long half = std::stol(text_of(h, "draw.-1.getpixel(2,2)"));
    EXPECT_EQ((half >> 8) & 0xFF, 255);
    EXPECT_NEAR(half & 0xFF, 127, 2);
    EXPECT_NEAR((half >> 16) & 0xFF, 127, 2);
    EXPECT_EQ(text_of(h, "draw.-1.getpixel(0,0)"), "16777215");

    // Another size is scaled to it; a picture past the edge grows the bitmap.
    EXPECT_EQ(call(h, "draw.-1.load", {scratch.file("dots.ico"), "4", "0", "6", "6"}), "6");
    EXPECT_EQ(text_of(h, "draw.-1.width()"), "10");
    EXPECT_EQ(text_of(h, "draw.-1.height()"), "6");
    EXPECT_EQ(text_of(h, "draw.-1.getpixel(4,0)"), "255");
}

TEST(DrawFamily, ClockExampleDrawsItsFace)
{
    ScriptHarness h;
    std::ifstream in(std::string(RUK_SOURCE_DIR) + "/examples/clock/clock.rks");
    std::stringstream source;
    source << in.rdbuf();
    ASSERT_TRUE(h.load(source.str()));
    h.run("initialize");
    EXPECT_EQ(text_of(h, "draw.-1.width()"), "200");
    // Black outside the round face, the face's light grey inside, the red
    // centre on the window's bitmap.
    EXPECT_EQ(text_of(h, "draw.-1.getpixel(0,0)"), "0");
    EXPECT_EQ(text_of(h, "draw.-1.getpixel(60,100)"), "15790320");
    EXPECT_EQ(text_of(h, "draw.main.width()"), "200");
    EXPECT_EQ(text_of(h, "draw.main.getpixel(100,100)"), "255");
}

#endif
