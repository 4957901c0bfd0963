// The engine's own compressor: stream format, adaptive Huffman model, match search and the file forms.
#include "host/Zip.h"

#include "host/ByteSink.h"
#include "host/ByteSource.h"
#include "host/FileDescriptor.h"
#include "host/FileIo.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace ruk {

namespace {

// Eight ring bytes as a number whose most significant byte is the first,
// so that comparing numbers compares the bytes in order.
uint64_t load_be64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::little)
        v = __builtin_bswap64(v);
    return v;
}

// Bytes 1 to 14 of a ring string as two numbers (bytes 1-8 and 9-14, the
// latter with its two low bytes cleared), so the match search compares
// eight bytes at a time. Reads up to byte 16 of the string.
struct TailKey {
    uint64_t head;
    uint64_t tail;
    explicit TailKey(const uint8_t* s) : head(load_be64(s + 1)), tail(load_be64(s + 9) & ~0xFFFFull) {}
};

// The fixed code for the upper 6 bits of a match position: codes are handed
// out in increasing order, left-aligned in 8 bits, 3 bits for value 0, then
// 4, 5, 6, 7 and 8 bits for the ranges 1-3, 4-11, 12-23, 24-47 and 48-63.
struct PositionTables {
    std::array<uint8_t, 64> code {};
    std::array<uint8_t, 64> length {};
    std::array<uint8_t, 256> value_of_window {};  // decoder: value for each 8-bit window
    std::array<uint8_t, 256> length_of_window {}; // decoder: code length for each 8-bit window
};

constexpr int position_code_length(int value)
{
    if (value < 1)
        return 3;
    if (value < 4)
        return 4;
    if (value < 12)
        return 5;
    if (value < 24)
        return 6;
    if (value < 48)
        return 7;
    return 8;
}

constexpr PositionTables make_position_tables()
{
    PositionTables t;
    unsigned next = 0;
    for (int v = 0; v < 64; ++v) {
        int len = position_code_length(v);
        t.code[v] = static_cast<uint8_t>(next);
        t.length[v] = static_cast<uint8_t>(len);
        unsigned span = 1u << (8 - len);
        for (unsigned w = next; w < next + span; ++w) {
            t.value_of_window[w] = static_cast<uint8_t>(v);
            t.length_of_window[w] = static_cast<uint8_t>(len);
        }
        next += span;
    }
    return t;
}

constexpr PositionTables position_tables = make_position_tables();
static_assert(position_tables.code[1] == 0x20 && position_tables.code[4] == 0x50);
static_assert(position_tables.code[12] == 0x90 && position_tables.code[24] == 0xC0);
static_assert(position_tables.code[48] == 0xF0 && position_tables.code[63] == 0xFF);


void put_header(ByteSink& out, uint32_t length)
{
    out.put(Compressor::Marker);
    out.put(static_cast<uint8_t>(length >> 24));
    out.put(static_cast<uint8_t>(length >> 16));
    out.put(static_cast<uint8_t>(length >> 8));
    out.put(static_cast<uint8_t>(length));
}

