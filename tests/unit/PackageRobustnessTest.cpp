// Mutated packages and compressed streams: the reader and the expander refuse or survive them, never crash or escape.
#include "host/Package.h"
#include "host/Zip.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <span>
#include <sys/stat.h>

using namespace ruk;
namespace fs = std::filesystem;

namespace {

Bytes read_bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const fs::path& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// One random change: flipped bits, overwritten bytes (digits and separators
// are favoured, so sizes and counts change meaning), a cut, or a repeat.
void mutate(Bytes& data, std::mt19937& rng)
{
    if (data.empty())
        return;
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    switch (rng() % 6) {
    case 0:
        data[pick(data.size())] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
    case 1:
        data[pick(data.size())] = static_cast<uint8_t>("0123456789 _./\\\x00\xFF"[pick(17)]);
        break;
    case 2:
        data.resize(pick(data.size()));
        break;
    case 3: {
        size_t at = pick(data.size());
        data.insert(data.begin() + static_cast<long>(at), data.begin(), data.begin() + static_cast<long>(std::min<size_t>(at, 64)));
        break;
    }
    case 4:
        data[pick(data.size())] = static_cast<uint8_t>(rng());
        break;
    default:
        // Aim at the header's count field and the first directory entries.
        if (data.size() > 420)
            data[293 + pick(120)] = static_cast<uint8_t>("0123456789 9"[pick(12)]);
        break;
    }
}

class RobustnessTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "ruk-robust-test-XXXXXX").string();
        m_root = ::mkdtemp(pattern.data());
        fs::create_directories(m_root / "src");
        fs::create_directories(m_root / "box" / "dst");
    }
    void TearDown() override { fs::remove_all(m_root); }

    fs::path m_root;
};

} // namespace

TEST_F(RobustnessTest, MutatedPackagesNeverEscapeOrCrash)
{
    std::mt19937 rng(20240607);
    {
        std::ofstream(m_root / "src" / "readme.txt") << std::string(700, 'r') << "some text to compress";
        std::ofstream(m_root / "src" / "photo.jpg") << "jpeg bytes";
        std::ofstream(m_root / "src" / "logo") << "";
        std::ofstream(m_root / "src" / "z.txt") << "zzzzzzzzzzzzzzzz";
    }
    PackageWriteOptions o;
    o.source_folder = m_root / "src";
    o.output_path = m_root / "good.ruk";
    ASSERT_EQ(write_package(o, PackageHeader {"ID", "ID2", "s", "l", ""}), PackageWriteResult::Written);
    const Bytes good = read_bytes(m_root / "good.ruk");
    const fs::path dst = m_root / "box" / "dst";
    const fs::path mutated = m_root / "box" / "m.ruk";

    for (int round = 0; round < 1000; ++round) {
        Bytes data = good;
        int changes = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < changes; ++i)
            mutate(data, rng);
        write_bytes(mutated, data);
        PackageHeader current;
        PackageReadOptions ro;
        ro.destination = dst;
        if (round % 3 == 0)
            ro.filter = "readme.txt^^logo";
        auto result = read_package(mutated, current, ro);
        (void)list_package(mutated);
        (void)package_header_text(mutated);
        if (result.header_read) {
            EXPECT_LE(result.extracted + result.skipped.size(), 5000u);
        }
        // Only the package and the destination folder may exist in the box.
        for (const auto& e : fs::directory_iterator(m_root / "box"))
            ASSERT_TRUE(e.path() == dst || e.path() == mutated) << "round " << round << ": " << e.path();
        if (round % 50 == 0) {
            fs::remove_all(dst);
            fs::create_directories(dst);
        }
    }
}

TEST_F(RobustnessTest, MutatedStreamsExpandOrFailCleanly)
{
    std::mt19937 rng(777);
    Compressor c;
    Bytes source(5000);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<uint8_t>(i % 5 == 0 ? rng() : "abc \n"[i % 5]);
    const Bytes good = *c.compress(source);
    size_t expanded = 0;
    for (int round = 0; round < 2500; ++round) {
        Bytes data = good;
        int changes = 1 + static_cast<int>(rng() % 3);
        for (int i = 0; i < changes; ++i)
            mutate(data, rng);
        auto out = c.expand(data);
        if (out) {
            ++expanded;
            // The announced length is reached, overshooting by at most one match.
            uint32_t announced = (uint32_t(data[1]) << 24) | (uint32_t(data[2]) << 16) | (uint32_t(data[3]) << 8) | data[4];
            EXPECT_GE(out->size(), announced);
            EXPECT_LE(out->size(), uint64_t(announced) + 14);
        }
    }
    // Flips inside the code bits usually still decode to something; the
    // test is only meaningful when both outcomes occur.
    EXPECT_GT(expanded, 0u);
    EXPECT_LT(expanded, 2500u);
    // The object is still sound after all that.
    EXPECT_TRUE(*c.expand(good) == source);
}

