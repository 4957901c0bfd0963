// The current command: its words and parameters, split from a compiled command text.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ruk {

// Where a piece of a command text lies: byte offset and length.
struct Span {
    uint32_t pos = 0;
    uint32_t len = 0;
};

// The words and parameters of a command text as spans of that text, the
// form a split keeps for lines it decodes once. Words are already cut to
// their capacity; `params` counts the parameters read (0 when the text has no
// parameter list).
struct SplitSpans {
    std::array<Span, 6> words;
    std::array<Span, 13> params;
    uint8_t word_count = 0;
    uint8_t param_count = 0;
    bool ok = true;           // false: the syntax error of a missing closing byte
    uint32_t list_start = 0;  // offset of the byte after the opening 0x8F, or the text size
};

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
    // Splits a text into spans without touching the current command.
    static void split_spans(std::string_view text, SplitSpans& out);
    // Splits only the parameter list that starts at `list_start` (just after
    // the opening byte) into spans; the words are left alone.
    static bool split_param_spans(std::string_view text, size_t list_start, SplitSpans& out);
    // Makes the current command the one described by spans of a text.
    void assign_spans(std::string_view text, const Span* words, int word_count, const Span* params, int param_count);
    // Replaces only the parameters by spans of a text.
    void assign_param_spans(std::string_view text, const Span* params, int param_count);
    // Makes the words those of a text whose pieces are contiguous: the first
    // starts at `start`, each ends where `ends` says and the next starts one
    // byte later (after its separator). Words are cut to their capacity.
    void assign_words(std::string_view text, uint32_t start, const uint16_t* ends, int count);
    // The same for the parameters.
    void assign_params(std::string_view text, uint32_t start, const uint16_t* ends, int count);
    // Splits the parameter list of a text that starts at `list_start` (just
    // after the opening byte) straight into the parameters; the words are
    // left alone. Returns false as split does.
    bool assign_param_list(std::string_view text, size_t list_start);

    // Makes the words texts kept elsewhere, without copying them: a decoded
    // line's word list, which lives as long as the engine.
    void use_words(const std::string* words, int count)
    {
        m_shared_words = words;
        m_shared_word_count = count;
    }

    const std::string& word(int i) const
    {
        if (m_shared_words)
            return i < m_shared_word_count ? m_shared_words[i] : s_empty;
        return m_words[static_cast<size_t>(i)];
    }
    // Parameter n, counted from 1; an empty text outside 1..13.
    const std::string& param(int n) const
    {
        if (n < 1 || n > ParamCount)
            return s_empty;
        return m_params[static_cast<size_t>(n - 1)];
    }
    int32_t param_int(int n, int32_t fallback) const;

    void set_word(int i, std::string_view text)
    {
        own_words();
        m_words[static_cast<size_t>(i)].assign(text);
        m_used_words = std::max(m_used_words, i + 1);
    }
    void set_param(int n, std::string_view text)
    {
        m_params[static_cast<size_t>(n - 1)].assign(text);
        m_used_params = std::max(m_used_params, n);
    }

    // The command as error reports show it: words joined with "." up to the
    // first empty one, then the parameters up to the first empty one in
    // parentheses, separated by ",".
    std::string describe() const;

private:
    // Copies shared words into the command's own buffers.
    void own_words();

    std::array<std::string, WordCount> m_words;
    std::array<std::string, ParamCount> m_params;
    int m_used_words = WordCount;   // words that may be non-empty
    int m_used_params = ParamCount; // parameters that may be non-empty
    const std::string* m_shared_words = nullptr; // when set, the words instead of m_words
    int m_shared_word_count = 0;
    static const std::string s_empty;
};

} // namespace ruk
