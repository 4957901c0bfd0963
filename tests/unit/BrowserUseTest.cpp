// Start-up's look into a package for the browser family, before anything is unpacked.
#include "browser/BrowserUse.h"
#include "host/SourceBuild.h"
#include "host/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace ruk;

namespace {

struct BrowserUse : ::testing::Test {
    TemporaryFolder folder {"browser-use"};

    std::string write(const std::string& name, const std::string& text)
    {
        const std::string path = folder.path() + "/" + name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // A package built from one source, as "rukc build" makes it (the code compressed).
    std::string package(const std::string& name, const std::string& source)
    {
        const std::string sources = write(name + "/main.rks", source);
        PackageWriteOptions options;
        options.output_path = folder.path() + "/" + name + ".ruk";
        PackageHeader header;
        header.package_id = name;
        EXPECT_TRUE(build_package_from_sources(std::filesystem::path(sources).parent_path().string(), options, header).ok);
        return options.output_path;
    }
};

TEST_F(BrowserUse, CompiledCodeNamesTheFamilyInLinesAndNestedCommands)
{
    EXPECT_TRUE(package_uses_browsers(package("direct", "event.initialize()\n    browser.create(main)\nevent.end()\n")));
    EXPECT_TRUE(package_uses_browsers(
        package("nested", "event.initialize()\n    system.message(browser.isavailable())\nevent.end()\n")));
    EXPECT_FALSE(package_uses_browsers(
        package("plain", "event.initialize()\n    &browsers = 2\n    system.message(\"no browser here\")\nevent.end()\n")));
}

TEST_F(BrowserUse, SourcesAreReadAsText)
{
    EXPECT_TRUE(package_uses_browsers(write("one.rks", "event.initialize()\n    Browser.create(main)\nevent.end()\n")));
    EXPECT_FALSE(package_uses_browsers(write("two.rks", "event.initialize()\n    mybrowser.x()\nevent.end()\n")));
    write("folder/a.rks", "event.initialize()\nevent.end()\n");
    write("folder/b.rks", "function.f()\n    browser.0.goback()\nfunction.end()\n");
    EXPECT_TRUE(package_uses_browsers(folder.path() + "/folder"));
}

TEST_F(BrowserUse, AnythingUnreadableIsNoUse)
{
    const std::string whole = package("cut", "event.initialize()\n    browser.create(main)\nevent.end()\n");
    std::filesystem::resize_file(whole, 400);
    EXPECT_FALSE(package_uses_browsers(whole));
    EXPECT_FALSE(package_uses_browsers(write("junk.ruk", std::string(305, 'Q'))));
    EXPECT_FALSE(package_uses_browsers(folder.path() + "/missing.ruk"));
}

} // namespace
