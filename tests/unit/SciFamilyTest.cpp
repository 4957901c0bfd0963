// The "sci" family: creation, how message parameters reach the control, getstring's buffer and notifications.
#include "graphics/Window.h"
#include "system/EditorHost.h"
#include "system/SciFamily.h"
#include "tests/support/MemoryWindows.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

using namespace ruk;
using ruk::test::MemoryWindows;
using ruk::test::ScriptHarness;

namespace {

// A control that keeps a document and answers a few messages as the real
// editor does, including the ones that write more than they are asked to.
struct FakeEditors : EditorHost {
    bool library = true;
    std::map<int, int> window_of;      // slot -> window
    std::map<int, std::string> text;   // slot -> document
    std::vector<uint32_t> received;    // every message that reached a control
    uintptr_t last_word = 0;
    std::vector<intptr_t> words;       // the word parameter of each message, as a signed count
    std::function<void(const EditorNotification&)> sink;

    bool load() override { return library; }
    bool create(int slot, int window, const WindowRect&) override
    {
        window_of[slot] = window;
        text[slot].clear();
        return true;
    }
    bool exists(int slot) const override { return window_of.count(slot) != 0; }
    void place(int, const WindowRect&) override {}
    void set_focus(int) override {}
    void set_notification_sink(std::function<void(const EditorNotification&)> s) override { sink = std::move(s); }

    std::optional<intptr_t> send(int slot, uint32_t message, uintptr_t word, intptr_t value) override
    {
        if (!exists(slot))
            return std::nullopt;
        received.push_back(message);
        last_word = word;
        words.push_back(static_cast<intptr_t>(word));
        std::string& doc = text[slot];
        const auto size = static_cast<intptr_t>(doc.size());
        char* out = reinterpret_cast<char*>(value);
        switch (message) {
        case 2181: // set text
            doc = reinterpret_cast<const char*>(value);
            return 0;
        case 2001: // add text: exactly `word` bytes
            doc.append(reinterpret_cast<const char*>(value), word);
            return 0;
        case 2183: // length
            return size;
        case 2182: // get text: word - 1 characters and a zero; a null buffer asks for the size
            if (!out)
                return size + 1;
            if (word == 0)
                return 0;
            {
                const size_t n = std::min<size_t>(word - 1, doc.size());
                std::memcpy(out, doc.data(), n);
                out[n] = '\0';
                return static_cast<intptr_t>(n);
            }
        case 2161: // selected text (the whole document here): written whole, whatever was asked
            if (out)
                std::memcpy(out, doc.c_str(), doc.size() + 1);
            return size + 1;
        case 4004: // set property: key and value are both read
            doc = std::string(reinterpret_cast<const char*>(word)) + "=" + reinterpret_cast<const char*>(value);
            return 0;
        default:
            return 7;
        }
    }
};

struct SciFamily : ::testing::Test {
    ScriptHarness h;
    FakeEditors editors;
    MemoryWindows windows;
    void SetUp() override
    {
        register_sci_family(h.engine(), editors, windows);
        register_window_family(h.engine(), h.state(), windows);
    }
    std::string run(const std::string& body)
    {
        h.clear_output();
        EXPECT_TRUE(h.load("event.initialize()\n" + body + "\nevent.end()\n" +
                           "event.sci:notify()\n    system.message(\"notify \" window.eventauthor() \" \" "
                           "sci.eventauthor() \" \" sci.messagereceived() \" \" sci.charreceived())\nevent.end()\n"))
            << body;
        h.run();
        return h.output();
    }
};

} // namespace

TEST_F(SciFamily, CreateNeedsTheLibraryAndAWindow)
{
    EXPECT_EQ(run("    system.message(sci.7.create(main, 1, 2) sci.8.create(9) sci.5000.create(main))"), "100\n");
    ASSERT_EQ(h.errors().size(), 1u);
    EXPECT_EQ(h.errors()[0], "The window index is invalid.");
    EXPECT_EQ(editors.window_of.at(7), 0);
    // Without the library nothing is created and no error is reported.
    editors.library = false;
    EXPECT_EQ(run("    system.message(sci.9.create(9))"), "0\n");
    EXPECT_EQ(h.errors().size(), 1u);
    // A slot without an editor answers without reaching anything.
    EXPECT_EQ(run("    system.message(sci.3.sendmessage(2183) \"[\" sci.3.getstring(2182, 9, 9) \"]\")"), "0[]\n");
}

