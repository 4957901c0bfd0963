// Fuzz target: the package reader, listing and header text on arbitrary files; nothing may land outside the folder.
#include "host/Package.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// One scratch box per process: the package file and the destination folder.
struct Box {
    fs::path root;
    fs::path package;
    fs::path destination;
    Box()
    {
        std::string pattern = (fs::temp_directory_path() / "ruk-fuzz-package-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        package = root / "p.ruk";
        destination = root / "dst";
        fs::create_directories(destination);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Box box;
    {
        std::ofstream out(box.package, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    ruk::PackageHeader current;
    ruk::PackageReadOptions options;
    options.destination = box.destination.string();
    if (size > 0 && data[0] == 'f')
        options.filter = "a.txt^^b.jpg";
    (void)ruk::read_package(box.package.string(), current, options);
    (void)ruk::list_package(box.package.string());
    (void)ruk::package_header_text(box.package.string());
    for (const auto& entry : fs::directory_iterator(box.root)) {
        if (entry.path() != box.package && entry.path() != box.destination)
            std::abort(); // a member escaped its folder
    }
    std::error_code ec;
    fs::remove_all(box.destination, ec);
    fs::create_directories(box.destination, ec);
    return 0;
}
