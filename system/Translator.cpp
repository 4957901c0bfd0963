// Source-line translation (placeholder).
#include "system/Translator.h"

namespace ruk {

TranslateResult translate_line(std::string&) { return {}; }
const char* translate_message(int) { return ""; }
CompiledSource compile_source(std::string_view) { return {}; }
std::string encode_code_file(const std::vector<std::string>&) { return {}; }

} // namespace ruk