int open_read(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True when `dst` already names the very file open as `src_fd`: truncating
// it would destroy the input before it is read.
bool same_file(int src_fd, const std::string& dst)
{
    struct stat a {}, b {};
    return ::fstat(src_fd, &a) == 0 && ::stat(dst.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int open_write(const std::string& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

} // namespace

struct Compressor::State {
    // Ring buffer plus the F - 1 mirror bytes behind it; the bytes after the
    // mirror are never written and only let the comparison read whole words.
    uint8_t text[N + 32];
    // Search trees (encoder): children and parent per ring position; the
    // roots hang as right children of the pseudo-nodes N + 1 .. N + 256.
    // Children are interleaved (left at 2p, right at 2p + 1) so that the
    // search picks a side by index instead of by branch.
    int kid[2 * (N + 257)];
    int parent[N + 1];
    int& left(int p) { return kid[2 * p]; }
    int& right(int p) { return kid[2 * p + 1]; }
    int match_position = 0;
    int match_length = 0;

    // Huffman model: node frequencies (with the sentinel at T), child index
    // per node (a leaf holds symbol + T), parent per node and per leaf
    // (the leaves' parents at symbol + T). The slots after the sentinel
    // repeat it, so the forward scan may read eight frequencies at a time.
    uint16_t freq[T + 1 + 8];
    int son[T];
    int prnt[T + N_CHAR];

    // Encoder bit output: 16-bit accumulator, pending bit count.
    unsigned put_buffer = 0;
    int put_length = 0;

    // Decoder bit input: bits left-aligned in 64 bits; `pad_bits` counts the
    // zero bits loaded after the input ended. Those are always the newest
    // bits, so the decoder has read past the end exactly when more padding
    // was loaded than is still waiting in the accumulator.
    uint64_t get_buffer = 0;
    int get_count = 0;
    uint64_t pad_bits = 0;

    uint8_t in_buffer[IoBufferSize];
    uint8_t out_buffer[IoBufferSize];

    void reset_ring()
    {
        std::memset(text, 0, sizeof text);
        std::memset(text, ' ', N - F);
    }

    // ---- Huffman model ----

    void start_model()
    {
        for (int i = 0; i < N_CHAR; ++i) {
            freq[i] = 1;
            son[i] = i + T;
            prnt[i + T] = i;
        }
        for (int i = 0, j = N_CHAR; j <= R; i += 2, ++j) {
            freq[j] = static_cast<uint16_t>(freq[i] + freq[i + 1]);
            son[j] = i;
            prnt[i] = prnt[i + 1] = j;
        }
        for (int i = T; i < T + 1 + 8; ++i)
            freq[i] = 0xFFFF;
        prnt[R] = 0;
    }

    // Halves every leaf frequency (rounding up) and builds the internal
    // nodes again in frequency order; called when the root reaches MAX_FREQ.
    void rebuild_model()
    {
        int j = 0;
        for (int i = 0; i < T; ++i) {
            if (son[i] >= T) {
                freq[j] = static_cast<uint16_t>((freq[i] + 1) / 2);
                son[j] = son[i];
                ++j;
            }
        }
        for (int i = 0, node = N_CHAR; node < T; i += 2, ++node) {
            unsigned f = static_cast<unsigned>(freq[i]) + freq[i + 1];
            freq[node] = static_cast<uint16_t>(f);
            int k = node - 1;
            while (f < freq[k])
                --k;
            ++k;
            std::memmove(&freq[k + 1], &freq[k], sizeof freq[0] * static_cast<size_t>(node - k));
            freq[k] = static_cast<uint16_t>(f);
            std::memmove(&son[k + 1], &son[k], sizeof son[0] * static_cast<size_t>(node - k));
            son[k] = i;
        }
        for (int i = 0; i < T; ++i) {
            int k = son[i];
            if (k >= T)
                prnt[k] = i;
            else
                prnt[k] = prnt[k + 1] = i;
        }
    }

    // The last node from `from` on whose frequency is below k. The sentinel
    // (0xFFFF, never reached by a node) ends the scan.
    int last_below(int from, unsigned k) const
    {
#ifdef __SSE2__
        const __m128i key = _mm_set1_epi16(static_cast<short>(k));
        for (int l = from;; l += 8) {
            __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&freq[l]));
            // k - f saturates to zero exactly where f >= k.
            __m128i stop = _mm_cmpeq_epi16(_mm_subs_epu16(key, f), _mm_setzero_si128());
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(stop));
            if (mask)
                return l + (std::countr_zero(mask) >> 1) - 1;
        }
#else
        int l = from;
        while (k > freq[l])
            ++l;
        return l - 1;
#endif
    }

    // Counts one more occurrence of symbol `c`, keeping the nodes ordered by
    // frequency by swapping a node that grew past its successors with the
    // last node of smaller frequency.
    void update_model(int c)
    {
        if (freq[R] == MAX_FREQ)
            rebuild_model();
        c = prnt[c + T];
        do {
            unsigned k = ++freq[c];
            int l = c + 1;
            if (k > freq[l]) {
                l = last_below(l + 1, k);
                freq[c] = freq[l];
                freq[l] = static_cast<uint16_t>(k);

                int i = son[c];
                prnt[i] = l;
                if (i < T)
                    prnt[i + 1] = l;
                int j = son[l];
                son[l] = i;
                prnt[j] = c;
                if (j < T)
                    prnt[j + 1] = c;
                son[c] = j;
                c = l;
            }
            c = prnt[c];
        } while (c != 0);
    }

    // ---- encoder ----

    // Appends `length` bits held left-aligned in the 16-bit `code`. At most
    // two bytes leave per call; a code longer than 16 bits (which real data
    // does not produce) loses its tail, as streams have always been written.
    void put_code(ByteSink& out, int length, unsigned code)
    {
        put_buffer = (put_buffer | (code >> put_length)) & 0xFFFF;
        put_length += length;
        if (put_length >= 8) {
            out.put(static_cast<uint8_t>(put_buffer >> 8));
            put_length -= 8;
            if (put_length >= 8) {
                out.put(static_cast<uint8_t>(put_buffer));
                put_length -= 8;
                put_buffer = (code << (length - put_length)) & 0xFFFF;
            } else {
                put_buffer = (put_buffer << 8) & 0xFFFF;
            }
        }
    }

    void encode_symbol(ByteSink& out, int c)
    {
        unsigned code = 0;
        int length = 0;
        int k = prnt[c + T];
        do {
            code >>= 1;
            if (k & 1)
                code += 0x8000;
            ++length;
            k = prnt[k];
        } while (k != R);
        put_code(out, length, code);
        update_model(c);
    }

    void encode_position(ByteSink& out, int position)
    {
        int high = position >> 6;
        put_code(out, position_tables.length[high], static_cast<unsigned>(position_tables.code[high]) << 8);
        put_code(out, 6, static_cast<unsigned>(position & 0x3F) << 10);
    }

    void start_trees()
    {
        std::fill(std::begin(kid), std::end(kid), NIL);
        std::fill(std::begin(parent), std::end(parent), NIL);
    }

    // Inserts the string at ring position r into its tree and leaves the
    // longest match found on the way (and the nearest position among equal
    // lengths) in match_length / match_position; matches of THRESHOLD bytes
    // or fewer do not count. A full-length match takes the old node's place,
    // since the newer position is always preferable.
    //
    // The best match is kept as one score, length above the inverted
    // distance, so that "longer, or as long and nearer" is a single maximum
    // and the search loop runs without unpredictable branches.
    void insert_node(int r)
    {
        const TailKey key(&text[r]);
        int p = N + 1 + text[r];
        right(r) = left(r) = NIL;
        int best = 0;
        bool found_all = false;
        // The first step from the root always goes right.
        if (right(p) == NIL) {
            right(p) = r;
            parent[r] = p;
        } else {
            p = right(p);
            for (;;) {
                // Both children are fetched before the comparison decides
                // between them, which keeps the loop's dependency chain short.
                const TailKey other(&text[p]);
                int left_child = left(p);
                int right_child = right(p);
                uint64_t head_diff = key.head ^ other.head;
                uint64_t tail_diff = key.tail ^ other.tail;
                int i = head_diff ? 1 + (std::countl_zero(head_diff) >> 3)
                                  : tail_diff ? 9 + (std::countl_zero(tail_diff) >> 3) : F;
                bool greater_or_equal = head_diff ? key.head > other.head : key.tail >= other.tail;
                int distance = ((r - p) & (N - 1)) - 1;
                int score = -static_cast<int>(i > THRESHOLD) & ((i << 13) | (N - distance));
                best = std::max(score, best);
                if (i >= F) {
                    found_all = true;
                    break;
                }
                int next = __builtin_expect_with_probability(greater_or_equal, true, 0.5) ? right_child : left_child;
                if (next == NIL) {
                    kid[2 * p + greater_or_equal] = r;
                    parent[r] = p;
                    break;
                }
                p = next;
            }
        }
        match_length = best >> 13;
        if (best)
            match_position = N - (best & 0x1FFF);
        if (!found_all)
            return;
        parent[r] = parent[p];
        left(r) = left(p);
        right(r) = right(p);
        parent[left(p)] = r;
        parent[right(p)] = r;
        if (right(parent[p]) == p)
            right(parent[p]) = r;
        else
            left(parent[p]) = r;
        parent[p] = NIL;
    }

    void delete_node(int p)
    {
        if (parent[p] == NIL)
            return;
        int q;
        if (right(p) == NIL) {
            q = left(p);
        } else if (left(p) == NIL) {
            q = right(p);
        } else {
            q = left(p);
            if (right(q) != NIL) {
                do {
                    q = right(q);
                } while (right(q) != NIL);
                right(parent[q]) = left(q);
                parent[left(q)] = parent[q];
                left(q) = left(p);
                parent[left(p)] = q;
            }
            right(q) = right(p);
            parent[right(p)] = q;
        }
        parent[q] = parent[p];
        if (right(parent[p]) == p)
            right(parent[p]) = q;
        else
            left(parent[p]) = q;
        parent[p] = NIL;
    }

    // Writes the whole stream for `length` bytes taken from `in`. Returns
    // false for an empty source (after the header), when the source yields
    // fewer bytes than announced, or on a read or write error.
    bool encode(ByteSource& in, uint32_t length, ByteSink& out)
    {
        put_buffer = 0;
        put_length = 0;
        put_header(out, length);
        if (length == 0) {
            out.flush();
            return false;
        }
        start_model();
        start_trees();
        reset_ring();
        int s = 0;
        int r = N - F;
        int len = 0;
        uint64_t taken = 0;
        for (int c; len < F && (c = in.get()) >= 0; ++len)
            text[r + len] = static_cast<uint8_t>(c);
        taken += static_cast<uint64_t>(len);
        if (len == 0) {
            out.flush();
            return false;
        }
        for (int i = 1; i <= F; ++i)
            insert_node(r - i);
        insert_node(r);
        do {
            if (match_length > len)
                match_length = len;
            if (match_length <= THRESHOLD) {
                match_length = 1;
                encode_symbol(out, text[r]);
            } else {
                encode_symbol(out, 255 - THRESHOLD + match_length);
                encode_position(out, match_position);
            }
            int last_match_length = match_length;
            int i = 0;
            for (int c; i < last_match_length && (c = in.get()) >= 0; ++i) {
                delete_node(s);
                text[s] = static_cast<uint8_t>(c);
                if (s < F - 1)
                    text[s + N] = static_cast<uint8_t>(c);
                s = (s + 1) & (N - 1);
                r = (r + 1) & (N - 1);
                insert_node(r);
            }
            taken += static_cast<uint64_t>(i);
            while (i++ < last_match_length) {
                delete_node(s);
                s = (s + 1) & (N - 1);
                r = (r + 1) & (N - 1);
                if (--len)
                    insert_node(r);
            }
        } while (len > 0);
        if (put_length)
            out.put(static_cast<uint8_t>(put_buffer >> 8));
        bool written = out.flush();
        return written && !in.failed() && taken == length;
    }

    // ---- decoder ----

    void fill_bits(ByteSource& in)
    {
        while (get_count <= 56) {
            int c = in.get();
            if (c < 0) {
                c = 0;
                pad_bits += 8;
            }
            get_buffer |= static_cast<uint64_t>(c) << (56 - get_count);
            get_count += 8;
        }
    }

    unsigned get_bit(ByteSource& in)
    {
        if (get_count == 0)
            fill_bits(in);
        unsigned bit = static_cast<unsigned>(get_buffer >> 63);
        get_buffer <<= 1;
        --get_count;
        return bit;
    }

    unsigned get_bits(ByteSource& in, int count)
    {
        if (count == 0)
            return 0;
        if (get_count < count)
            fill_bits(in);
        unsigned bits = static_cast<unsigned>(get_buffer >> (64 - count));
        get_buffer <<= count;
        get_count -= count;
        return bits;
    }

    bool read_past_end() const { return pad_bits > static_cast<uint64_t>(get_count); }

    int decode_symbol(ByteSource& in)
    {
        if (get_count < 32)
            fill_bits(in);
        int c = son[R];
        while (c < T)
            c = son[c + static_cast<int>(get_bit(in))];
        c -= T;
        update_model(c);
        return c;
    }

    int decode_position(ByteSource& in)
    {
        unsigned window = get_bits(in, 8);
        int high = position_tables.value_of_window[window];
        int extra = position_tables.length_of_window[window] - 2;
        unsigned low = (window << extra) | get_bits(in, extra);
        return (high << 6) | static_cast<int>(low & 0x3F);
    }

    // Expands one stream from `in` into `out`. Fails on a short header, a
    // wrong marker, a zero length, a read or write error, and as soon as a
    // symbol needed bits beyond the end of the input.
    bool decode(ByteSource& in, ByteSink& out)
    {
        uint8_t header[HeaderSize];
        for (auto& b : header) {
            int c = in.get();
            if (c < 0)
                return false;
            b = static_cast<uint8_t>(c);
        }
        uint32_t length = (uint32_t(header[1]) << 24) | (uint32_t(header[2]) << 16) | (uint32_t(header[3]) << 8) | header[4];
        if (header[0] != Marker || length == 0)
            return false;
        get_buffer = 0;
        get_count = 0;
        pad_bits = 0;
        start_model();
        reset_ring();
        int r = N - F;
        uint64_t count = 0;
        while (count < length) {
            int c = decode_symbol(in);
            if (c < 256) {
                if (read_past_end())
                    return false;
                out.put(static_cast<uint8_t>(c));
                text[r] = static_cast<uint8_t>(c);
                r = (r + 1) & (N - 1);
                ++count;
            } else {
                int from = (r - decode_position(in) - 1) & (N - 1);
                if (read_past_end())
                    return false;
                int n = c - 255 + THRESHOLD;
                for (int k = 0; k < n; ++k) {
                    uint8_t b = text[(from + k) & (N - 1)];
                    out.put(b);
                    text[r] = b;
                    r = (r + 1) & (N - 1);
                }
                count += static_cast<uint64_t>(n);
            }
        }
        return out.flush() && !in.failed();
    }
};

