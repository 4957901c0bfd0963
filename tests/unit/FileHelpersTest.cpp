// The shared file helpers: temporary folders, whole replacements, descriptors and compiling a folder of sources.
#include "host/FileDescriptor.h"
#include "host/FileIo.h"
#include "host/ReplacingFile.h"
#include "host/SourceBuild.h"
#include "host/TemporaryFolder.h"
#include "system/Disk.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace ruk;
namespace fs = std::filesystem;

namespace {

void put(const fs::path& path, std::string_view data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::vector<std::string> names_in(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A private folder, and TMPDIR pointing into it while the test runs.
struct FileHelpers : ::testing::Test {
    fs::path dir;
    std::optional<std::string> old_tmpdir;

    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "ruk-files-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        if (const char* tmp = std::getenv("TMPDIR"))
            old_tmpdir = tmp;
        fs::create_directories(dir / "tmp");
        ::setenv("TMPDIR", (dir / "tmp").c_str(), 1);
    }
    void TearDown() override
    {
        if (old_tmpdir)
            ::setenv("TMPDIR", old_tmpdir->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        fs::remove_all(dir);
    }
};

} // namespace

TEST_F(FileHelpers, TemporaryFoldersComeWhenAskedForAndGoWithTheirContents)
{
    EXPECT_EQ(temporary_folder(), (dir / "tmp").string() + "/");
    std::string made;
    {
        TemporaryFolder folder("ruk-check");
        EXPECT_TRUE(names_in(dir / "tmp").empty()); // nothing before the path is asked for
        made = folder.path();
        ASSERT_FALSE(made.empty());
        EXPECT_EQ(made.back(), '/');
        EXPECT_EQ(fs::path(made).parent_path().parent_path(), dir / "tmp");
        fs::create_directories(made + "inner");
        put(made + "inner/file", "x");
        EXPECT_EQ(folder.path(), made);
    }
    EXPECT_FALSE(fs::exists(made));

    // A temporary folder that cannot be made reads as an empty path.
    ::setenv("TMPDIR", (dir / "missing").c_str(), 1);
    TemporaryFolder nowhere("ruk-check");
    EXPECT_EQ(nowhere.path(), "");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(temporary_folder(), "/tmp/");
}

TEST_F(FileHelpers, ReplacingAFileLeavesTheOldOneOrTheWholeNewOne)
{
    const fs::path file = dir / "launcher";
    put(file, "old");
    ASSERT_TRUE(replace_file_contents(file.string(), "new contents", 0751));
    std::string text = read_whole_file(file.string()).value_or("?");
    EXPECT_EQ(text, "new contents");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u);

    {
        // Given up before the commit: the old file stays, no temporary is left.
        ReplacingFile out;
        ASSERT_TRUE(out.open(file.string()));
        ASSERT_TRUE(out.write("half"));
    }
    EXPECT_EQ(read_whole_file(file.string()).value_or("?"), "new contents");
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"launcher", "tmp"}));

    // A folder in the way, or a missing folder, is refused.
    EXPECT_FALSE(replace_file_contents((dir / "tmp").string(), "x"));
    EXPECT_TRUE(fs::is_directory(dir / "tmp"));
    EXPECT_FALSE(replace_file_contents((dir / "none" / "file").string(), "x"));

    // no_overwrite never replaces a file that is there.
    ReplacingFile again;
    ASSERT_TRUE(again.open(file.string()));
    ASSERT_TRUE(again.write("other"));
    EXPECT_FALSE(again.commit(true));
    EXPECT_EQ(read_whole_file(file.string()).value_or("?"), "new contents");
}

TEST_F(FileHelpers, DescriptorsCloseOnceAndMoveOver)
{
    int raw = ::open(dir.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(raw, 0);
    {
        FileDescriptor first(raw);
        FileDescriptor second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), raw);
        FileDescriptor third;
        third = std::move(second);
        EXPECT_EQ(third.get(), raw);
    }
    EXPECT_EQ(::fcntl(raw, F_GETFD), -1); // closed by the last holder
}

TEST_F(FileHelpers, AFolderOfSourcesCompilesInNameOrder)
{
    const fs::path src = dir / "src";
    fs::create_directories(src);
    put(src / "b.RKS", "function.two()\nfunction.end()\n");
    put(src / "a.rks", "event.initialize()\nevent.end()\n");
    put(src / "notes.txt", "not a source");
    CompiledSources compiled = compile_sources(src.string());
    ASSERT_TRUE(compiled.ok());
    EXPECT_EQ(compiled.files, (std::vector<std::string>{(src / "a.rks").string(), (src / "b.RKS").string()}));
    ASSERT_EQ(compiled.lines.size(), 4u);
    EXPECT_EQ(compiled.lines[2].substr(0, 8), "function");

    put(src / "c.rks", "x = (\n");
    compiled = compile_sources(src.string());
    EXPECT_FALSE(compiled.ok());
    ASSERT_EQ(compiled.errors.size(), 1u);
    EXPECT_EQ(compiled.errors[0].file, (src / "c.rks").string());
    EXPECT_EQ(compiled.errors[0].error.line, 1);

    // A pipe is never read; an empty folder has no sources.
    ASSERT_EQ(::mkfifo((dir / "pipe.rks").c_str(), 0600), 0);
    compiled = compile_sources((dir / "pipe.rks").string());
    EXPECT_EQ(compiled.unreadable, std::vector<std::string>{(dir / "pipe.rks").string()});
    EXPECT_FALSE(compiled.ok());
    fs::create_directories(dir / "empty");
    EXPECT_TRUE(compile_sources((dir / "empty").string()).files.empty());
}

TEST_F(FileHelpers, FolderOperationsAndDriveSpace)
{
    const std::string deep = (dir / "a" / "b" / "c").string();
    EXPECT_TRUE(disk::create_folder(deep));
    EXPECT_TRUE(disk::create_folder(deep)); // already there
    EXPECT_TRUE(disk::folder_exists(deep));
    put(dir / "plain", "x");
    EXPECT_FALSE(disk::create_folder((dir / "plain").string()));
    EXPECT_FALSE(disk::folder_exists((dir / "plain").string()));
    EXPECT_TRUE(disk::path_exists((dir / "plain").string()));
    EXPECT_FALSE(disk::remove_folder((dir / "a").string())); // not empty
    EXPECT_TRUE(disk::remove_folder(deep));
    EXPECT_FALSE(disk::folder_exists(deep));

    ::chmod((dir / "plain").c_str(), 0444);
    EXPECT_TRUE(disk::make_owner_writable((dir / "plain").string()));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "plain").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_FALSE(disk::make_owner_writable((dir / "gone").string()));

    disk::Drive root {'C', "/", "", "", 0, 0};
    EXPECT_TRUE(disk::drive_present(root));
    auto space = disk::drive_space(root);
    ASSERT_TRUE(space);
    EXPECT_GT(space->total_bytes, 0u);
    EXPECT_LE(space->free_bytes, space->total_bytes);
    disk::Drive missing {'D', (dir / "nothing").string(), "", "", 0, 0};
    EXPECT_FALSE(disk::drive_present(missing));
    EXPECT_FALSE(disk::drive_space(missing));
}
