// Splitting compiled command texts into words and parameters.
#include "core/Command.h"

#include "core/Text.h"

namespace ruk {

const std::string Command::s_empty;

Command::Command()
{
    for (auto& w : m_words)
        w.reserve(WordCapacity + 1);
    for (auto& p : m_params)
        p.reserve(13);
}

const std::string& Command::param(int n) const
{
    if (n < 1 || n > ParamCount)
        return s_empty;
    return m_params[static_cast<size_t>(n - 1)];
}

int32_t Command::param_int(int n, int32_t fallback) const
{
    return eval_int(param(n), fallback);
}

bool Command::split(std::string_view text)
{
    size_t pos = 0;
    const size_t n = text.size();

    // Words: up to six, each cut at 31 bytes; a seventh and later are skipped.
    int w = 0;
    for (auto& word : m_words)
        word.clear();
    while (pos < n) {
        char c = text[pos];
        if (c == tok::Open)
            break;
        if (c == tok::Sep) {
            ++pos;
            if (++w == WordCount)
                break;
            continue;
        }
        if (m_words[static_cast<size_t>(w)].size() < WordCapacity)
            m_words[static_cast<size_t>(w)].push_back(c);
        ++pos;
    }
    while (pos < n && text[pos] != tok::Open)
        ++pos;

    for (auto& p : m_params)
        p.clear();
    if (pos >= n)
        return true; // no parameter list at all: nothing to read

    // Parameters: only a separator ends one; parentheses stay inside.
    ++pos;
    size_t k = 0;
    bool received = false;
    bool overflow = false;
    for (; pos < n; ++pos) {
        char c = text[pos];
        if (c == tok::Sep) {
            if (k + 1 == ParamCount) {
                overflow = true;
                break;
            }
            ++k;
            received = false;
            continue;
        }
        m_params[k].push_back(c);
        received = true;
    }
    if (overflow || !received)
        return false;
    m_params[k].pop_back(); // the closing byte of the list
    return true;
}

std::string Command::describe() const
{
    std::string out = m_words[0];
    for (int i = 1; i < WordCount && !m_words[static_cast<size_t>(i)].empty(); ++i) {
        out += '.';
        out += m_words[static_cast<size_t>(i)];
    }
    out += '(';
    out += m_params[0];
    for (int i = 1; i < ParamCount && !m_params[static_cast<size_t>(i)].empty(); ++i) {
        out += ',';
        out += m_params[static_cast<size_t>(i)];
    }
    out += ')';
    return out;
}

} // namespace ruk
