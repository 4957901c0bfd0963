// Engine-wide values that start-up and the event sources fill and the families read.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace ruk {

// The engine's version, as scripts and start-up messages show it.
inline constexpr const char* EngineVersion = "304";

// The largest width or height, in pixels, of a window or a bitmap a script
// may ask for: 16384 x 16384 at 4 bytes a pixel is already 1 GiB. Larger
// sizes are script errors, never allocations.
inline constexpr int MaxSurfaceSide = 16384;
inline constexpr const char* MsgSurfaceTooLarge = "The size is too large (at most 16384 pixels a side).";

// Message numbers between engines, relative to the first application message.
inline constexpr uint32_t WmApp = 0x8000;
inline constexpr uint32_t MsgTextTransfer = WmApp + 1;
inline constexpr uint32_t MsgStatusIcon = WmApp + 2;
inline constexpr uint32_t MsgAppBar = WmApp + 3;
inline constexpr uint32_t MsgEndRequest = WmApp + 4;
inline constexpr uint32_t MsgNumbers = WmApp + 5;
inline constexpr int32_t TransferStart = 65000;
inline constexpr int32_t TransferEnd = 66000;
inline constexpr size_t MaxReceivedText = 65000;

// What other engines sent: the text of the last completed transfer and the
// four numbers of the last number message. One transfer is open at a time;
// characters from any other sender are ignored while it is.
struct InterEngineState {
    std::string received_text;
    uint32_t transfer_sender = 0; // 0 when no transfer is open
    uint32_t remote_handle = 0;
    std::array<uint16_t, 4> received_numbers{};
};

struct HostState {
    // Start-up.
    std::string package_path;       // as given on the command line
    std::string package_name;       // file name without folder and extension
    std::vector<std::string> arguments; // argument 1 is the package path, then the package's own
    std::string running_family_id;
    std::string object_version;
    std::chrono::steady_clock::time_point start_time = std::chrono::steady_clock::now();
    bool hidden = false;            // never show the engine window
    bool show_in_taskbar = false;
    bool headless = false;

    // Event sources.
    bool cancel_close = false;      // set by scripts to keep a window or the engine
    bool continuous_idle = false;   // "booster": idle passes run without waiting
    int last_global_key = 0;
    std::string title;              // the application title

    // Input families and the engine window.
    uint32_t gesture_value = 0;     // the last gesture or touch message any engine window received
    int32_t gesture_cancel = 0;     // set by scripts: the next such message is marked handled
    bool finger_driven = false;     // a drag follows the pointer at once
    int32_t right_click_mode = 0;   // read by the embedded browsers

    InterEngineState inter_engine;
    uint32_t engine_window_handle = 0; // the X11 window id of window 0, 0 headless
};

} // namespace ruk
