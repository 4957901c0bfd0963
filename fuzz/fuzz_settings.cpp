// Fuzz target: opening the settings store on arbitrary files; no crash, and a database that is not the engine's is never changed.
#include "host/FileIo.h"
#include "system/Registry.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Box {
    fs::path root;
    Box()
    {
        std::string pattern = (fs::temp_directory_path() / "ruk-fuzz-settings-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
    }
};

std::string slurp(const fs::path& path)
{
    return ruk::read_whole_file(path.string()).value_or(std::string());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Every refused store is reported on standard error: run with
    // -close_fd_mask=2 to keep the fuzzer's own output readable.
    static Box box;
    const fs::path db = box.root / "store.sqlite";
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        fs::remove(db.string() + suffix, ec);
    const std::string before(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(db, std::ios::binary);
        out << before;
    }
    bool wrote = false;
    {
        ruk::Registry store(db.string(), 50);
        (void)store.read_value(ruk::RegRoot::CurrentUser, "Software\\x", "v");
        wrote = store.write_value(ruk::RegRoot::CurrentUser, "Software\\x", "v", "text");
        (void)store.list_keys(ruk::RegRoot::CurrentUser, "Software");
    }
    // A store that refused the write is left exactly as it was, unless it
    // was empty (an empty file becomes a new store).
    if (!wrote && !before.empty() && slurp(db) != before)
        std::abort();
    return 0;
}