TEST_F(SciFamily, TextsReachTheControlWhereItReadsMemory)
{
    // "xs" passes the long parameter as a text; a text the control reads is
    // a text even unmarked; a length never reaches beyond its text.
    std::string out = run(R"(
    sci.7.create(main)
    system.message(sci.7.sendmessage.xs(2181, 0, "hello") " " sci.7.sendmessage(2183))
    sci.7.sendmessage(2181, 0, "plain")
    system.message(sci.7.getstring(2182, 99, 99))
    sci.7.sendmessage(2001, 1000, "+ab")
    system.message(sci.7.getstring(2182, 99, 99))
    sci.7.sendmessage.ss(4004, "fold", "1")
    system.message(sci.7.getstring(2182, 99, 99))
)");
    EXPECT_EQ(out, "0 5\nplain\nplain+ab\nfold=1\n");
}

TEST_F(SciFamily, LengthsAreCountsWithinTheirTextOrBuffer)
{
    run("    sci.7.create(main)");
    editors.words.clear();
    // A negative count, or one marked as a text, would make the control read
    // or write outside the engine's buffer: it reaches the control as 0 or
    // as the text's length; replace target keeps -1 ("up to the zero").
    std::string out = run(R"(
    sci.7.sendmessage(2420, -1, "xyz")
    sci.7.sendmessage.s(2001, 9, "ab")
    sci.7.sendmessage.ss(2001, "abc", "cd")
    sci.7.sendmessage(2194, -1, "t")
    sci.7.sendmessage(2197, -3, "t")
    system.message("[" sci.7.getstring(2001, 50000000, 2) "]")
    system.message("[" sci.7.getstring(2182, -40, 2) "]")
    system.message(sci.7.getstring(2182, 99, 98))
)");
    EXPECT_EQ(out, "[]\n[]\nab\n");
    EXPECT_EQ(editors.words, (std::vector<intptr_t>{0, 2, 0, -1, 0, 2, 0, 0, 99, 99}));
}

TEST_F(SciFamily, GetStringCutsAtTheAnswerAndNeverOverrunsItsBuffer)
{
    std::string out = run(R"(
    sci.7.create(main)
    sci.7.sendmessage(2181, 0, "a long document text")
    system.message("[" sci.7.getstring(2182, 7, 6) "]")
    system.message("[" sci.7.getstring(2182, 7, 3) "]")
    system.message("[" sci.7.getstring(2161, 0, 4) "]")
    system.message("[" sci.7.getstring(2161, 0, 99) "]")
    system.message(sci.7.sendmessage(2161, 0, 0) " " sci.7.sendmessage(2161, 0, 1))
)");
    // Six characters asked with a word of 7; fewer asked than written cuts
    // at the asked length; the selection is written whole into a buffer
    // made large enough, and its counted zero is not part of the answer. A
    // zero long parameter asks for the size, any other number gets a buffer.
    EXPECT_EQ(out, "[a long]\n[a l]\n[a lo]\n[a long document text]\n21 21\n");
}

TEST_F(SciFamily, MessagesTakingObjectsAreRefused)
{
    std::string out = run(R"(
    sci.7.create(main)
    system.message(sci.7.sendmessage(2150, 0, 12345) sci.7.sendmessage.ss(2162, "x", "y") sci.7.sendmessage(2358, 0, 99))
    system.message(sci.7.sendmessage(2358, 0, 0) sci.7.sendmessage(2448, 5) "[" sci.7.getstring(2015, 0, 10) "]")
)");
    EXPECT_EQ(out, "000\n70[]\n");
    // Only the harmless "set document 0" reached the control.
    EXPECT_EQ(editors.received, std::vector<uint32_t>{2358});
}

TEST_F(SciFamily, NotificationsRaiseNotifyForTheEditorsWindow)
{
    run("    sci.4.create(main)");
    ASSERT_TRUE(editors.sink);
    editors.sink(EditorNotification{4, 0, 2001, 65});
    h.drain();
    EXPECT_EQ(h.output(), "notify 0 4 2001 65\n");
    EXPECT_EQ(run("    system.message(sci.eventauthor() sci.messagereceived() sci.charreceived())"), "4200165\n");
}
