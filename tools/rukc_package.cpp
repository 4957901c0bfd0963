// rukc package commands: pack, build, list, extract, compress and expand.
#include "tools/Commands.h"

#include "core/Random.h"
#include "host/Package.h"
#include "host/ReplacingFile.h"
#include "host/SourceBuild.h"
#include "host/Zip.h"
#include "system/Translator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <unistd.h>

namespace rukc {

namespace fs = std::filesystem;

namespace {

// The arguments of one sub-command: positional words, options with a value
// ("-o PKG") and switches ("--include-k").
struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> switches;

    bool has(const std::string& name) const { return values.count(name) != 0; }
    std::string value(const std::string& name) const
    {
        auto it = values.find(name);
        return it == values.end() ? std::string() : it->second;
    }
};

// Splits `args`; prints a message and returns nothing on an unknown option,
// a missing value, or a positional count other than `positional_count`.
std::optional<ParsedArgs> parse_args(const char* command, const Args& args, size_t positional_count,
    const std::set<std::string>& value_options, const std::set<std::string>& switch_options)
{
    ParsedArgs parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (value_options.count(arg)) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "rukc %s: %s needs a value\n", command, arg.c_str());
                return std::nullopt;
            }
            parsed.values[arg] = args[++i];
        } else if (switch_options.count(arg)) {
            parsed.switches.insert(arg);
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "rukc %s: unknown option %s\n", command, arg.c_str());
            return std::nullopt;
        } else {
            parsed.positional.push_back(arg);
        }
    }
    if (parsed.positional.size() != positional_count) {
        std::fprintf(stderr, "rukc %s: expected %zu argument%s, got %zu (see rukc --help)\n", command, positional_count,
            positional_count == 1 ? "" : "s", parsed.positional.size());
        return std::nullopt;
    }
    return parsed;
}

const std::set<std::string> pack_values = {"-o", "--family", "--id", "--id2", "--short", "--long", "--filter"};
const std::set<std::string> pack_switches = {"--include-k"};

// Turns the pack options into the header and writer options; prints a
// message and returns false when a text does not fit its header field.
bool pack_settings(const char* command, const ParsedArgs& args, ruk::PackageHeader& header,
    ruk::PackageWriteOptions& options)
{
    using namespace ruk::package_layout;
    struct Field {
        const char* option;
        std::string* target;
        size_t width;
    };
    std::string family;
    const Field fields[] = {{"--family", &family, FamilyWidth}, {"--id", &header.package_id, IdWidth},
        {"--id2", &header.second_id, SecondIdWidth}, {"--short", &header.short_text, ShortWidth},
        {"--long", &header.long_text, LongWidth}};
    for (const Field& f : fields) {
        *f.target = args.value(f.option);
        if (f.target->size() > f.width) {
            std::fprintf(stderr, "rukc %s: %s takes at most %zu characters\n", command, f.option, f.width);
            return false;
        }
    }
    if (!args.has("--id")) {
        ruk::Random random;
        random.seed_from_clock();
        header.package_id = random.random_id();
    }
    if (!args.has("-o") || args.value("-o").empty()) {
        std::fprintf(stderr, "rukc %s: the output package is missing (-o PKG)\n", command);
        return false;
    }
    options.output_path = args.value("-o");
    options.filter = args.value("--filter");
    options.include_k = args.switches.count("--include-k") != 0;
    options.family_id = family;
    return true;
}

int run_writer(const char* command, const std::string& folder, const ruk::PackageHeader& header,
    ruk::PackageWriteOptions options, const std::string& shown_folder)
{
    options.source_folder = folder;
    ruk::PackageWriteResult result = ruk::write_package(options, header);
    if (result != ruk::PackageWriteResult::Written) {
        std::fprintf(stderr, "rukc %s: %s: %s (code %d)\n", command, shown_folder.c_str(), ruk::write_result_text(result),
            static_cast<int>(result));
        return 1;
    }
    std::printf("%s: package id %s\n", options.output_path.c_str(), header.package_id.c_str());
    return 0;
}

// A text from a package as it may be shown on a terminal: control bytes
// and DEL become \xNN and a backslash is doubled, so that a package cannot
// send escape sequences and every shown name reads back unambiguously.
std::string printable(std::string_view text)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 15];
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += c;
        }
    }
    return out;
}

bool require_folder(const char* command, const std::string& folder)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        std::fprintf(stderr, "rukc %s: %s is not a folder\n", command, folder.c_str());
        return false;
    }
    return true;
}

} // namespace

int cmd_pack(const Args& raw)
{
    auto args = parse_args("pack", raw, 1, pack_values, pack_switches);
    if (!args)
        return 2;
    ruk::PackageHeader header;
    ruk::PackageWriteOptions options;
    if (!pack_settings("pack", *args, header, options))
        return 2;
    const std::string& folder = args->positional[0];
    if (!require_folder("pack", folder))
        return 1;
    return run_writer("pack", folder, header, options, folder);
}

