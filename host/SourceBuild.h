// Building a package straight from script sources.
#pragma once

#include "host/Package.h"

#include <string>
#include <vector>

namespace ruk {

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
