// Translation of script source lines into compiled lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ruk {

// Result codes of translate_line.
enum TranslateCode : int {
    TranslateOk = 1,               // translated (or empty after comment removal: unchanged)
    TranslateNoVariable = 2,       // used by the script binding: no such variable
    TranslateOpenString = 100,     // a string literal is not closed
    TranslateUnbalanced = 101,     // parentheses outside literals do not balance
    TranslateBadWords = 200,       // words followed by neither a parameter list, "=" nor the end
    TranslateBadIf = 201,          // "if" with a second word other than else/end and not one parameter
    TranslateBadFor = 202,         // "for" alone without parameters
};

struct TranslateResult {
    int code = TranslateOk;
    bool empty = false; // the line was empty after comment removal (left unchanged)
};

// Translates one source line in place. On any code but 1 the line is left as it was.
TranslateResult translate_line(std::string& line);

// A human-readable text for a result code.
const char* translate_message(int code);

struct CompileError {
    int line;     // 1-based line number in the source text
    int code;
    std::string message;
};

// Translates every line of a source text; lines that are empty after comment
// removal are dropped. `lines` holds the compiled lines in order.
struct CompiledSource {
    std::vector<std::string> lines;
    std::vector<CompileError> errors;
};
CompiledSource compile_source(std::string_view text);

// The code file form: every line followed by CR LF, every byte complemented.
std::string encode_code_file(const std::vector<std::string>& lines);

} // namespace ruk
