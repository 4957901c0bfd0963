// The receiving side of the messages engines send each other.
#include "host/InterEngine.h"

namespace ruk {

namespace {

InterEngineEvent apply_transfer_step(InterEngineState& state, uint32_t sender, uint32_t value)
{
    if (state.transfer_sender == 0) {
        if (value != static_cast<uint32_t>(TransferStart) || sender == 0)
            return InterEngineEvent::None;
        state.transfer_sender = sender;
        state.received_text.clear();
        return InterEngineEvent::None;
    }
    if (sender != state.transfer_sender)
        return InterEngineEvent::None;
    if (value == static_cast<uint32_t>(TransferStart)) {
        state.received_text.clear();
        return InterEngineEvent::None;
    }
    if (value == static_cast<uint32_t>(TransferEnd)) {
        state.remote_handle = sender;
        state.transfer_sender = 0;
        return InterEngineEvent::Received;
    }
    if (state.received_text.size() >= MaxReceivedText) {
        state.remote_handle = sender;
        state.transfer_sender = 0;
        return InterEngineEvent::None;
    }
    state.received_text.push_back(static_cast<char>(value & 0xFF));
    return InterEngineEvent::None;
}

} // namespace

InterEngineEvent apply_engine_message(InterEngineState& state, uint32_t message, uint32_t wparam, uint32_t lparam)
{
    switch (message) {
    case MsgTextTransfer:
        return apply_transfer_step(state, wparam, lparam);
    case MsgNumbers:
        state.received_numbers[0] = static_cast<uint16_t>(wparam & 0xFFFF);
        state.received_numbers[1] = static_cast<uint16_t>(wparam >> 16);
        state.received_numbers[2] = static_cast<uint16_t>(lparam & 0xFFFF);
        state.received_numbers[3] = static_cast<uint16_t>(lparam >> 16);
        return InterEngineEvent::ReceivedNum;
    case MsgEndRequest:
        return InterEngineEvent::EndRequest;
    default:
        return InterEngineEvent::None;
    }
}

std::optional<std::string_view> inter_engine_event_name(InterEngineEvent event)
{
    switch (event) {
    case InterEngineEvent::Received:
        return "extern:received";
    case InterEngineEvent::ReceivedNum:
        return "extern:received:num";
    case InterEngineEvent::None:
    case InterEngineEvent::EndRequest:
        break;
    }
    return std::nullopt;
}

PackedNumbers pack_numbers(int32_t n0, int32_t n1, int32_t n2, int32_t n3)
{
    auto low = [](int32_t n) { return static_cast<uint32_t>(n) & 0xFFFFu; };
    return {low(n0) | (low(n1) << 16), low(n2) | (low(n3) << 16)};
}

} // namespace ruk