Compressor::Compressor() : m_state(std::make_unique<State>()) {}
Compressor::~Compressor() = default;

std::optional<Bytes> Compressor::compress(std::span<const uint8_t> data)
{
    if (data.empty() || data.size() > UINT32_MAX)
        return std::nullopt;
    Bytes out;
    out.reserve(data.size() / 2 + 64);
    ByteSource in(data);
    ByteSink sink(out, m_state->out_buffer);
    if (!m_state->encode(in, static_cast<uint32_t>(data.size()), sink))
        return std::nullopt;
    return out;
}

std::optional<Bytes> Compressor::expand(std::span<const uint8_t> stream)
{
    Bytes out;
    if (stream.size() >= HeaderSize) {
        // Reserve what the header announces, but never more than the input
        // could plausibly produce: a forged length must not allocate gigabytes.
        uint64_t announced = (uint64_t(stream[1]) << 24) | (uint64_t(stream[2]) << 16) | (uint64_t(stream[3]) << 8) | stream[4];
        uint64_t plausible = uint64_t(stream.size()) * 16 + 64;
        out.reserve(static_cast<size_t>(announced < plausible ? announced : plausible));
    }
    ByteSource in(stream);
    ByteSink sink(out, m_state->out_buffer);
    if (!m_state->decode(in, sink))
        return std::nullopt;
    return out;
}

