// rukc: the command-line tool that compiles script sources and builds and inspects packages.
#include "tools/Commands.h"

#include "help/rukc_help.h"

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

struct SubCommand {
    const char* name;
    int (*run)(const rukc::Args&);
};

const SubCommand commands[] = {
    {"compile", rukc::cmd_compile},
    {"dis", rukc::cmd_dis},
    {"run", rukc::cmd_run},
    {"pack", rukc::cmd_pack},
    {"build", rukc::cmd_build},
    {"list", rukc::cmd_list},
    {"extract", rukc::cmd_extract},
    {"compress", rukc::cmd_compress},
    {"expand", rukc::cmd_expand},
    {"reg", rukc::cmd_reg},
};

// The usage and every command, from the same source text as the manual page.
void usage(FILE* out)
{
    std::fputs(ruk::help::Help, out);
}

const char* command_help(const char* word)
{
    for (const ruk::help::CommandHelp* h = ruk::help::Commands; h->word; ++h)
        if (!std::strcmp(h->word, word))
            return h->text;
    return nullptr;
}

bool is_help(const char* arg)
{
    return !std::strcmp(arg, "-h") || !std::strcmp(arg, "--help");
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
    if (is_help(argv[1]) || (!std::strcmp(argv[1], "help") && argc == 2)) {
        usage(stdout);
        return 0;
    }
    if (!std::strcmp(argv[1], "--version")) {
        std::printf("rukc %s\n", ruk::help::Version);
        return 0;
    }
    // "rukc help COMMAND" and "rukc COMMAND --help" print the command's help.
    const bool help_first = !std::strcmp(argv[1], "help");
    const char* word = help_first ? argv[2] : argv[1];
    for (const auto& c : commands) {
        if (std::strcmp(word, c.name))
            continue;
        if (help_first || (argc > 2 && is_help(argv[2]))) {
            const char* text = command_help(c.name);
            std::fputs(text ? text : ruk::help::Help, stdout);
            return 0;
        }
        return c.run(rukc::Args(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "rukc: unknown command '%s'\n", word ? word : "");
    usage(stderr);
    return 2;
}
