// The draw family's picture files: "load" (.bmp, .jpg, .ico) and "save" (.bmp, .jpg).
#include "core/Engine.h"
#include "graphics/BmpFile.h"
#include "graphics/Canvas.h"
#include "graphics/DrawState.h"
#include "graphics/JpegFile.h"
#include "system/Disk.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace ruk {

namespace {

constexpr const char* MsgImageNotSaved = "Image cannot be saved : ";

// How long "save" waits at most for the written file to become openable.
constexpr auto SaveWaitLimit = std::chrono::seconds(3);

// The extension of a script path in lower case, with its dot ("" when none).
std::string lower_extension(std::string_view path)
{
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::string();
    std::string ext(path.substr(dot));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return ext;
}

// The Linux path of an existing regular file, or nothing.
std::optional<std::string> existing_file(std::string_view script_path)
{
    if (script_path.empty())
        return std::nullopt;
    std::optional<std::string> path = disk::resolve_path(script_path);
    std::error_code ec;
    if (!path || !std::filesystem::is_regular_file(*path, ec))
        return std::nullopt;
    return path;
}

Result load_icon(Engine& e, DrawTarget& t, int32_t x, int32_t y)
{
    std::optional<std::string> path = existing_file(e.param(1));
    if (!path) {
        e.report_error(std::string(MsgImageNotFound) + e.param(1));
        return std::nullopt;
    }
    const std::optional<IconPicture> icon = Canvas::read_icon(*path, coordinate(e, 4, 32), coordinate(e, 5, 32));
    if (!icon) {
        e.report_error(MsgInvalidImage);
        return std::nullopt;
    }
    t.bitmap->grow(x + icon->width, y + icon->height);
    Canvas(*t.bitmap, *t.canvas).picture(*icon, x, y);
    return int_to_text(icon->width);
}

// Waits, within a bound, until the file can be opened: a file system that
// shows a new file late must not make a script read an old one.
void wait_until_openable(const std::string& path)
{
    const auto until = std::chrono::steady_clock::now() + SaveWaitLimit;
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            return;
        }
        if (std::chrono::steady_clock::now() >= until)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool is_bitmap_depth(int32_t bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

} // namespace

Result draw_load(Engine& e, DrawState&, DrawTarget& t)
{
    const std::string ext = lower_extension(e.param(1));
    const int32_t x = coordinate(e, 2, 0);
    const int32_t y = coordinate(e, 3, 0);
    if (ext == ".ico")
        return load_icon(e, t, x, y);
    Bitmap picture;
    if (ext == ".bmp" || ext == ".jpg") {
        std::optional<std::string> path = existing_file(e.param(1));
        if (!path) {
            e.report_error(std::string(MsgImageNotFound) + e.param(1));
            return std::nullopt;
        }
        PictureLoad load = ext == ".bmp" ? BmpFile::load(*path) : JpegFile::load(*path);
        if (!load.ok()) {
            // A damaged or hostile file draws nothing and leaves the bitmap alone.
            e.report_error(MsgInvalidImage);
            return std::nullopt;
        }
        picture = std::move(load.bitmap);
    }
    picture.set_pixel_format(24);
    Bitmap& bitmap = *t.bitmap;
    bitmap.grow(x + picture.width(), y + picture.height());
    bitmap.draw(picture, x, y);
    bitmap.set_pixel_format(24);
    return int_to_text(picture.width()) + "^^" + int_to_text(picture.height());
}

Result draw_save(Engine& e, DrawState&, DrawTarget& t)
{
    const std::string ext = lower_extension(e.param(1));
    if (ext != ".bmp" && ext != ".jpg")
        return std::string("success");
    std::optional<std::string> path = disk::resolve_path(e.param(1));
    if (ext == ".bmp") {
        Bitmap copy = *t.bitmap;
        if (e.param(2) != "high")
            copy.set_pixel_format(32);
        const int32_t bits = e.param_int(2, -1);
        if (is_bitmap_depth(bits))
            copy.set_pixel_format(bits);
        if (!path || BmpFile::save(*path, copy) != PictureError::None) {
            // Reported rather than answered with "success": the script would
            // otherwise go on with a file that was never written.
            e.report_error(std::string(MsgImageNotSaved) + e.param(1));
            return std::nullopt;
        }
    } else {
        int quality = e.param_int(2, JpegFile::DefaultQuality) & 0xFF;
        if (quality == 0)
            quality = 1;
        const bool greyscale = !e.param(3).empty() && starts_with_1(e.param(3));
        if (!path || JpegFile::save(*path, *t.bitmap, quality, greyscale) != PictureError::None)
            return std::string("toolarge");
    }
    wait_until_openable(*path);
    return std::string("success");
}

} // namespace ruk
