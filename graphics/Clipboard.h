// What the system family's clipboard commands need from the desktop, without knowing the toolkit.
#pragma once

#include "graphics/Bitmap.h"

#include <optional>
#include <string>
#include <string_view>

namespace ruk {

// The desktop's clipboard: text (UTF-8 both ways) and a picture. The host
// implements it on the toolkit; runs without a desktop use ProcessClipboard.
// Access failures are not errors: they read as an empty clipboard.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void clear() = 0;
    virtual bool has_image() = 0;
    virtual bool has_text() = 0;
    // Empty when the clipboard holds no text.
    virtual std::string text() = 0;
    virtual void set_text(std::string_view text) = 0;
    // A 24-bit copy of the clipboard's picture; nothing when it holds none.
    virtual std::optional<Bitmap> image() = 0;
    virtual void set_image(const Bitmap& picture) = 0;
};

// A clipboard that lives as long as the process: what a script puts there it
// can read back, and nothing else sees it.
class ProcessClipboard : public Clipboard {
public:
    void clear() override
    {
        m_text.reset();
        m_image = Bitmap();
        m_has_image = false;
    }
    bool has_image() override { return m_has_image; }
    bool has_text() override { return m_text.has_value(); }
    std::string text() override { return m_text.value_or(std::string()); }
    // Putting something on the clipboard replaces what was there.
    void set_text(std::string_view text) override
    {
        clear();
        m_text = std::string(text);
    }
    std::optional<Bitmap> image() override
    {
        if (!m_has_image)
            return std::nullopt;
        return m_image;
    }
    void set_image(const Bitmap& picture) override
    {
        clear();
        m_image = picture;
        m_has_image = true;
    }

private:
    std::optional<std::string> m_text;
    Bitmap m_image;
    bool m_has_image = false;
};

} // namespace ruk
