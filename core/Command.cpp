// Splitting compiled command texts into words and parameters.
#include "core/Command.h"

#include "core/Text.h"
#include "core/TextCopy.h"

#include <algorithm>
#include <cstring>

namespace ruk {

const std::string Command::s_empty;

Command::Command()
{
    for (auto& w : m_words)
        w.reserve(WordCapacity + 1);
    for (auto& p : m_params)
        p.reserve(13);
}

void Command::own_words()
{
    if (!m_shared_words)
        return;
    const std::string* shared = m_shared_words;
    m_shared_words = nullptr;
    for (int i = 0; i < WordCount; ++i)
        copy_text(m_words[static_cast<size_t>(i)], i < m_shared_word_count ? std::string_view(shared[i]) : std::string_view());
    m_used_words = WordCount;
}

int32_t Command::param_int(int n, int32_t fallback) const
{
    return eval_int(param(n), fallback);
}

bool Command::split(std::string_view text)
{
    SplitSpans spans;
    split_spans(text, spans);
    assign_spans(text, spans.words.data(), spans.word_count, spans.params.data(), spans.param_count);
    return spans.ok;
}

void Command::split_spans(std::string_view text, SplitSpans& out)
{
    const size_t n = text.size();
    size_t pos = 0;
    out.word_count = 0;
    out.param_count = 0;
    out.ok = true;

    // Words: up to six, each cut at 31 bytes; a seventh and later are skipped.
    for (int w = 0;; ) {
        size_t end = pos;
        while (end < n && text[end] != tok::Sep && text[end] != tok::Open)
            ++end;
        out.words[static_cast<size_t>(w)] = {static_cast<uint32_t>(pos),
                                             static_cast<uint32_t>(std::min(end - pos, WordCapacity))};
        out.word_count = static_cast<uint8_t>(w + 1);
        pos = end;
        if (end >= n || text[end] == tok::Open)
            break;
        ++pos; // the separator
        if (++w == WordCount)
            break;
    }
    while (pos < n && text[pos] != tok::Open)
        ++pos;
    if (pos >= n) {
        out.list_start = static_cast<uint32_t>(n);
        return; // no parameter list at all: nothing to read
    }
    out.list_start = static_cast<uint32_t>(pos + 1);
    out.ok = split_param_spans(text, pos + 1, out);
}

bool Command::split_param_spans(std::string_view text, size_t list_start, SplitSpans& out)
{
    // Parameters: only a separator ends one; parentheses stay inside.
    const size_t n = text.size();
    size_t start = list_start;
    for (size_t k = 0;; ++k) {
        size_t sep = start < n ? text.find(tok::Sep, start) : std::string_view::npos;
        if (sep != std::string_view::npos) {
            out.params[k] = {static_cast<uint32_t>(start), static_cast<uint32_t>(sep - start)};
            if (k + 1 == ParamCount) {
                out.param_count = ParamCount;
                return false; // a fourteenth parameter follows
            }
            start = sep + 1;
            continue;
        }
        const size_t len = start < n ? n - start : 0;
        out.param_count = static_cast<uint8_t>(k + 1);
        if (len == 0) {
            out.params[k] = {static_cast<uint32_t>(std::min(start, n)), 0};
            return false; // the last parameter received nothing
        }
        out.params[k] = {static_cast<uint32_t>(start), static_cast<uint32_t>(len - 1)}; // drops the closing byte
        return true;
    }
}

void Command::assign_words(std::string_view text, uint32_t start, const uint16_t* ends, int count)
{
    m_shared_words = nullptr;
    uint32_t from = start;
    for (int i = 0; i < count; ++i) {
        const uint32_t end = ends[i];
        copy_text(m_words[static_cast<size_t>(i)], text.data() + from, std::min<size_t>(end - from, WordCapacity));
        from = end + 1;
    }
    for (int i = count; i < m_used_words; ++i)
        m_words[static_cast<size_t>(i)].clear();
    m_used_words = count;
}

void Command::assign_params(std::string_view text, uint32_t start, const uint16_t* ends, int count)
{
    uint32_t from = start;
    for (int i = 0; i < count; ++i) {
        const uint32_t end = ends[i];
        copy_text(m_params[static_cast<size_t>(i)], text.data() + from, end - from);
        from = end + 1;
    }
    for (int i = count; i < m_used_params; ++i)
        m_params[static_cast<size_t>(i)].clear();
    m_used_params = count;
}

bool Command::assign_param_list(std::string_view text, size_t list_start)
{
    const size_t n = text.size();
    size_t start = list_start;
    bool ok = true;
    int k = 0;
    for (;; ++k) {
        const void* found = start < n ? std::memchr(text.data() + start, tok::Sep, n - start) : nullptr;
        if (found) {
            const size_t sep = static_cast<size_t>(static_cast<const char*>(found) - text.data());
            copy_text(m_params[static_cast<size_t>(k)], text.data() + start, sep - start);
            if (k + 1 == ParamCount) {
                ok = false; // a fourteenth parameter follows
                break;
            }
            start = sep + 1;
            continue;
        }
        const size_t len = start < n ? n - start : 0;
        if (len == 0) {
            m_params[static_cast<size_t>(k)].clear();
            ok = false; // the last parameter received nothing
        } else {
            copy_text(m_params[static_cast<size_t>(k)], text.data() + start, len - 1); // drops the closing byte
        }
        break;
    }
    const int count = k + 1;
    for (int i = count; i < m_used_params; ++i)
        m_params[static_cast<size_t>(i)].clear();
    m_used_params = count;
    return ok;
}

void Command::assign_spans(std::string_view text, const Span* words, int word_count, const Span* params, int param_count)
{
    m_shared_words = nullptr;
    for (int i = 0; i < word_count; ++i)
        copy_text(m_words[static_cast<size_t>(i)], text.data() + words[i].pos, words[i].len);
    for (int i = word_count; i < m_used_words; ++i)
        m_words[static_cast<size_t>(i)].clear();
    m_used_words = word_count;
    assign_param_spans(text, params, param_count);
}

void Command::assign_param_spans(std::string_view text, const Span* params, int param_count)
{
    for (int i = 0; i < param_count; ++i)
        copy_text(m_params[static_cast<size_t>(i)], text.data() + params[i].pos, params[i].len);
    for (int i = param_count; i < m_used_params; ++i)
        m_params[static_cast<size_t>(i)].clear();
    m_used_params = param_count;
}

std::string Command::describe() const
{
    std::string out = word(0);
    for (int i = 1; i < WordCount && !word(i).empty(); ++i) {
        out += '.';
        out += word(i);
    }
    out += '(';
    out += param(1);
    for (int n = 2; n <= ParamCount && !param(n).empty(); ++n) {
        out += ',';
        out += param(n);
    }
    out += ')';
    return out;
}

} // namespace ruk
