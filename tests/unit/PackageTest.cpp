// The package format: writer rules and result codes, reader, filters, header as text, unsafe and short packages.
#include "core/Random.h"
#include "host/Package.h"
#include "host/Zip.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace ruk;
namespace fs = std::filesystem;

namespace {

std::string read_text(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_text(const fs::path& path, std::string_view text)
{
    std::ofstream out(path, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string padded(std::string_view text, size_t width, char pad)
{
    std::string out(text.substr(0, width));
    out.resize(width, pad);
    return out;
}

// A package assembled byte by byte, for what the writer never produces.
struct CraftedMember {
    std::string size_field; // as stored; empty means the data's length
    std::string name;
    std::string data;
};

std::string craft_package(const std::string& count_field, const std::vector<CraftedMember>& members,
    const std::string& package_id = "PKG")
{
    std::string file = "Q" + padded("FAM", 10, '\0') + padded(package_id, 16, '\0') + padded("ID2", 16, '\0')
        + padded("short", 50, '\0') + padded("long", 200, '\0') + padded(count_field, 12, ' ');
    for (const auto& m : members)
        file += padded(m.size_field.empty() ? std::to_string(m.data.size()) : m.size_field, 12, ' ') + padded(m.name, 45, ' ');
    for (const auto& m : members)
        file += m.data;
    return file;
}

std::string compressed(std::string_view text)
{
    Compressor c;
    auto out = c.compress(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return std::string(out->begin(), out->end());
}

class PackageTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "ruk-package-test-XXXXXX").string();
        m_root = ::mkdtemp(pattern.data());
        fs::create_directories(src());
        fs::create_directories(dst());
    }
    void TearDown() override { fs::remove_all(m_root); }

    fs::path src() const { return m_root / "src"; }
    fs::path dst() const { return m_root / "dst"; }
    fs::path pkg() const { return m_root / "app.ruk"; }

    PackageWriteResult pack(const std::string& filter = "", bool include_k = false)
    {
        PackageWriteOptions o;
        o.source_folder = src();
        o.output_path = pkg();
        o.filter = filter;
        o.include_k = include_k;
        o.family_id = "FAMILY";
        return write_package(o, m_header);
    }

    PackageReadResult unpack(const std::string& filter = "", const fs::path& path = {})
    {
        PackageReadOptions o;
        o.destination = dst();
        o.filter = filter;
        return read_package(path.empty() ? pkg().string() : path.string(), m_current, o);
    }

    std::vector<std::string> stored_names()
    {
        std::vector<std::string> names;
        auto listing = list_package(pkg());
        if (listing) {
            for (const auto& e : listing->entries)
                names.push_back(e.stored_name);
        }
        return names;
    }

    std::vector<std::string> files_in(const fs::path& folder)
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_root;
    PackageHeader m_header {"PKGID", "SECOND", "Short text", "Long text", ""};
    PackageHeader m_current;
};

using Names = std::vector<std::string>;

} // namespace

TEST_F(PackageTest, EmptyFolderGivesA305BytePackageThatUnpacksToNothing)
{
    ASSERT_EQ(pack(), PackageWriteResult::Written);
    EXPECT_EQ(fs::file_size(pkg()), 305u);
    std::string file = read_text(pkg());
    EXPECT_EQ(file[0], 'Q');
    EXPECT_EQ(file.substr(293), "0           ");
    auto result = unpack();
    EXPECT_TRUE(result.header_read);
    EXPECT_EQ(result.extracted, 0);
    EXPECT_TRUE(files_in(dst()).empty());
}

TEST_F(PackageTest, WriterChoosesMembersAndStorage)
{
    std::string readme = read_text(fs::path(RUK_TESTDATA_DIR) / "lzhuf" / "text.bin");
    write_text(src() / "readme.txt", readme);
    write_text(src() / "photo.jpg", "\xFF\xD8 not really a jpeg");
    write_text(src() / "logo", "no extension");
    write_text(src() / "data.def", "d");
    write_text(src() / "my_", "m");
    write_text(src() / "x_1", "x");
    write_text(src() / "notes.k", "k");
    write_text(src() / "empty.txt", "");
    fs::create_directories(src() / "sub");
    write_text(src() / "sub" / "inner.txt", "i");

    ASSERT_EQ(pack(), PackageWriteResult::Written);
    EXPECT_EQ(stored_names(), (Names {"empty.txt__", "logo", "photo.jpg", "readme.txt__"}));
    auto listing = list_package(pkg());
    ASSERT_TRUE(listing);
    EXPECT_LT(listing->entries[3].stored_size, readme.size()); // compressed
    EXPECT_EQ(read_text(pkg()).find("\xFF\xD8 not really a jpeg") != std::string::npos, true);
    // Nothing temporary is left in the source folder.
    EXPECT_EQ(files_in(src()), (Names {"data.def", "empty.txt", "logo", "my_", "notes.k", "photo.jpg", "readme.txt", "sub", "x_1"}));

    auto result = unpack();
    EXPECT_TRUE(result.header_read);
    EXPECT_EQ(result.extracted, 4);
    EXPECT_TRUE(result.skipped.empty());
    EXPECT_EQ(files_in(dst()), (Names {"empty.txt", "logo", "photo.jpg", "readme.txt"}));
    EXPECT_EQ(read_text(dst() / "readme.txt"), readme);
    EXPECT_EQ(read_text(dst() / "logo"), "no extension");
    EXPECT_EQ(read_text(dst() / "empty.txt"), "");

    ASSERT_EQ(pack("", true), PackageWriteResult::Written);
    EXPECT_EQ(stored_names(), (Names {"empty.txt__", "logo", "notes.k__", "photo.jpg", "readme.txt__"}));
}

TEST_F(PackageTest, MediaListIsASubstringTest)
{
    EXPECT_TRUE(is_media_name("photo.JPG"));
    EXPECT_TRUE(is_media_name("clip.mpeg"));
    EXPECT_TRUE(is_media_name("logo"));
    EXPECT_TRUE(is_media_name("x.m"));   // a partial extension
    EXPECT_TRUE(is_media_name("x.r"));
    EXPECT_FALSE(is_media_name("readme.txt"));
    EXPECT_FALSE(is_media_name("page.html"));
    EXPECT_FALSE(is_media_name("identity.qexe"));
}

TEST_F(PackageTest, NameLengthLimits)
{
    std::string media44 = std::string(40, 'm') + ".jpg";
    std::string text43 = std::string(39, 't') + ".txt";
    write_text(src() / media44, "m");
    write_text(src() / text43, "t");
    ASSERT_EQ(pack(), PackageWriteResult::Written);
    EXPECT_EQ(stored_names(), (Names {media44, text43 + "__"}));
    ASSERT_EQ(unpack().extracted, 2);
    EXPECT_EQ(read_text(dst() / text43), "t");

    std::string text44 = std::string(40, 'u') + ".txt";
    write_text(src() / text44, "u");
    EXPECT_EQ(pack(), PackageWriteResult::NameTooLong);
    fs::remove(src() / text44);

    write_text(src() / (std::string(41, 'v') + ".jpg"), "v"); // 45 characters
    EXPECT_EQ(pack(), PackageWriteResult::NameTooLong);
    // A long name outside the filter is never looked at.
    EXPECT_EQ(pack(media44), PackageWriteResult::Written);
}

TEST_F(PackageTest, WriterCountsAndOpenFailures)
{
    for (int i = 0; i < 4999; ++i)
        write_text(src() / ("f" + std::to_string(10000 + i) + ".jpg"), "");
    EXPECT_EQ(pack(), PackageWriteResult::Written);
    EXPECT_EQ(fs::file_size(pkg()), 305u + 57u * 4999u);
    write_text(src() / "f99999.jpg", "");
    EXPECT_EQ(pack(), PackageWriteResult::TooManyFiles);
}

TEST_F(PackageTest, WriterResultCodesForOutputAndUnreadableFiles)
{
    write_text(src() / "a.txt", "a");
    PackageWriteOptions o;
    o.source_folder = src();
    o.output_path = (m_root / "missing" / "app.ruk").string();
    EXPECT_EQ(write_package(o, m_header), PackageWriteResult::CannotCreateOutput);

    fs::create_symlink(m_root / "nowhere.jpg", src() / "broken.jpg");
    EXPECT_EQ(pack(), PackageWriteResult::CannotOpenFile);
    fs::remove(src() / "broken.jpg");
    fs::create_symlink(m_root / "nowhere.txt", src() / "broken.txt");
    EXPECT_EQ(pack(), PackageWriteResult::CannotOpenFile);
    fs::remove(src() / "broken.txt");

    // An earlier package inside the source folder is not packed into itself.
    o.output_path = (src() / "self.ruk").string();
    ASSERT_EQ(write_package(o, m_header), PackageWriteResult::Written);
    ASSERT_EQ(write_package(o, m_header), PackageWriteResult::Written);
    auto listing = list_package(src() / "self.ruk");
    ASSERT_TRUE(listing);
    ASSERT_EQ(listing->entries.size(), 1u);
    EXPECT_EQ(listing->entries[0].stored_name, "a.txt__");
}

TEST_F(PackageTest, HeaderTravelsThroughWriterAndReader)
{
    m_header = {"ABCDEFGHIJKLMNOP", "2", std::string(50, 's'), std::string(200, 'l'), ""};
    ASSERT_EQ(pack(), PackageWriteResult::Written);
    auto text = package_header_text(pkg());
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "ABCDEFGHIJKLMNOP^^2^^" + std::string(50, 's') + "^^" + std::string(200, 'l') + "^^FAMILY^^0           ");
    EXPECT_TRUE(m_current.package_id.empty()); // header as text changes nothing

