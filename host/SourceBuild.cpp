// Compiling sources into a code file and packing it.
#include "host/SourceBuild.h"

#include "host/FileIo.h"
#include "host/TemporaryFolder.h"

#include "core/Text.h"
#include "system/Translator.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace ruk {

CompiledSources compile_sources(const std::string& input)
{
    CompiledSources result;
    std::error_code ec;
    if (fs::is_directory(input, ec)) {
        for (fs::directory_iterator it(input, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec) && ends_with_ignoring_case(it->path().filename().string(), ".rks"))
                result.files.push_back(it->path().string());
        std::sort(result.files.begin(), result.files.end());
    } else {
        result.files.push_back(input);
    }
    for (const std::string& file : result.files) {
        std::optional<std::string> text = read_whole_file(file);
        if (!text) {
            result.unreadable.push_back(file);
            continue;
        }
        CompiledSource compiled = compile_source(*text);
        for (const CompileError& e : compiled.errors)
            result.errors.push_back({file, e});
        result.lines.insert(result.lines.end(), compiled.lines.begin(), compiled.lines.end());
    }
    return result;
}

bool is_source_path(const std::string& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec) || ends_with_ignoring_case(path, ".rks");
}

SourceBuild build_package_from_sources(const std::string& input, PackageWriteOptions options,
                                       const PackageHeader& header)
{
    SourceBuild build;
    std::error_code ec;
    const bool folder = fs::is_directory(input, ec);
    if (!folder && !ends_with_ignoring_case(input, ".rks")) {
        build.errors.push_back(input + " holds no .rks source");
        return build;
    }
    CompiledSources sources = compile_sources(input);
    for (const std::string& file : sources.unreadable)
        build.errors.push_back("cannot read " + file + " (not a readable regular file)");
    for (const SourceError& e : sources.errors)
        build.errors.push_back(fs::path(e.file).filename().string() + ":" + std::to_string(e.error.line) + ": "
                               + e.error.message + " (code " + std::to_string(e.error.code) + ")");
    if (sources.files.empty())
        build.errors.push_back(input + " holds no .rks source");
    if (!build.errors.empty())
        return build;

    TemporaryFolder scratch("ruk-build");
    if (scratch.path().empty()) {
        build.errors.push_back("cannot create a temporary folder");
        return build;
    }
    if (folder) {
        // The folder's other files go into the package beside the code.
        std::vector<fs::path> others;
        for (fs::directory_iterator it(input, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec))
                others.push_back(it->path());
        for (const fs::path& file : others) {
            std::string name = file.filename().string();
            if (ends_with_ignoring_case(name, ".rks") || name == "identity.qexe")
                continue;
            fs::copy_file(file, fs::path(scratch.path()) / name, ec);
            if (ec) {
                build.errors.push_back("cannot copy " + name + ": " + ec.message());
                return build;
            }
        }
    }
    std::string code_file = encode_code_file(sources.lines);
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