int cmd_build(const Args& raw)
{
    auto args = parse_args("build", raw, 1, pack_values, pack_switches);
    if (!args)
        return 2;
    ruk::PackageHeader header;
    ruk::PackageWriteOptions options;
    if (!pack_settings("build", *args, header, options))
        return 2;
    const std::string& folder = args->positional[0];
    if (!require_folder("build", folder))
        return 1;
    ruk::SourceBuild build = ruk::build_package_from_sources(folder, options, header);
    for (const std::string& error : build.errors)
        std::fprintf(stderr, "%s\n", error.c_str());
    if (!build.ok)
        return 1;
    std::printf("%s: package id %s\n", options.output_path.c_str(), header.package_id.c_str());
    return 0;
}

int cmd_list(const Args& raw)
{
    auto args = parse_args("list", raw, 1, {}, {});
    if (!args)
        return 2;
    const std::string& path = args->positional[0];
    std::string error;
    auto listing = ruk::list_package(path, &error);
    if (!listing) {
        std::fprintf(stderr, "rukc list: %s: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    const ruk::PackageHeader& h = listing->header;
    std::printf("family id:  %s\npackage id: %s\nsecond id:  %s\nshort text: %s\nlong text:  %s\nentries:    %zu\n",
        printable(h.family_id).c_str(), printable(h.package_id).c_str(), printable(h.second_id).c_str(),
        printable(h.short_text).c_str(), printable(h.long_text).c_str(), listing->entries.size());
    bool all_complete = true;
    for (const ruk::PackageEntry& e : listing->entries) {
        std::printf("%12llu  %-45s  %s%s\n", static_cast<unsigned long long>(e.stored_size), printable(e.stored_name).c_str(),
            e.compressed() ? "compressed" : "stored", e.complete ? "" : "  (data missing)");
        all_complete = all_complete && e.complete;
    }
    if (!all_complete) {
        std::fprintf(stderr, "rukc list: %s: the file ends before all member data\n", path.c_str());
        return 1;
    }
    return 0;
}

int cmd_extract(const Args& raw)
{
    auto args = parse_args("extract", raw, 2, {"--filter"}, {});
    if (!args)
        return 2;
    const std::string& path = args->positional[0];
    const std::string& folder = args->positional[1];
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!require_folder("extract", folder))
        return 1;
    ruk::PackageHeader header;
    ruk::PackageReadOptions options;
    options.destination = folder;
    options.filter = args->value("--filter");
    ruk::PackageReadResult result = ruk::read_package(path, header, options);
    if (!result.header_read) {
        std::fprintf(stderr, "rukc extract: %s is not a readable package\n", path.c_str());
        return 1;
    }
    for (const std::string& name : result.skipped)
        std::fprintf(stderr, "rukc extract: %s: member could not be written (unsafe name, missing data or a failed expansion)\n",
            printable(name).c_str());
    std::printf("%d member%s extracted to %s\n", result.extracted, result.extracted == 1 ? "" : "s", folder.c_str());
    return result.skipped.empty() ? 0 : 1;
}

namespace {

// "compress" and "expand": one input file, one output file.
int run_compressor(const char* command, const Args& raw, bool compress)
{
    auto args = parse_args(command, raw, 2, {}, {});
    if (!args)
        return 2;
    const std::string& in = args->positional[0];
    const std::string& out = args->positional[1];
    std::error_code ec;
    if (!fs::is_regular_file(in, ec)) {
        std::fprintf(stderr, "rukc %s: cannot read %s\n", command, in.c_str());
        return 1;
    }
    ruk::Compressor compressor;
    // The result goes to a temporary file beside the output and takes its
    // place only when complete: a failed write (a full disk, a file-size
    // limit) leaves no truncated output that looks whole, and an older
    // output stays as it was.
    // A folder that takes no new file gets the output written in place.
    ruk::ReplacingFile output;
    if (!output.open(out, true)) {
        std::fprintf(stderr, "rukc %s: cannot write %s\n", command, out.c_str());
        return 1;
    }
    const std::string target = output.temp_path().empty() ? out : output.temp_path();
    bool ok = compress ? compressor.compress_file(in, target) : compressor.expand_file(in, target);
    bool empty_input = compress && !ok && fs::file_size(in, ec) == 0 && !ec;
    if (ok || empty_input) {
        if (!output.commit(false)) {
            std::fprintf(stderr, "rukc %s: cannot write %s\n", command, out.c_str());
            return 1;
        }
        if (ok)
            return 0;
    } else if (output.temp_path().empty()) {
        // Written in place and failed: no truncated output may look whole.
        ::unlink(out.c_str());
    }
    if (!compress)
        std::fprintf(stderr,
            "rukc expand: %s is not a complete compressed stream (bad marker, zero length or truncated data), "
            "or the output cannot be written\n",
            in.c_str());
    else if (empty_input)
        std::fprintf(stderr, "rukc compress: the input is empty; the output holds only the stream header\n");
    else
        std::fprintf(stderr, "rukc compress: compression failed (unreadable input, input of 4 GiB or more, "
                             "or the output cannot be written)\n");
    return 1;
}

} // namespace

int cmd_compress(const Args& raw)
{
    return run_compressor("compress", raw, true);
}

int cmd_expand(const Args& raw)
{
    return run_compressor("expand", raw, false);
}

} // namespace rukc
