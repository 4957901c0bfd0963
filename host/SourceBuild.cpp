// Compiling sources into a code file and packing it.
#include "host/SourceBuild.h"

#include "host/FileIo.h"

#include "system/Translator.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace ruk {

namespace {

bool has_extension(const std::string& name, std::string_view ext)
{
    if (name.size() < ext.size())
        return false;
    for (size_t i = 0; i < ext.size(); ++i) {
        char c = name[name.size() - ext.size() + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != ext[i])
            return false;
    }
    return true;
}

// A folder under the temporary folder, removed with its contents.
class ScratchFolder {
public:
    ScratchFolder()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ruk-build-XXXXXX";
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~ScratchFolder()
    {
        if (!m_path.empty()) {
            std::error_code ec;
            fs::remove_all(m_path, ec);
        }
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace

bool is_source_path(const std::string& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec) || has_extension(path, ".rks");
}

SourceBuild build_package_from_sources(const std::string& input, PackageWriteOptions options,
                                       const PackageHeader& header)
{
    SourceBuild build;
    std::error_code ec;
    const bool folder = fs::is_directory(input, ec);
    std::vector<fs::path> files;
    if (folder) {
        for (fs::directory_iterator it(input, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec))
                files.push_back(it->path());
        std::sort(files.begin(), files.end());
    } else {
        files.push_back(input);
    }

    std::vector<std::string> code;
    int sources = 0;
    for (const fs::path& file : files) {
        if (!has_extension(file.filename().string(), ".rks"))
            continue;
        ++sources;
        // Regular files only: a pipe or a device named as a source would
        // hold the build (and the engine's start-up) for ever.
        std::optional<std::string> text = read_regular_file(file.string());
        if (!text) {
            build.errors.push_back("cannot read " + file.string() + " (not a readable regular file)");
            continue;
        }
        CompiledSource compiled = compile_source(*text);
        for (const CompileError& e : compiled.errors)
            build.errors.push_back(file.filename().string() + ":" + std::to_string(e.line) + ": " + e.message
                                   + " (code " + std::to_string(e.code) + ")");
        code.insert(code.end(), compiled.lines.begin(), compiled.lines.end());
    }
    if (sources == 0)
        build.errors.push_back(input + " holds no .rks source");
    if (!build.errors.empty())
        return build;

    ScratchFolder scratch;
    if (scratch.path().empty()) {
        build.errors.push_back("cannot create a temporary folder");
        return build;
    }
    if (folder) {
        for (const fs::path& file : files) {
            std::string name = file.filename().string();
            if (has_extension(name, ".rks") || name == "identity.qexe")
                continue;
            fs::copy_file(file, fs::path(scratch.path()) / name, ec);
            if (ec) {
                build.errors.push_back("cannot copy " + name + ": " + ec.message());
                return build;
            }
        }
    }
    std::string code_file = encode_code_file(code);
    {
        std::ofstream out(fs::path(scratch.path()) / "identity.qexe", std::ios::binary);
        out.write(code_file.data(), static_cast<std::streamsize>(code_file.size()));
        if (!out) {
            build.errors.push_back("cannot write the code file");
            return build;
        }
    }
    options.source_folder = scratch.path();
    PackageWriteResult result = write_package(options, header);
    if (result != PackageWriteResult::Written) {
        build.errors.push_back(std::string(write_result_text(result)) + " (code "
                               + std::to_string(static_cast<int>(result)) + ")");
        return build;
    }
    build.ok = true;
    return build;
}

} // namespace ruk
