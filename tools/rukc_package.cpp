// rukc package commands: pack, build, list, extract, compress and expand.
#include "tools/Commands.h"

#include "core/Random.h"
#include "host/Package.h"
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

const char* write_result_text(ruk::PackageWriteResult result)
{
    switch (result) {
    case ruk::PackageWriteResult::Written:
        return "package written";
    case ruk::PackageWriteResult::CannotCreateOutput:
        return "the output file could not be created or written";
    case ruk::PackageWriteResult::TooManyFiles:
        return "the folder yields 5000 or more files to pack";
    case ruk::PackageWriteResult::CannotOpenFile:
        return "a file to pack could not be opened or read";
    case ruk::PackageWriteResult::NameTooLong:
        return "a file name is too long (45 characters or more, or 44 for a file that is compressed)";
    }
    return "unknown result";
}

int run_writer(const char* command, const std::string& folder, const ruk::PackageHeader& header,
    ruk::PackageWriteOptions options, const std::string& shown_folder)
{
    options.source_folder = folder;
    ruk::PackageWriteResult result = ruk::write_package(options, header);
    if (result != ruk::PackageWriteResult::Written) {
        std::fprintf(stderr, "rukc %s: %s: %s (code %d)\n", command, shown_folder.c_str(), write_result_text(result),
            static_cast<int>(result));
        return 1;
    }
    std::printf("%s: package id %s\n", options.output_path.c_str(), header.package_id.c_str());
    return 0;
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

std::optional<std::string> read_text_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

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
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/rukc-build-XXXXXX";
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

    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec))
            names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());

    std::vector<std::string> code;
    bool failed = false;
    int sources = 0;
    for (const std::string& name : names) {
        if (!has_extension(name, ".rks"))
            continue;
        ++sources;
        auto text = read_text_file(fs::path(folder) / name);
        if (!text) {
            std::fprintf(stderr, "rukc build: cannot read %s\n", name.c_str());
            failed = true;
            continue;
        }
        ruk::CompiledSource compiled = ruk::compile_source(*text);
        for (const ruk::CompileError& e : compiled.errors)
            std::fprintf(stderr, "%s:%d: %s (code %d)\n", name.c_str(), e.line, e.message.c_str(), e.code);
        failed = failed || !compiled.errors.empty();
        code.insert(code.end(), compiled.lines.begin(), compiled.lines.end());
    }
    if (sources == 0) {
        std::fprintf(stderr, "rukc build: %s holds no .rks source\n", folder.c_str());
        return 1;
    }
    if (failed)
        return 1;

    // The package is built from a copy, so the user's folder stays as it was
    // and the sources are not packed.
    ScratchFolder scratch;
    if (scratch.path().empty()) {
        std::fprintf(stderr, "rukc build: cannot create a temporary folder\n");
        return 1;
    }
    for (const std::string& name : names) {
        if (has_extension(name, ".rks") || name == "identity.qexe")
            continue;
        fs::copy_file(fs::path(folder) / name, fs::path(scratch.path()) / name, ec);
        if (ec) {
            std::fprintf(stderr, "rukc build: cannot copy %s: %s\n", name.c_str(), ec.message().c_str());
            return 1;
        }
    }
    std::string code_file = ruk::encode_code_file(code);
    {
        std::ofstream out(fs::path(scratch.path()) / "identity.qexe", std::ios::binary);
        out.write(code_file.data(), static_cast<std::streamsize>(code_file.size()));
        if (!out) {
            std::fprintf(stderr, "rukc build: cannot write the code file\n");
            return 1;
        }
    }
    return run_writer("build", scratch.path(), header, options, folder);
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
        h.family_id.c_str(), h.package_id.c_str(), h.second_id.c_str(), h.short_text.c_str(), h.long_text.c_str(),
        listing->entries.size());
    bool all_complete = true;
    for (const ruk::PackageEntry& e : listing->entries) {
        std::printf("%12llu  %-45s  %s%s\n", static_cast<unsigned long long>(e.stored_size), e.stored_name.c_str(),
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
            name.c_str());
    std::printf("%d member%s extracted to %s\n", result.extracted, result.extracted == 1 ? "" : "s", folder.c_str());
    return result.skipped.empty() ? 0 : 1;
}

int cmd_compress(const Args& raw)
{
    auto args = parse_args("compress", raw, 2, {}, {});
    if (!args)
        return 2;
    const std::string& in = args->positional[0];
    const std::string& out = args->positional[1];
    std::error_code ec;
    if (!fs::is_regular_file(in, ec)) {
        std::fprintf(stderr, "rukc compress: cannot read %s\n", in.c_str());
        return 1;
    }
    ruk::Compressor compressor;
    if (!compressor.compress_file(in, out)) {
        bool empty = fs::file_size(in, ec) == 0 && !ec;
        std::fprintf(stderr, "rukc compress: %s\n",
            empty ? "the input is empty; the output holds only the stream header"
                  : "compression failed (unreadable input, input of 4 GiB or more, or the output cannot be written)");
        return 1;
    }
    return 0;
}

int cmd_expand(const Args& raw)
{
    auto args = parse_args("expand", raw, 2, {}, {});
    if (!args)
        return 2;
    const std::string& in = args->positional[0];
    const std::string& out = args->positional[1];
    std::error_code ec;
    if (!fs::is_regular_file(in, ec)) {
        std::fprintf(stderr, "rukc expand: cannot read %s\n", in.c_str());
        return 1;
    }
    ruk::Compressor compressor;
    if (!compressor.expand_file(in, out)) {
        std::fprintf(stderr,
            "rukc expand: %s is not a complete compressed stream (bad marker, zero length or truncated data), "
            "or the output cannot be written\n",
            in.c_str());
        return 1;
    }
    return 0;
}

} // namespace rukc
