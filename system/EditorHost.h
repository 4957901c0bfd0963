// What the "sci" family needs from the desktop to host editor controls, without knowing the toolkit.
#pragma once

#include "system/WindowRect.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace ruk {

// A notification an editor sent: its slot, the window that holds it, the
// notification code and the character it carries (0 for most codes).
struct EditorNotification {
    int slot = 0;
    int window = 0;
    int code = 0;
    int character = 0;
};

// Editor controls live in slots 0 to 4999, each a child of a script window.
// A slot whose window has closed holds no editor any more.
class EditorHost {
public:
    static constexpr int Slots = 5000;

    virtual ~EditorHost() = default;
    // Loads the editor library the first time; false when it cannot be loaded.
    virtual bool load() = 0;
    // Creates an editor in `slot` as a child of script window `window`, at
    // `place` inside its client area, replacing the slot's editor. False
    // when the window cannot hold one.
    virtual bool create(int slot, int window, const WindowRect& place) = 0;
    virtual bool exists(int slot) const = 0;
    // Moves and sizes the editor inside its window and repaints it.
    virtual void place(int slot, const WindowRect& place) = 0;
    virtual void set_focus(int slot) = 0;
    // Sends a message with the parameters exactly as given; nothing when
    // the slot holds no editor.
    virtual std::optional<intptr_t> send(int slot, uint32_t message, uintptr_t word, intptr_t value) = 0;
    // Where the editors' notifications go; the host calls it from the event
    // loop, in the order they came, never from inside an editor.
    virtual void set_notification_sink(std::function<void(const EditorNotification&)> sink) = 0;
};

// No editor library: nothing can be created.
class NoEditors : public EditorHost {
public:
    bool load() override { return false; }
    bool create(int, int, const WindowRect&) override { return false; }
    bool exists(int) const override { return false; }
    void place(int, const WindowRect&) override {}
    void set_focus(int) override {}
    std::optional<intptr_t> send(int, uint32_t, uintptr_t, intptr_t) override { return std::nullopt; }
    void set_notification_sink(std::function<void(const EditorNotification&)>) override {}
};

} // namespace ruk
