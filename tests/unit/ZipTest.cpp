// The compressor: the stream vectors both ways, file semantics, truncated and forged streams, state reset.
#include "host/Zip.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

using namespace ruk;
namespace fs = std::filesystem;

namespace {

const char* const vector_names[] = {"a", "short15", "blanks5", "blanks20", "blanks100", "text300", "allbytes",
    "exact4096", "text", "random", "farrepeat", "longrun", "mixed"};

Bytes read_bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        ADD_FAILURE() << "cannot read " << path;
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const fs::path& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

fs::path vector_path(const std::string& name) { return fs::path(RUK_TESTDATA_DIR) / "lzhuf" / name; }

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "ruk-zip-test-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(m_path); }
    fs::path operator/(const std::string& name) const { return m_path / name; }

private:
    fs::path m_path;
};

} // namespace

TEST(ZipVectors, CompressEveryVectorByteForByte)
{
    Compressor c;
    for (const char* name : vector_names) {
        SCOPED_TRACE(name);
        auto packed = c.compress(read_bytes(vector_path(std::string(name) + ".bin")));
        ASSERT_TRUE(packed);
        EXPECT_TRUE(*packed == read_bytes(vector_path(std::string(name) + ".lzh")));
    }
}

TEST(ZipVectors, ExpandEveryVectorBack)
{
    Compressor c;
    for (const char* name : vector_names) {
        SCOPED_TRACE(name);
        auto plain = c.expand(read_bytes(vector_path(std::string(name) + ".lzh")));
        ASSERT_TRUE(plain);
        EXPECT_TRUE(*plain == read_bytes(vector_path(std::string(name) + ".bin")));
    }
}

TEST(ZipVectors, EmptyInputLeavesOnlyTheRefusedHeader)
{
    Compressor c;
    EXPECT_FALSE(c.compress(Bytes {}));
    Bytes header = read_bytes(vector_path("empty.lzh"));
    EXPECT_EQ(header, (Bytes {0x1F, 0, 0, 0, 0}));
    EXPECT_FALSE(c.expand(header));
}

TEST(ZipVectors, LengthFieldAndTinyOutputs)
{
    Compressor c;
    auto one = c.compress(Bytes {'A'});
    ASSERT_TRUE(one);
    EXPECT_EQ(Bytes(one->begin(), one->begin() + 5), (Bytes {0x1F, 0, 0, 0, 1}));
    auto text300 = c.compress(Bytes(300, 'x'));
    ASSERT_TRUE(text300);
    EXPECT_EQ(Bytes(text300->begin(), text300->begin() + 5), (Bytes {0x1F, 0, 0, 1, 0x2C}));
    // The ring starts full of blanks, so 100 blanks are a handful of matches.
    auto blanks = c.compress(Bytes(100, ' '));
    ASSERT_TRUE(blanks);
    EXPECT_LT(blanks->size(), 25u);
}

// Each run must start from the same state: a run after a long, model-
// rebuilding one gives the same bytes as a run on a fresh object.
TEST(ZipState, EveryRunStartsFromAFullReset)
{
    Compressor used;
    ASSERT_TRUE(used.compress(read_bytes(vector_path("mixed.bin"))));
    ASSERT_TRUE(used.expand(read_bytes(vector_path("random.lzh"))));
    for (const char* name : {"blanks5", "text300"}) {
        SCOPED_TRACE(name);
        Bytes plain = read_bytes(vector_path(std::string(name) + ".bin"));
        EXPECT_TRUE(*used.compress(plain) == read_bytes(vector_path(std::string(name) + ".lzh")));
        EXPECT_TRUE(*used.expand(read_bytes(vector_path(std::string(name) + ".lzh"))) == plain);
    }
}

TEST(ZipRoundTrip, GeneratedDataAroundTheRingSize)
{
    std::mt19937 rng(1234);
    Compressor c;
    for (size_t size : {1u, 2u, 3u, 14u, 16u, 4080u, 4081u, 4082u, 4095u, 4097u, 8192u, 70001u}) {
        for (int kind = 0; kind < 3; ++kind) {
            Bytes data(size);
            for (size_t i = 0; i < size; ++i) {
                if (kind == 0)
                    data[i] = static_cast<uint8_t>(rng());
                else if (kind == 1)
                    data[i] = static_cast<uint8_t>("ab \n"[rng() % 4]);
                else
                    data[i] = static_cast<uint8_t>(i % 4096 < 2000 ? 0 : rng() % 3);
            }
            SCOPED_TRACE(testing::Message() << "size " << size << " kind " << kind);
            auto packed = c.compress(data);
            ASSERT_TRUE(packed);
            auto back = c.expand(*packed);
            ASSERT_TRUE(back);
            EXPECT_TRUE(*back == data);
        }
    }
}

// A stream cut anywhere short of its end lacks at least one bit that the
// decoder needs, so it must fail rather than invent the missing data.
TEST(ZipTruncation, EveryCutOfAStreamFails)
{
    Compressor c;
    for (const char* name : {"text300", "allbytes", "blanks100"}) {
        Bytes stream = read_bytes(vector_path(std::string(name) + ".lzh"));
        for (size_t cut = 0; cut < stream.size(); ++cut) {
            SCOPED_TRACE(testing::Message() << name << " cut at " << cut);
            EXPECT_FALSE(c.expand(std::span(stream.data(), cut)));
        }
    }
    Bytes mixed = read_bytes(vector_path("mixed.lzh"));
    for (size_t cut = 5; cut < mixed.size(); cut += 997)
        EXPECT_FALSE(c.expand(std::span(mixed.data(), cut))) << "cut at " << cut;
    EXPECT_FALSE(c.expand(std::span(mixed.data(), mixed.size() - 1)));
}

