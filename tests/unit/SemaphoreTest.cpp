// Instance semaphores: one counter per name, and counting that creates nothing.
#include "host/Semaphore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace ruk;
namespace fs = std::filesystem;

namespace {

struct SemaphoreTest : ::testing::Test {
    std::string folder;
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "ruk-sem-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern + "/.sem";
    }
    void TearDown() override { fs::remove_all(fs::path(folder).parent_path()); }
    size_t files() const
    {
        std::error_code ec;
        size_t n = 0;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            ++n;
        return n;
    }
};

} // namespace

TEST_F(SemaphoreTest, CountingANameNobodyRunsCreatesNothing)
{
    auto held = InstanceSemaphore::open("sem_rukreaderRunning", folder);
    ASSERT_TRUE(held);
    ASSERT_TRUE(held->hold());
    const size_t before = files();
    for (int i = 0; i < 20; ++i)
        EXPECT_FALSE(InstanceSemaphore::find("sem_rukreaderNobody" + std::to_string(i), folder));
    EXPECT_EQ(files(), before);
    auto found = InstanceSemaphore::find("sem_rukreaderRunning", folder);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->holders(), 1);
    held->release();
}

TEST_F(SemaphoreTest, DifferentNamesNeverShareACounter)
{
    // Names that agree in their first few hundred bytes, and many short ones.
    const std::string long_prefix(300, 'x');
    std::vector<InstanceSemaphore> held;
    std::vector<std::string> names = {long_prefix + "a", long_prefix + "b"};
    for (int i = 0; i < 200; ++i)
        names.push_back("sem_rukreader" + std::to_string(i));
    for (const auto& name : names) {
        auto s = InstanceSemaphore::open(name, folder);
        ASSERT_TRUE(s) << name;
        ASSERT_TRUE(s->hold());
        held.push_back(*s);
    }
    for (const auto& name : names) {
        auto s = InstanceSemaphore::find(name, folder);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->holders(), 1) << name;
    }
    for (auto& s : held)
        s.release();
}