    ASSERT_TRUE(unpack().header_read);
    EXPECT_EQ(m_current.package_id, "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(m_current.second_id, "2");
    EXPECT_EQ(m_current.short_text, std::string(50, 's'));
    EXPECT_EQ(m_current.long_text, std::string(200, 'l'));
    EXPECT_EQ(m_current.family_id, "FAMILY");

    EXPECT_FALSE(package_header_text((m_root / "none.ruk").string()));
    write_text(m_root / "short.ruk", "Q123");
    EXPECT_FALSE(package_header_text((m_root / "short.ruk").string()));
}

TEST_F(PackageTest, UnreadableEntryCounts)
{
    for (std::string count : {"            ", "abc", "5001", "12x", "-1"}) {
        SCOPED_TRACE(count);
        write_text(pkg(), craft_package(count, {}, "BAD" + count.substr(0, 1)));
        m_current = {};
        EXPECT_FALSE(unpack().header_read);
        // The header was read before the count proved unreadable.
        EXPECT_EQ(m_current.package_id, "BAD" + count.substr(0, 1));
        EXPECT_EQ(m_current.family_id, "FAM");
    }
    // Blanks and control bytes around the number are fine; 5000 is the limit.
    write_text(pkg(), craft_package(" \t2\x01", {{"", "a", "A"}, {"", "b", "B"}}));
    EXPECT_EQ(unpack().extracted, 2);
    std::vector<CraftedMember> many(5000, CraftedMember {"0", "e.jpg", ""});
    write_text(pkg(), craft_package("5000", many));
    EXPECT_TRUE(unpack("nothing-matches").header_read);
    EXPECT_FALSE(read_package((m_root / "none.ruk").string(), m_current, {}).header_read);
}

TEST_F(PackageTest, FiltersMatchBySubstring)
{
    write_text(pkg(), craft_package("6", {{"", "a.jpg", "1"}, {"", "b.wav", "2"}, {"", "b.wa", "3"}, {"", "jpg", "4"},
        {"", "c.jpg", "5"}, {"", "readme.txt__", compressed("readme.txt")}}));
    unpack("A.jpg^^b.wav");
    EXPECT_EQ(files_in(dst()), (Names {"a.jpg", "b.wa", "b.wav", "jpg"}));

    // A single name also finds its compressed member.
    fs::remove_all(dst());
    fs::create_directories(dst());
    unpack("readme.txt");
    EXPECT_EQ(files_in(dst()), (Names {"readme.txt"}));
    EXPECT_EQ(read_text(dst() / "readme.txt"), "readme.txt");

    for (const char* name : {"a.jpg", "b.wav", "b.wa", "jpg", "c.jpg", "readme.txt"})
        write_text(src() / name, name);
    // The writer's filter is a plain substring test on the lowered names.
    ASSERT_EQ(pack("A.JPG^^readme.txt"), PackageWriteResult::Written);
    EXPECT_EQ(stored_names(), (Names {"a.jpg", "jpg", "readme.txt__"}));

    EXPECT_EQ(decorate_filter(""), "");
    EXPECT_EQ(decorate_filter("A^^b"), "__a__^^b__");
    EXPECT_TRUE(filter_matches("", "anything"));
    EXPECT_TRUE(filter_matches("__a__^^b__", "  A__ "));
}

TEST_F(PackageTest, WorkingFolderAndSemaphoreHook)
{
    write_text(src() / "a.txt", "hello");
    ASSERT_EQ(pack(), PackageWriteResult::Written);
    const char* old_tmp = std::getenv("TMPDIR");
    std::string saved = old_tmp ? old_tmp : "";
    setenv("TMPDIR", m_root.c_str(), 1);

    Random random(42);
    int hook_calls = 0;
    PackageReadOptions o;
    o.create_working_folder = true;
    o.random = &random;
    o.semaphore_hook = [&](const PackageHeader& h) {
        ++hook_calls;
        EXPECT_EQ(h.package_id, "PKGID");
    };
    auto quiet = read_package(pkg(), m_current, o);
    EXPECT_EQ(hook_calls, 0); // the hook runs only when asked
    o.create_semaphores = true;
    auto result = read_package(pkg(), m_current, o);
    EXPECT_EQ(hook_calls, 1);

    ASSERT_TRUE(result.header_read);
    Random expected(42);
    std::string prefix = (m_root / "rukreader" / "PKGID-").string();
    EXPECT_EQ(quiet.folder, prefix + expected.random_id() + "/");
    EXPECT_EQ(result.folder, prefix + expected.random_id() + "/");
    EXPECT_EQ(read_text(result.folder + "a.txt"), "hello");

    // No destination and no working folder: the shared "rukreader/" folder.
    auto shared = read_package(pkg(), m_current, {});
    EXPECT_EQ(shared.folder, (m_root / "rukreader").string() + "/");
    EXPECT_EQ(read_text(shared.folder + "a.txt"), "hello");

    if (old_tmp)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

// Stored names come from the file; none may place data outside the folder.
TEST_F(PackageTest, UnsafeStoredNamesAreSkipped)
{
    std::string body = compressed("escaped");
    write_text(pkg(), craft_package("11", {
        {"", "../evil", "x"},
        {"", "/tmp/abs", "x"},
        {"", "a\\b", "x"},
        {"", "..", "x"},
        {"", ".", "x"},
        {"", "..__", body},
        {"", "__", body},
        {"", "sub/..__", body},
        {"", "be\x07ll", "x"},
        {"", std::string("del\x7F"), "x"},
        {"", "good.txt__", compressed("fine")},
    }));
    auto result = unpack();
    EXPECT_TRUE(result.header_read);
    EXPECT_EQ(result.extracted, 1);
    EXPECT_EQ(result.skipped.size(), 10u);
    EXPECT_EQ(files_in(dst()), (Names {"good.txt"}));
    EXPECT_EQ(read_text(dst() / "good.txt"), "fine");
    EXPECT_EQ(files_in(m_root), (Names {"app.ruk", "dst", "src"}));
    EXPECT_FALSE(is_safe_member_name(""));
    EXPECT_TRUE(is_safe_member_name("a..b"));
}

TEST_F(PackageTest, DataBeyondTheEndOfTheFileFailsOnlyThoseMembers)
{
    std::string file = craft_package("4", {
        {"", "first.jpg", "1234"},
        {"", "second.txt__", compressed("second text")},
        {"100", "third.jpg", "abc"},
        {"999999999999", "fourth.jpg", ""},
    });
    write_text(pkg(), file);
    auto result = unpack();
    EXPECT_TRUE(result.header_read);
    EXPECT_EQ(files_in(dst()), (Names {"first.jpg", "second.txt"}));
    EXPECT_EQ(read_text(dst() / "second.txt"), "second text");
    EXPECT_EQ(result.skipped, (Names {"third.jpg", "fourth.jpg"}));

    auto listing = list_package(pkg());
    ASSERT_TRUE(listing);
    EXPECT_TRUE(listing->entries[1].complete);
    EXPECT_FALSE(listing->entries[2].complete);
}

TEST_F(PackageTest, BadSizeStopsTheReaderAndTruncatedMembersLeaveEmptyFiles)
{
    std::string stream = compressed(std::string(500, 'q') + "tail of some text");
    write_text(pkg(), craft_package("3", {
        {"", "ok.jpg", "ok"},
        {"", "cut.txt__", stream.substr(0, stream.size() - 2)},
        {"1x", "never.jpg", "n"},
    }));
    auto result = unpack();
    EXPECT_FALSE(result.header_read);
    EXPECT_EQ(files_in(dst()), (Names {"cut.txt", "ok.jpg"}));
    EXPECT_EQ(fs::file_size(dst() / "cut.txt"), 0u);

    // A directory cut short by the end of the file.
    std::string file = craft_package("2", {{"", "a.jpg", "A"}, {"", "b.jpg", "B"}});
    write_text(pkg(), file.substr(0, 305 + 57));
    EXPECT_FALSE(unpack().header_read);
    EXPECT_FALSE(list_package(pkg()));
}
