// rukc run (placeholder).
#include "tools/Commands.h"

#include <cstdio>

namespace rukc {

int cmd_run(const Args&) { std::fprintf(stderr, "rukc run: not available yet\n"); return 2; }

} // namespace rukc