namespace {

// A package written byte by byte: the header, one directory entry per
// (stored name, data) pair, then the data.
Bytes raw_package(const std::vector<std::pair<std::string, Bytes>>& members)
{
    Bytes out(package_layout::HeaderSize, 0);
    out[0] = 'Q';
    std::string count = std::to_string(members.size());
    for (size_t i = 0; i < package_layout::CountWidth; ++i)
        out[package_layout::CountOffset + i] = static_cast<uint8_t>(i < count.size() ? count[i] : ' ');
    for (const auto& [name, data] : members) {
        std::string size = std::to_string(data.size());
        size.resize(package_layout::SizeWidth, ' ');
        std::string field = name;
        field.resize(package_layout::NameWidth, ' ');
        out.insert(out.end(), size.begin(), size.end());
        out.insert(out.end(), field.begin(), field.end());
    }
    for (const auto& member : members)
        out.insert(out.end(), member.second.begin(), member.second.end());
    return out;
}

} // namespace

TEST_F(RobustnessTest, NoMemberIsWrittenThroughALinkPlantedInTheDestination)
{
    const fs::path outside = m_root / "outside.txt";
    std::ofstream(outside) << "keep me";
    Compressor zip;
    std::string text = "expanded member text";
    auto stream = zip.compress(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    ASSERT_TRUE(stream);
    write_bytes(m_root / "p.ruk", raw_package({{"notes.txt__", *stream}, {"plain.txt", Bytes{'p'}}}));
    const fs::path dst = m_root / "box" / "dst";
    fs::create_symlink(outside, dst / "notes.txt");
    fs::create_symlink(outside, dst / "plain.txt");
    PackageHeader current;
    PackageReadOptions ro;
    ro.destination = dst;
    auto result = read_package(m_root / "p.ruk", current, ro);
    EXPECT_TRUE(result.header_read);
    EXPECT_EQ(result.extracted, 2);
    const Bytes untouched = read_bytes(outside);
    EXPECT_EQ(std::string(untouched.begin(), untouched.end()), "keep me");
    EXPECT_FALSE(fs::is_symlink(dst / "notes.txt"));
    const Bytes expanded = read_bytes(dst / "notes.txt");
    EXPECT_EQ(std::string(expanded.begin(), expanded.end()), text);
}

TEST_F(RobustnessTest, NamesAReaderWouldRefuseOrChangeAreNeverPackedNorRenamedOnReading)
{
    for (const char* bad : {"line\nbreak.txt", "back\\slash.txt", "\x01lead.txt", " blank.txt", "tab\t.jpg"}) {
        fs::remove_all(m_root / "src");
        fs::create_directories(m_root / "src");
        std::ofstream(m_root / "src" / "fine.txt") << "fine";
        std::ofstream(m_root / "src" / bad) << "bad";
        PackageWriteOptions o;
        o.source_folder = m_root / "src";
        o.output_path = m_root / "bad.ruk";
        EXPECT_EQ(write_package(o, PackageHeader {"ID", "", "", "", ""}), PackageWriteResult::UnsafeName) << bad;
    }
    EXPECT_FALSE(packable_name_problem("ordinary name.txt"));
    EXPECT_FALSE(packable_name_problem("\xC3\xA9t\xC3\xA9.txt"));

    // A stored name with a leading control byte is refused, not read as "lead.txt".
    write_bytes(m_root / "p.ruk", raw_package({{"\x01lead.txt", Bytes{'x'}}, {"ok.txt", Bytes{'y'}}}));
    const fs::path dst = m_root / "box" / "dst";
    PackageHeader current;
    PackageReadOptions ro;
    ro.destination = dst;
    auto result = read_package(m_root / "p.ruk", current, ro);
    EXPECT_EQ(result.extracted, 1);
    EXPECT_EQ(result.skipped, std::vector<std::string> {"\x01lead.txt"});
    EXPECT_FALSE(fs::exists(dst / "lead.txt"));
    EXPECT_TRUE(fs::exists(dst / "ok.txt"));
}

TEST_F(RobustnessTest, APipeNamedAsAPackageIsRefusedWithoutBlocking)
{
    const fs::path pipe = m_root / "pipe.ruk";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    PackageHeader current;
    PackageReadOptions ro;
    ro.destination = m_root / "box" / "dst";
    EXPECT_FALSE(read_package(pipe, current, ro).header_read);
    std::string error;
    EXPECT_FALSE(list_package(pipe, &error));
    EXPECT_FALSE(package_header_text(pipe));
}
