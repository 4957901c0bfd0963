// rukc: the command-line tool that compiles script sources and builds and inspects packages.
#include "tools/Commands.h"

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

struct SubCommand {
    const char* name;
    int (*run)(const rukc::Args&);
    const char* usage;
};

const SubCommand commands[] = {
    {"compile", rukc::cmd_compile, "compile SRC.rks [SRC2.rks ...] -o CODEFILE"},
    {"dis", rukc::cmd_dis, "dis CODEFILE"},
    {"run", rukc::cmd_run, "run [--timeout SECONDS] [--verbose] SRC.rks|SRCDIR [args...]"},
    {"pack", rukc::cmd_pack, "pack DIR -o PKG [--family ID] [--id ID] [--id2 ID] [--short TEXT] [--long TEXT] [--filter F] [--include-k]"},
    {"build", rukc::cmd_build, "build DIR -o PKG [pack options]"},
    {"list", rukc::cmd_list, "list PKG"},
    {"extract", rukc::cmd_extract, "extract PKG DIR [--filter F]"},
    {"compress", rukc::cmd_compress, "compress IN OUT"},
    {"expand", rukc::cmd_expand, "expand IN OUT"},
    {"reg", rukc::cmd_reg, "reg list|get|set|delete KEY [VALUE [TEXT]]"},
};

void usage(FILE* out)
{
    std::fprintf(out, "usage: rukc COMMAND [ARGS...]\n\ncommands:\n");
    for (const auto& c : commands)
        std::fprintf(out, "  rukc %s\n", c.usage);
}

} // namespace

int main(int argc, char** argv)
{
    // Past a file-size limit a write fails and is reported, instead of the
    // signal ending the tool with half-written output.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    if (!std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "help")) {
        usage(stdout);
        return 0;
    }
    for (const auto& c : commands) {
        if (!std::strcmp(argv[1], c.name))
            return c.run(rukc::Args(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "rukc: unknown command '%s'\n", argv[1]);
    usage(stderr);
    return 2;
}
