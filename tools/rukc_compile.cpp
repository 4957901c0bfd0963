// rukc compile and dis (placeholder until the translator lands).
#include "tools/Commands.h"

#include <cstdio>

namespace rukc {

int cmd_compile(const Args&) { std::fprintf(stderr, "rukc compile: not available yet\n"); return 2; }
int cmd_dis(const Args&) { std::fprintf(stderr, "rukc dis: not available yet\n"); return 2; }

} // namespace rukc
