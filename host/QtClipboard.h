// The desktop's clipboard for scripts, on QClipboard.
#pragma once

#include "graphics/Clipboard.h"

namespace ruk {

// Texts go in and out as UTF-8; pictures as 24-bit bitmaps. What the engine
// puts there stays readable by other programs while the engine runs; after
// its end only as long as a clipboard manager of the desktop took a copy.
class QtClipboard : public Clipboard {
public:
    void clear() override;
    bool has_image() override;
    bool has_text() override;
    std::string text() override;
    void set_text(std::string_view text) override;
    std::optional<Bitmap> image() override;
    void set_image(const Bitmap& picture) override;
};

} // namespace ruk
