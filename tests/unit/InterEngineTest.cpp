// The receiving rules of the messages between engines: text transfers, numbers, end requests.
#include "host/InterEngine.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace ruk;

namespace {

constexpr uint32_t SenderA = 0x1200007;
constexpr uint32_t SenderB = 0x1400003;

InterEngineEvent step(InterEngineState& s, uint32_t sender, uint32_t value)
{
    return apply_engine_message(s, MsgTextTransfer, sender, value);
}

// Plays a whole transfer of `text` and returns the event of its end.
InterEngineEvent transfer(InterEngineState& s, uint32_t sender, std::string_view text)
{
    step(s, sender, TransferStart);
    for (char c : text)
        step(s, sender, static_cast<unsigned char>(c));
    return step(s, sender, TransferEnd);
}

} // namespace

TEST(InterEngine, TwoLetterTransferAndEventNames)
{
    InterEngineState s;
    EXPECT_EQ(step(s, SenderA, TransferStart), InterEngineEvent::None);
    EXPECT_EQ(s.transfer_sender, SenderA);
    EXPECT_EQ(step(s, SenderA, 72), InterEngineEvent::None);
    EXPECT_EQ(step(s, SenderA, 105), InterEngineEvent::None);
    EXPECT_EQ(s.remote_handle, 0u); // not before the end
    InterEngineEvent end = step(s, SenderA, TransferEnd);
    EXPECT_EQ(end, InterEngineEvent::Received);
    EXPECT_EQ(inter_engine_event_name(end), "extern:received");
    EXPECT_EQ(s.received_text, "Hi");
    EXPECT_EQ(s.remote_handle, SenderA);
    EXPECT_EQ(s.transfer_sender, 0u);

    // A new transfer empties the old text; bytes keep only their low 8 bits.
    EXPECT_EQ(transfer(s, SenderB, ""), InterEngineEvent::Received);
    EXPECT_EQ(s.received_text, "");
    step(s, SenderA, TransferStart);
    step(s, SenderA, 0x141);           // 'A'
    step(s, SenderA, 0xFFFFFFE9u);     // -23 as a script sends a high byte
    step(s, SenderA, 0);
    EXPECT_EQ(step(s, SenderA, TransferEnd), InterEngineEvent::Received);
    EXPECT_EQ(s.received_text, std::string("A\xE9\0", 3));
}

TEST(InterEngine, MessagesOutsideATransferAreIgnored)
{
    InterEngineState s;
    s.received_text = "old";
    s.remote_handle = 5;
    EXPECT_EQ(step(s, SenderA, 'x'), InterEngineEvent::None);
    EXPECT_EQ(step(s, SenderA, TransferEnd), InterEngineEvent::None);
    EXPECT_EQ(s.received_text, "old");
    EXPECT_EQ(s.remote_handle, 5u);
    EXPECT_EQ(s.transfer_sender, 0u);

    // Characters before the start do not reach the text.
    EXPECT_EQ(transfer(s, SenderA, "ok"), InterEngineEvent::Received);
    EXPECT_EQ(s.received_text, "ok");

    // A sender without a handle cannot open a transfer: 0 means "none open".
    EXPECT_EQ(step(s, 0, TransferStart), InterEngineEvent::None);
    EXPECT_EQ(step(s, 0, 'z'), InterEngineEvent::None);
    EXPECT_EQ(step(s, 0, TransferEnd), InterEngineEvent::None);
    EXPECT_EQ(s.received_text, "ok");
}

TEST(InterEngine, SecondSenderCannotInterruptATransfer)
{
    InterEngineState s;
    step(s, SenderA, TransferStart);
    step(s, SenderA, 'a');
    EXPECT_EQ(step(s, SenderB, TransferStart), InterEngineEvent::None);
    step(s, SenderB, 'X');
    step(s, SenderA, 'b');
    EXPECT_EQ(step(s, SenderB, TransferEnd), InterEngineEvent::None);
    EXPECT_EQ(s.transfer_sender, SenderA);
    EXPECT_EQ(step(s, SenderA, TransferEnd), InterEngineEvent::Received);
    EXPECT_EQ(s.received_text, "ab");
    EXPECT_EQ(s.remote_handle, SenderA);

    // Once it is over, the other sender may start its own.
    EXPECT_EQ(transfer(s, SenderB, "B"), InterEngineEvent::Received);
    EXPECT_EQ(s.remote_handle, SenderB);
}

