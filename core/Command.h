// The current command: its words and parameters, split from a compiled command text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ruk {

// Words 0 to 5 and parameters 1 to 13 of the most recently split command.
// The buffers are made once and reused, so splitting allocates nothing once
// they have grown to the sizes a script uses. Absent words and parameters are
// empty texts; an absent parameter and an empty one are the same.
class Command {
public:
    static constexpr int WordCount = 6;
    static constexpr int ParamCount = 13;
    static constexpr size_t WordCapacity = 31;

    Command();

    // Splits a command text. Returns false when the last parameter received no
    // byte at all (the text ends right after the opening byte or a separator,
    // or a fourteenth parameter follows the thirteenth): the caller reports
    // the syntax error and still runs what was read.
    bool split(std::string_view text);

    const std::string& word(int i) const { return m_words[static_cast<size_t>(i)]; }
    // Parameter n, counted from 1; an empty text outside 1..13.
    const std::string& param(int n) const;
    int32_t param_int(int n, int32_t fallback) const;

    void set_word(int i, std::string_view text) { m_words[static_cast<size_t>(i)].assign(text); }
    void set_param(int n, std::string_view text) { m_params[static_cast<size_t>(n - 1)].assign(text); }

    // The command as error reports show it: words joined with "." up to the
    // first empty one, then the parameters up to the first empty one in
    // parentheses, separated by ",".
    std::string describe() const;

private:
    std::array<std::string, WordCount> m_words;
    std::array<std::string, ParamCount> m_params;
    static const std::string s_empty;
};

} // namespace ruk