bool Compressor::compress_file(const std::string& src, const std::string& dst)
{
    FileDescriptor in_fd(open_read(src));
    if (!in_fd)
        return false;
    struct stat st {};
    Bytes slurped;
    uint64_t size = 0;
    bool regular = ::fstat(in_fd.get(), &st) == 0 && S_ISREG(st.st_mode);
    if (regular) {
        size = static_cast<uint64_t>(st.st_size);
    } else {
        // A pipe or device: its length is only known once it has been read.
        ByteSource all(in_fd.get(), m_state->in_buffer, UINT64_MAX);
        for (int c; slurped.size() <= UINT32_MAX && (c = all.get()) >= 0;)
            slurped.push_back(static_cast<uint8_t>(c));
        size = slurped.size();
    }
    if (size > UINT32_MAX || same_file(in_fd.get(), dst))
        return false;
    FileDescriptor out_fd(open_write(dst));
    if (!out_fd)
        return false;
    ByteSink sink(out_fd.get(), m_state->out_buffer);
    bool ok;
    if (regular) {
        ByteSource in(in_fd.get(), m_state->in_buffer, size);
        ok = m_state->encode(in, static_cast<uint32_t>(size), sink);
    } else {
        ByteSource in(slurped);
        ok = m_state->encode(in, static_cast<uint32_t>(size), sink);
    }
    return ::close(out_fd.release()) == 0 && ok;
}

bool Compressor::expand_descriptor(int in_fd, int out_fd)
{
    ByteSource in(in_fd, m_state->in_buffer, UINT64_MAX);
    ByteSink sink(out_fd, m_state->out_buffer);
    return m_state->decode(in, sink);
}

bool Compressor::expand_file(const std::string& src, const std::string& dst)
{
    FileDescriptor in_fd(open_read(src));
    if (!in_fd || same_file(in_fd.get(), dst))
        return false;
    FileDescriptor out_fd(open_write(dst));
    if (!out_fd)
        return false;
    bool ok = expand_descriptor(in_fd.get(), out_fd.get());
    if (!ok && ::ftruncate(out_fd.get(), 0) != 0)
        ok = false;
    return ::close(out_fd.release()) == 0 && ok;
}

} // namespace ruk