TEST(ZipTruncation, ForgedLengthStopsAtTheEndOfTheInput)
{
    Compressor c;
    Bytes stream = read_bytes(vector_path("text.lzh"));
    ASSERT_GT(stream.size(), 5u);
    stream[1] = stream[2] = stream[3] = stream[4] = 0xFF;
    EXPECT_FALSE(c.expand(stream));
    Bytes header_only = {0x1F, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(c.expand(header_only));
}

TEST(ZipTruncation, MatchRunningPastTheLengthIsKeptWhole)
{
    // blanks100 opens with a 15-byte match; announcing one byte still
    // yields the whole match, as the format has always done.
    Bytes stream = read_bytes(vector_path("blanks100.lzh"));
    ASSERT_GT(stream.size(), 5u);
    stream[1] = stream[2] = stream[3] = 0;
    stream[4] = 1;
    Compressor c;
    auto plain = c.expand(stream);
    ASSERT_TRUE(plain);
    EXPECT_EQ(*plain, Bytes(15, ' '));
}

TEST(ZipFiles, RoundTripAndRefusals)
{
    TempDir dir;
    Compressor c;
    ASSERT_TRUE(c.compress_file(vector_path("text.bin"), dir / "t.lzh"));
    EXPECT_TRUE(read_bytes(dir / "t.lzh") == read_bytes(vector_path("text.lzh")));
    ASSERT_TRUE(c.expand_file(dir / "t.lzh", dir / "t.txt"));
    EXPECT_TRUE(read_bytes(dir / "t.txt") == read_bytes(vector_path("text.bin")));

    // An unreadable source leaves the destination untouched.
    write_bytes(dir / "keep", Bytes {'k'});
    EXPECT_FALSE(c.compress_file(dir / "missing", dir / "keep"));
    EXPECT_FALSE(c.expand_file(dir / "missing", dir / "keep"));
    EXPECT_FALSE(c.expand_file(dir.operator/(""), dir / "keep")); // a folder is no source
    EXPECT_EQ(read_bytes(dir / "keep"), Bytes {'k'});

    // Source and destination the same file: refused before anything is lost.
    EXPECT_FALSE(c.expand_file(dir / "t.lzh", dir / "t.lzh"));
    EXPECT_FALSE(c.compress_file(dir / "t.txt", dir / "t.txt"));
    EXPECT_TRUE(read_bytes(dir / "t.txt") == read_bytes(vector_path("text.bin")));

    // An empty source: only the header, and failure.
    write_bytes(dir / "empty", Bytes {});
    EXPECT_FALSE(c.compress_file(dir / "empty", dir / "empty.lzh"));
    EXPECT_EQ(read_bytes(dir / "empty.lzh"), (Bytes {0x1F, 0, 0, 0, 0}));

    // Wrong marker, zero length, a short header: destination exists, empty.
    for (const Bytes& bad : {Bytes {'x', 0, 0, 0, 1, 0}, Bytes {0x1F, 0, 0, 0, 0, 0xAA}, Bytes {0x1F, 0, 0}}) {
        write_bytes(dir / "bad", bad);
        write_bytes(dir / "out", Bytes {'o', 'l', 'd'});
        EXPECT_FALSE(c.expand_file(dir / "bad", dir / "out"));
        ASSERT_TRUE(fs::exists(dir / "out"));
        EXPECT_EQ(fs::file_size(dir / "out"), 0u);
    }

    // A destination that cannot be created.
    EXPECT_FALSE(c.compress_file(vector_path("a.bin"), dir / "no" / "such" / "folder"));
    EXPECT_FALSE(c.expand_file(vector_path("a.lzh"), dir / "no" / "such" / "folder"));
}

TEST(ZipFiles, TruncatedStreamLeavesAnEmptyDestination)
{
    TempDir dir;
    Bytes stream = read_bytes(vector_path("longrun.lzh"));
    stream.resize(stream.size() / 2);
    write_bytes(dir / "cut.lzh", stream);
    Compressor c;
    EXPECT_FALSE(c.expand_file(dir / "cut.lzh", dir / "out"));
    ASSERT_TRUE(fs::exists(dir / "out"));
    EXPECT_EQ(fs::file_size(dir / "out"), 0u);
}

TEST(ZipFiles, LargeFileStreamsThroughBuffers)
{
    // Larger than the I/O buffers, so refills happen mid-stream on both sides.
    TempDir dir;
    std::mt19937 rng(99);
    Bytes data(300000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i % 3 == 0 ? rng() : 'a' + i % 7);
    write_bytes(dir / "in", data);
    Compressor c;
    ASSERT_TRUE(c.compress_file(dir / "in", dir / "z"));
    EXPECT_TRUE(read_bytes(dir / "z") == *c.compress(data));
    ASSERT_TRUE(c.expand_file(dir / "z", dir / "back"));
    EXPECT_TRUE(read_bytes(dir / "back") == data);
}
