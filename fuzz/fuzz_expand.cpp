// Fuzz target: the expander on arbitrary streams, and compress-expand round trips of arbitrary data.
#include "host/Zip.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ruk::Compressor compressor;
    auto expanded = compressor.expand(std::span(data, size));
    if (expanded && size >= ruk::Compressor::HeaderSize) {
        uint64_t announced = (uint64_t(data[1]) << 24) | (uint64_t(data[2]) << 16) | (uint64_t(data[3]) << 8) | data[4];
        // The announced length is reached, overshot by at most one match.
        if (expanded->size() < announced || expanded->size() > announced + ruk::Compressor::F - 1)
            std::abort();
    }
    // Whatever the input, compressing it must come back unchanged.
    if (size > 0) {
        auto packed = compressor.compress(std::span(data, size));
        if (!packed)
            std::abort();
        auto back = compressor.expand(*packed);
        if (!back || back->size() != size || !std::equal(back->begin(), back->end(), data))
            std::abort();
    }
    return 0;
}
