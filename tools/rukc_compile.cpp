// rukc compile (script source to code file) and rukc dis (code file back to readable lines).
#include "tools/Commands.h"

#include "host/FileIo.h"
#include "host/ReplacingFile.h"

#include "core/CodeStore.h"
#include "core/Text.h"
#include "system/Translator.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace rukc {

namespace {

// Sources are regular files only: a pipe or a device could block for ever.
std::optional<std::string> read_file(const std::string& path)
{
    return ruk::read_whole_file(path);
}

// The output is replaced whole: a failed write leaves the older file.
bool write_file(const std::string& path, std::string_view data)
{
    return ruk::replace_file_contents(path, data);
}

// A compiled line in the notation error reports use, with the comparison
// and connector bytes written as their operators.
std::string show_line(std::string_view compiled)
{
    std::string out;
    out.reserve(compiled.size() + 8);
    size_t plain_start = 0;
    auto flush = [&](size_t end) {
        out += ruk::show_tokens(compiled.substr(plain_start, end - plain_start));
    };
    for (size_t i = 0; i < compiled.size(); ++i) {
        const char* op = nullptr;
        switch (compiled[i]) {
        case '\x01': op = "<>"; break;
        case '\x02': op = "<"; break;
        case '\x03': op = ">"; break;
        case '\x04': op = "="; break;
        case '\x05': op = "<="; break;
        case '\x06': op = ">="; break;
        case ruk::tok::And: op = "&&"; break;
        case ruk::tok::Or: op = "||"; break;
        default: break;
        }
        if (op) {
            flush(i);
            out += op;
            plain_start = i + 1;
        }
    }
    flush(compiled.size());
    return out;
}

} // namespace

int cmd_compile(const Args& args)
{
    std::vector<std::string> sources;
    std::optional<std::string> output;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "rukc compile: -o needs a file name\n");
                return 2;
            }
            if (output) {
                std::fprintf(stderr, "rukc compile: -o given twice\n");
                return 2;
            }
            output = args[++i];
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            std::fprintf(stderr, "rukc compile: unknown option '%s'\n", args[i].c_str());
            return 2;
        } else {
            sources.push_back(args[i]);
        }
    }
    if (sources.empty() || !output) {
        std::fprintf(stderr, "usage: rukc compile SRC.rks [SRC2.rks ...] -o CODEFILE\n");
        return 2;
    }

    std::vector<std::string> lines;
    bool failed = false;
    for (const std::string& path : sources) {
        std::optional<std::string> text = read_file(path);
        if (!text) {
            std::fprintf(stderr, "rukc compile: cannot read '%s'\n", path.c_str());
            return 1;
        }
        ruk::CompiledSource compiled = ruk::compile_source(*text);
        for (const ruk::CompileError& e : compiled.errors)
            std::fprintf(stderr, "%s:%d: %s (code %d)\n", path.c_str(), e.line, e.message.c_str(), e.code);
        if (!compiled.errors.empty())
            failed = true;
        for (std::string& l : compiled.lines)
            lines.push_back(std::move(l));
    }
    if (failed)
        return 1;
    if (!write_file(*output, ruk::encode_code_file(lines))) {
        std::fprintf(stderr, "rukc compile: cannot write '%s'\n", output->c_str());
        return 1;
    }
    return 0;
}

int cmd_dis(const Args& args)
{
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: rukc dis CODEFILE\n");
        return 2;
    }
    ruk::CodeStore store;
    // A pipe or a device named as the code file would hold the tool for ever.
    if (!ruk::read_whole_file(args[0]) || !store.load_code(args[0])) {
        std::fprintf(stderr, "rukc dis: cannot read '%s'\n", args[0].c_str());
        return 1;
    }
    std::string text;
    for (int32_t n = 0; n < store.line_count(); ++n) {
        const ruk::CodeLine& line = store.line(n);
        text = std::to_string(n);
        text += ": ";
        if (!line.target.empty()) {
            text += '&';
            text += show_line(line.target);
            text += '=';
        }
        text += show_line(line.command);
        text += '\n';
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace rukc
