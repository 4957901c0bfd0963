// The engine's own compressor: LZSS dictionary coding with an adaptive Huffman code, in the engine's stream format.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ruk {

using Bytes = std::vector<uint8_t>;

// A compressed stream is the marker byte 0x1F, the length of the plain data
// as an unsigned 32-bit big-endian number, then the code bits packed from the
// most significant bit down (the last byte padded with zero bits).
//
// The coder keeps a ring buffer of N bytes (plus F - 1 mirror bytes behind
// it, so that a comparison may run past the end without wrapping). Every run
// starts from the same state: positions 0 to N - F - 1 hold blanks, the rest
// of the ring and the mirror bytes hold zero bytes, the first input byte goes
// to position N - F, the Huffman model holds every symbol with frequency one
// and the bit accumulators are empty. The encoder keeps one binary search tree
// per first byte over the F-byte strings starting at ring positions; the
// decoder needs only the ring. Both sides update the same adaptive model
// after every symbol, so each symbol's code depends on everything sent before.
//
// One object owns its tables (allocated once, at construction); a run never
// allocates per symbol. An object runs one operation at a time.
class Compressor {
public:
    static constexpr int N = 4096;            // ring size; positions are 12 bits
    static constexpr int F = 15;              // look-ahead and longest match
    static constexpr int THRESHOLD = 2;       // matches this short are sent as literals
    static constexpr int N_CHAR = 256 - THRESHOLD + F; // 256 literals + match lengths 3..15
    static constexpr int T = 2 * N_CHAR - 1;  // nodes of the Huffman tree
    static constexpr int R = T - 1;           // its root
    static constexpr unsigned MAX_FREQ = 0x8000;
    static constexpr int NIL = N;             // no node in the search trees
    static constexpr uint8_t Marker = 0x1F;
    static constexpr size_t HeaderSize = 5;

    Compressor();
    ~Compressor();
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    // Compresses `data` into a whole stream. Refuses empty input and input of
    // 4 GiB or more (the length field would not hold it).
    std::optional<Bytes> compress(std::span<const uint8_t> data);

    // Expands a whole stream. Refuses a stream shorter than its header, a
    // wrong marker, a zero length, and a stream whose code bits end before
    // the announced length is reached (truncated or forged input). A match
    // that runs past the announced length is kept whole, as the format has
    // always done.
    std::optional<Bytes> expand(std::span<const uint8_t> stream);

    // File forms. Both return false without touching `dst` when `src` cannot
    // be opened, and false when `dst` cannot be created. compress_file of an
    // empty source leaves only the 5-byte header in `dst` and returns false.
    // expand_file leaves `dst` existing and empty whenever it fails after
    // creating it (wrong marker, zero length, short or truncated stream,
    // write error), so a failed expansion never looks like a complete file.
    bool compress_file(const std::string& src, const std::string& dst);
    bool expand_file(const std::string& src, const std::string& dst);
    // Expands the stream read from `in_fd` to its end into `out_fd`, both
    // opened by the caller (who also closes them).
    bool expand_descriptor(int in_fd, int out_fd);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace ruk
