// Building a package straight from script sources.
#pragma once

#include "host/Package.h"
#include "system/Translator.h"

#include <string>
#include <vector>

namespace ruk {

// A compile error of one source file.
struct SourceError {
    std::string file;  // the source's path as it was found
    CompileError error;
};

// What compiling one source, or the sources of a folder, gave.
struct CompiledSources {
    std::vector<std::string> files;       // the sources, in the order they were compiled
    std::vector<std::string> lines;       // the compiled lines of every source, in that order
    std::vector<std::string> unreadable;  // sources that are not readable regular files
    std::vector<SourceError> errors;
    bool ok() const { return !files.empty() && unreadable.empty() && errors.empty(); }
};

// Compiles one source file (whatever its name), or every *.rks of a folder
// (letter case of the extension ignored) in file-name order. Sources are
// read only when they are regular files: a pipe or a device named as a
// source would hold the caller for ever. A folder without sources gives no
// files.
CompiledSources compile_sources(const std::string& input);

struct SourceBuild {
    bool ok = false;
    // One line per problem: "NAME.rks:LINE: message (code N)" for compile
    // errors, or a plain sentence.
    std::vector<std::string> errors;
};

// Compiles one .rks file, or every *.rks of a folder in file-name order, into
// "identity.qexe" and packs it into `options.output_path`, together with the
// folder's other files (not the sources). The packing happens in a private
// copy, so the source folder is never changed. Nothing is written when a
// source does not compile.
SourceBuild build_package_from_sources(const std::string& input, PackageWriteOptions options,
                                       const PackageHeader& header);

// Whether a path names script source (a .rks file or a folder) rather than a package.
bool is_source_path(const std::string& path);

} // namespace ruk
