// The one table of bitmaps scripts name: "main", a window index, -1 to -256.
#pragma once

#include "graphics/BitmapHost.h"
#include "graphics/BitmapTable.h"
#include "graphics/CanvasState.h"

#include <array>
#include <memory>
#include <string_view>

namespace ruk {

// A bitmap a reference names, with the canvas state that stays with it;
// `window` is the window's index for a backing bitmap, -1 for an off-screen
// one.
struct NamedBitmap {
    Bitmap* bitmap = nullptr;
    CanvasState* canvas = nullptr;
    int window = -1;
    explicit operator bool() const { return bitmap != nullptr; }
};

// Every family that takes a bitmap reference (draw, window outlines, screen
// captures, clipboard pictures) resolves it here, so they all see the same
// pictures: the windows' backing bitmaps through the BitmapHost, and the 256
// off-screen bitmaps owned here. Made once by whoever runs scripts and handed
// to the families; it outlives the engine's family table.
class BitmapReferences {
public:
    // `windows` outlives this table; null gives a host of its own that knows
    // only the engine window's bitmap (runs without a desktop).
    explicit BitmapReferences(BitmapHost* windows = nullptr);
    BitmapReferences(const BitmapReferences&) = delete;
    BitmapReferences& operator=(const BitmapReferences&) = delete;

    // Resolves a reference, in this order: a text beginning with "m" is the
    // engine window's bitmap; an empty text, or one whose value is -10000,
    // names nothing; 0 to 254 is that window's bitmap (nothing for a free
    // slot); -1 to -256 the off-screen slot, filled on first use; any other
    // value names nothing.
    NamedBitmap resolve(std::string_view reference);

    // A command changed the pixels of a named bitmap: a window showing it
    // hears of it.
    void changed(const NamedBitmap& named);

    BitmapHost& windows() { return *m_windows; }
    BitmapTable& off_screen() { return m_table; }

private:
    std::unique_ptr<BitmapHost> m_own_windows;
    BitmapHost* m_windows;
    BitmapTable m_table;
    // Window bitmaps keep their canvas state here, by window index.
    std::array<CanvasState, 255> m_window_canvas;
};

} // namespace ruk
