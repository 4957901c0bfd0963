// Outlines, translucency, colour keys and pictures of script windows.
#include "graphics/WindowLook.h"

#include "graphics/BitmapReferences.h"
#include "graphics/BmpFile.h"
#include "graphics/JpegFile.h"
#include "graphics/Outline.h"
#include "graphics/ScriptWindow.h"
#include "graphics/Window.h"

#include <algorithm>
#include <filesystem>

namespace ruk {

namespace {

constexpr const char* MsgInvalidImage = "Invalid image.";
constexpr const char* MsgCannotFind = "Cannot find file ";
constexpr const char* MsgImageType = "Image must be .bmp or .jpg file.";

std::string lower_extension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

bool file_exists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// Resizes keeping the window's place.
void resize_window(ScriptWindow& w, int32_t width, int32_t height)
{
    WindowRect g = w.geometry();
    g.width = width;
    g.height = height;
    w.set_geometry(g);
}

// Reads an array variable's elements in pairs as polygon vertices; the
// largest x and y raise `width` and `height`. An odd last element is left
// out; a missing variable gives no points.
std::vector<OutlinePoint> polygon_from_array(Engine& e, const std::string& name, int32_t& width, int32_t& height)
{
    std::vector<OutlinePoint> points;
    const int32_t number = e.vars().find(name);
    if (number < 0)
        return points;
    const auto& elements = e.vars().at(number).elements;
    for (size_t i = 0; i + 1 < elements.size(); i += 2) {
        OutlinePoint p{eval_int(elements[i], 0), eval_int(elements[i + 1], 0)};
        width = std::max(width, p.x);
        height = std::max(height, p.y);
        points.push_back(p);
    }
    return points;
}

// The last steps of every outline built from pixels or points: the window
// grows to hold the outline when it is smaller, and takes it as its shape.
void finish_outline(WindowHost& windows, int index, Outline outline, int32_t dx, int32_t dy, int32_t width,
                    int32_t height)
{
    ScriptWindow& w = *windows.window(index);
    const WindowRect g = w.geometry();
    if ((g.width < dx + width || g.height < dy + height) && !(g.width == width && g.height == height))
        resize_window(w, width, height);
    windows.table().record(index).outline = std::move(outline);
    ensure_backing(windows, index);
    w.apply_outline();
    w.repaint_now();
}

} // namespace

void ensure_backing(WindowHost& windows, int index)
{
    WindowRecord& r = windows.table().record(index);
    if (!r.backing.empty())
        return;
    const WindowRect g = windows.window(index)->geometry();
    r.backing = Bitmap(std::max(1, g.width), std::max(1, g.height), 24);
}

Result window_shape(Engine& e, WindowHost& windows, BitmapReferences& bitmaps, int index)
{
    ScriptWindow& w = *windows.window(index);
    const std::string& kind = e.word(3);
    if (kind == "elliptic" || kind == "rect") {
        const WindowRect g = w.geometry();
        const int32_t x = e.param_int(1, 0), y = e.param_int(2, 0);
        const int32_t width = std::max(0, e.param_int(3, g.width)), height = std::max(0, e.param_int(4, g.height));
        resize_window(w, x + width, y + height);
        windows.table().record(index).outline =
            kind == "elliptic" ? Outline::ellipse(x, y, width, height)
                               : Outline::rounded_rect(x, y, width, height, e.param_int(5, 0), e.param_int(6, 0));
        ensure_backing(windows, index);
        w.apply_outline();
        w.repaint_now();
        return std::nullopt;
    }
    if (kind == "polygon") {
        int32_t width = 0, height = 0;
        Outline outline;
        outline.add_polygon(polygon_from_array(e, e.param(1), width, height));
        finish_outline(windows, index, std::move(outline), 0, 0, width, height);
        return std::nullopt;
    }
    if (kind == "load") {
        const std::string& path = e.param(1);
        if (!file_exists(path))
            return std::nullopt;
        Outline outline;
        Bitmap picture;
        if (Outline::from_file(path, e.param_int(4, -1), outline, &picture) != PictureError::None) {
            e.report_error(MsgInvalidImage);
            return std::nullopt;
        }
        // A window too small for the outline grows to the picture's size
        // even when the script asked for no resizing.
        const WindowRect g = w.geometry();
        if (e.param(3) != "0" || g.width < picture.width() || g.height < picture.height())
            resize_window(w, picture.width(), picture.height());
        WindowRecord& r = windows.table().record(index);
        r.outline = std::move(outline);
        ensure_backing(windows, index);
        if (e.param(2) != "0") {
            picture.set_pixel_format(24);
            r.backing = std::move(picture);
        }
        w.apply_outline();
        w.repaint_now();
        return std::nullopt;
    }
    if (kind == "from") {
        Bitmap* source = bitmaps.resolve(e.word(4)).bitmap;
        if (!source) {
            e.report_error(MsgInvalidImage);
            return std::nullopt;
        }
        const int32_t x = e.param_int(1, 0), y = e.param_int(2, 0);
        int32_t width = e.param_int(3, source->width()), height = e.param_int(4, source->height());
        const int32_t dx = e.param_int(5, 0), dy = e.param_int(6, 0);
        Outline outline = Outline::from_bitmap(*source, x, y, width, height, dx, dy, e.param_int(7, -1));
        if (!e.param(8).empty())
            outline.add_polygon(polygon_from_array(e, e.param(8), width, height));
        finish_outline(windows, index, std::move(outline), dx, dy, width, height);
        return std::nullopt;
    }
    return e.call_function();
}

Result window_transparency(Engine& e, WindowHost& windows, int index)
{
    ScriptWindow& w = *windows.window(index);
    WindowRecord& r = windows.table().record(index);
    r.style_saved = true;
    const std::string& key = e.param(1);
    const std::string& alpha = e.param(2);
    if (key.empty() && alpha.empty()) {
        r.look = WindowLook{};
        w.apply_look();
        w.repaint_now();
        return "1";
    }
    WindowLook look;
    if (!key.empty())
        look.colour_key = static_cast<uint32_t>(e.param_int(1, 0)) & 0xFFFFFF;
    if (!alpha.empty())
        look.alpha = std::clamp(e.param_int(2, 0), 0, 255);
    look.click_through = starts_with_1(e.param(3));
    r.look = look;
    return flag_to_text(w.apply_look());
}

Result window_image(Engine& e, WindowHost& windows, int index)
{
    if (e.word(3) != "load")
        return e.call_function();
    ScriptWindow& w = *windows.window(index);
    const std::string& path = e.param(1);
    if (!file_exists(path)) {
        e.report_error(MsgCannotFind);
        return std::nullopt;
    }
    ensure_backing(windows, index);
    const std::string ext = lower_extension(path);
    PictureLoad load;
    if (ext == ".bmp")
        load = BmpFile::load(path);
    else if (ext == ".jpg")
        load = JpegFile::load(path);
    else {
        e.report_error(MsgImageType);
        return std::nullopt;
    }
    // A damaged picture leaves the window's picture as it was.
    if (!load.ok() || load.bitmap.empty()) {
        e.report_error(MsgInvalidImage);
        return std::nullopt;
    }
    load.bitmap.set_pixel_format(24);
    WindowRecord& r = windows.table().record(index);
    r.backing = std::move(load.bitmap);
    if (e.param(3) != "0")
        resize_window(w, r.backing.width(), r.backing.height());
    if (e.param(2) != "0")
        w.repaint_now();
    return std::nullopt;
}

} // namespace ruk
