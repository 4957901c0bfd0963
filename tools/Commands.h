// The rukc sub-commands; each takes the arguments after its own name.
#pragma once

#include <string>
#include <vector>

namespace rukc {

using Args = std::vector<std::string>;

int cmd_compile(const Args& args);
int cmd_dis(const Args& args);
int cmd_run(const Args& args);
int cmd_pack(const Args& args);
int cmd_build(const Args& args);
int cmd_list(const Args& args);
int cmd_extract(const Args& args);
int cmd_compress(const Args& args);
int cmd_expand(const Args& args);
int cmd_reg(const Args& args);

} // namespace rukc
