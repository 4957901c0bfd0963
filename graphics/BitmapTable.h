// The 256 off-screen bitmaps scripts draw into, each with its canvas state.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/CanvasState.h"

#include <array>
#include <cstdint>
#include <memory>

namespace ruk {

// Slots 0 to 255, each empty or owning one bitmap and its canvas state.
// Scripts name slot k with the reference -(k + 1). A slot that is used while
// empty gets a new 1 x 1 black 24-bit bitmap with a fresh canvas state.
class BitmapTable {
public:
    static constexpr int32_t Slots = 256;

    struct Entry {
        Bitmap bitmap {1, 1, 24};
        CanvasState canvas;
    };

    // The slot of a reference from -1 to -256; -1 for any other value.
    static int32_t slot_of_reference(int64_t reference);

    bool occupied(int32_t slot) const;
    // The entry of a slot, filled on first use; null for a slot outside 0 to 255.
    Entry* use(int32_t slot);
    // The lowest empty slot from 0 to 254, filled; -1 when all are in use.
    int32_t create();
    // Frees a slot; nothing happens for an empty one or one outside the table.
    void remove(int32_t slot);
    void clear();

private:
    std::array<std::unique_ptr<Entry>, Slots> m_entries;
};

} // namespace ruk
