// rukc package commands (placeholder until the package format lands).
#include "tools/Commands.h"

#include <cstdio>

namespace rukc {

static int not_yet(const char* name)
{
    std::fprintf(stderr, "rukc %s: not available yet\n", name);
    return 2;
}

int cmd_pack(const Args&) { return not_yet("pack"); }
int cmd_build(const Args&) { return not_yet("build"); }
int cmd_list(const Args&) { return not_yet("list"); }
int cmd_extract(const Args&) { return not_yet("extract"); }
int cmd_compress(const Args&) { return not_yet("compress"); }
int cmd_expand(const Args&) { return not_yet("expand"); }

} // namespace rukc