TEST(InterEngine, RepeatedStartFromTheSenderBeginsAgain)
{
    InterEngineState s;
    step(s, SenderA, TransferStart);
    step(s, SenderA, 'o');
    step(s, SenderA, 'l');
    step(s, SenderA, TransferStart); // the marker is not a character
    step(s, SenderA, 'n');
    EXPECT_EQ(step(s, SenderA, TransferEnd), InterEngineEvent::Received);
    EXPECT_EQ(s.received_text, "n");
}

TEST(InterEngine, LongTextIsCutOffWithoutEvent)
{
    InterEngineState s;
    s.remote_handle = 9;
    step(s, SenderA, TransferStart);
    for (size_t i = 0; i < MaxReceivedText; ++i)
        ASSERT_EQ(step(s, SenderA, 'a' + i % 26), InterEngineEvent::None);
    EXPECT_EQ(s.received_text.size(), MaxReceivedText);
    EXPECT_EQ(s.transfer_sender, SenderA); // exactly full: still open
    EXPECT_EQ(s.remote_handle, 9u);

    // The next character closes the transfer and is dropped.
    EXPECT_EQ(step(s, SenderA, 'z'), InterEngineEvent::None);
    EXPECT_EQ(s.transfer_sender, 0u);
    EXPECT_EQ(s.remote_handle, SenderA);
    EXPECT_EQ(s.received_text.size(), MaxReceivedText);
    EXPECT_EQ(s.received_text.back(), static_cast<char>('a' + (MaxReceivedText - 1) % 26));
    // Its end then finds no open transfer.
    EXPECT_EQ(step(s, SenderA, 'y'), InterEngineEvent::None);
    EXPECT_EQ(step(s, SenderA, TransferEnd), InterEngineEvent::None);
    EXPECT_EQ(s.received_text.size(), MaxReceivedText);

    // A text of exactly the limit still arrives with its event.
    EXPECT_EQ(transfer(s, SenderB, std::string(MaxReceivedText, 'q')), InterEngineEvent::Received);
    EXPECT_EQ(s.remote_handle, SenderB);
}

TEST(InterEngine, NumbersEndRequestAndOtherMessages)
{
    InterEngineState s;
    PackedNumbers p = pack_numbers(1, 2, 3, 70000);
    InterEngineEvent event = apply_engine_message(s, MsgNumbers, p.wparam, p.lparam);
    EXPECT_EQ(event, InterEngineEvent::ReceivedNum);
    EXPECT_EQ(inter_engine_event_name(event), "extern:received:num");
    EXPECT_EQ(s.received_numbers, (std::array<uint16_t, 4>{1, 2, 3, 4464}));

    p = pack_numbers(-1, 65536, 0x12345, -65536);
    EXPECT_EQ(p.wparam, 0x0000FFFFu);
    EXPECT_EQ(p.lparam, 0x00002345u);
    apply_engine_message(s, MsgNumbers, 0xBEEF0001u, 0x8000FFFFu);
    EXPECT_EQ(s.received_numbers, (std::array<uint16_t, 4>{1, 0xBEEF, 0xFFFF, 0x8000}));

    // Numbers and other messages leave an open transfer alone.
    step(s, SenderA, TransferStart);
    step(s, SenderA, 'k');
    EXPECT_EQ(apply_engine_message(s, MsgEndRequest, 0, 0), InterEngineEvent::EndRequest);
    EXPECT_FALSE(inter_engine_event_name(InterEngineEvent::EndRequest));
    EXPECT_EQ(apply_engine_message(s, MsgStatusIcon, SenderA, TransferEnd), InterEngineEvent::None);
    EXPECT_EQ(apply_engine_message(s, MsgAppBar, 1, 0), InterEngineEvent::None);
    EXPECT_EQ(apply_engine_message(s, WmApp, SenderA, TransferEnd), InterEngineEvent::None);
    EXPECT_EQ(s.transfer_sender, SenderA);
    EXPECT_EQ(step(s, SenderA, TransferEnd), InterEngineEvent::Received);
    EXPECT_EQ(s.received_text, "k");
}
