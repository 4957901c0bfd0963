// The receiving side of the messages engines send each other: text transfers, four numbers, end requests.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "host/HostState.h"

namespace ruk {

// What the engine window must do after a message from another engine.
enum class InterEngineEvent {
    None,        // nothing to raise
    Received,    // a text transfer is complete: raise "extern:received"
    ReceivedNum, // four numbers arrived: raise "extern:received:num"
    EndRequest,  // destroy the engine window and leave the message loop
};

// The receiving rules, applied to one message (number, word parameter, long
// parameter) addressed to the engine window. Only the text transfer, the end
// request and the number message are taken; every other message number
// changes nothing and gives None.
//
// Text transfer. At most one transfer is open; `transfer_sender` names its
// sender and is 0 while none is open, so a sender whose handle is 0 can never
// open one. A start (65000) from anyone opens a transfer when none is open and
// empties the received text; a repeated start from the open transfer's own
// sender begins its text again rather than storing the marker as a character.
// While a transfer is open, messages of any other sender are ignored. From the
// sender, the end (66000) closes it, records the sender as remote handle and
// asks for Received; any other value appends its low 8 bits, unless the text
// already holds MaxReceivedText characters: then the transfer closes at once,
// the sender still becomes the remote handle, the character is dropped and no
// event is asked for. Characters and ends while no transfer is open are ignored.
InterEngineEvent apply_engine_message(InterEngineState& state, uint32_t message, uint32_t wparam, uint32_t lparam);

// The script event an answer asks for; nothing for None and EndRequest.
std::optional<std::string_view> inter_engine_event_name(InterEngineEvent event);

// The word and long parameters of a number message carrying the low 16 bits of
// each of the four numbers (number 0 in the low half of the word parameter).
struct PackedNumbers {
    uint32_t wparam;
    uint32_t lparam;
};
PackedNumbers pack_numbers(int32_t n0, int32_t n1, int32_t n2, int32_t n3);

} // namespace ruk
