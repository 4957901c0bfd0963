// Compressor throughput: compress and expand of 10 MB of text-like and of random bytes, in MB/s.
#include "bench/BestTime.h"
#include "host/Zip.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using ruk::bench::best_seconds;

constexpr size_t DataSize = 10u * 1024u * 1024u;

// Deterministic generator (xorshift), so every run measures the same bytes.
struct XorShift {
    uint64_t state;
    uint64_t next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
};

// Prose-like text in the style of the compressor's text vector: sentences
// of three to ten words drawn evenly from a vocabulary of fifty words, with
// capitals, punctuation and line breaks.
ruk::Bytes make_text()
{
    XorShift rng {0x9E3779B97F4A7C15ull};
    static const char* const words[] = {"false", "window", "on", "open", "move", "not", "from", "hide", "to", "string",
        "engine", "true", "for", "event", "timer", "else", "key", "number", "and", "colour", "size", "data", "is",
        "list", "show", "the", "set", "end", "or", "script", "draw", "then", "stop", "file", "point", "get", "when",
        "start", "shape", "of", "in", "close", "mouse", "value", "package", "with", "text", "line", "a", "picture"};
    constexpr size_t word_count = sizeof words / sizeof words[0];
    static const char marks[] = {'.', '.', '.', '!', '?'};
    ruk::Bytes out;
    out.reserve(DataSize + 128);
    while (out.size() < DataSize) {
        int length = 3 + static_cast<int>(rng.next() % 8);
        for (int i = 0; i < length; ++i) {
            std::string w = words[rng.next() % word_count];
            if (i == 0)
                w[0] = static_cast<char>(w[0] - 'a' + 'A');
            out.insert(out.end(), w.begin(), w.end());
            if (i + 1 < length)
                out.push_back(' ');
        }
        out.push_back(static_cast<uint8_t>(marks[rng.next() % 5]));
        out.push_back(rng.next() % 4 == 0 ? '\n' : ' ');
    }
    out.resize(DataSize);
    return out;
}

ruk::Bytes make_random()
{
    XorShift rng {0x2545F4914F6CDD1Dull};
    ruk::Bytes out(DataSize);
    for (auto& b : out)
        b = static_cast<uint8_t>(rng.next() >> 56);
    return out;
}

// Measures one kind of data; returns false when the round trip fails.
bool measure(const char* name, const ruk::Bytes& data, int runs)
{
    ruk::Compressor compressor;
    std::optional<ruk::Bytes> packed;
    double compress_s = best_seconds(runs, [&] { packed = compressor.compress(data); });
    if (!packed) {
        std::fprintf(stderr, "%s: compression failed\n", name);
        return false;
    }
    std::optional<ruk::Bytes> back;
    double expand_s = best_seconds(runs, [&] { back = compressor.expand(*packed); });
    if (!back || *back != data) {
        std::fprintf(stderr, "%s: round trip failed\n", name);
        return false;
    }
    double mb = static_cast<double>(data.size()) / 1e6;
    std::printf("%-6s compress %7.1f MB/s   expand %7.1f MB/s   (ratio %.3f)\n", name, mb / compress_s, mb / expand_s,
        static_cast<double>(packed->size()) / static_cast<double>(data.size()));
    return true;
}

} // namespace

// Usage: bench_zip [RUNS]   (best of RUNS timings, default 3)
int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    bool ok = measure("text", make_text(), runs);
    ok = measure("random", make_random(), runs) && ok;
    return ok ? 0 : 1;
}
