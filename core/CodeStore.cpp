// Loading compiled code into the line table and recording declarations.
#include "core/CodeStore.h"

#include "core/Text.h"
#include "host/FileIo.h"

namespace ruk {

void CodeStore::clear()
{
    m_lines.clear();
    m_events.clear();
    m_functions.clear();
    m_event_list.clear();
    m_event_index.clear();
    m_function_index.clear();
    m_decoded.clear();
    ++m_version;
}

bool CodeStore::load_code(const std::string& path)
{
    clear();
    std::optional<std::string> read = read_whole_file(path);
    if (!read)
        return false;
    std::string& data = *read;
    for (char& c : data)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    load_text(data);
    return true;
}

void CodeStore::load_text(std::string_view data)
{
    clear();
    size_t pos = 0;
    const size_t n = data.size();
    while (pos < n) {
        char c = data[pos];
        // Blanks, backspaces and line ends between lines are dropped; this
        // also drops the leading blanks of a line.
        if (c == ' ' || c == '\x08' || c == '\r' || c == '\n') {
            ++pos;
            continue;
        }
        size_t end = pos;
        while (end < n && data[end] != '\r' && data[end] != '\n')
            ++end;
        add_line(data.substr(pos, end - pos));
        pos = end;
    }
    m_decoded.build(m_lines);
}

void CodeStore::add_line(std::string_view text)
{
    int32_t number = line_count();
    scan_declaration(text, number);
    CodeLine line;
    if (!text.empty() && text[0] == '&') {
        size_t eq = text.find('=');
        if (eq == std::string_view::npos) {
            line.target.assign(text.substr(1));
        } else {
            line.target.assign(text.substr(1, eq - 1));
            line.command.assign(text.substr(eq + 1));
        }
    } else {
        line.command.assign(text);
    }
    m_lines.push_back(std::move(line));
}

void CodeStore::scan_declaration(std::string_view text, int32_t line_number)
{
    if (!text.empty() && text[0] == '&') {
        size_t eq = text.find('=');
        text = eq == std::string_view::npos ? std::string_view() : text.substr(eq + 1);
    }
    std::string_view pieces[2];
    int count = 0;
    size_t start = 0, i = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '=' || c == tok::Open)
            break;
        if (c == tok::Sep) {
            if (count < 2)
                pieces[count] = text.substr(start, i - start);
            ++count;
            start = i + 1;
        }
    }
    if (count < 2)
        pieces[count] = text.substr(start, i - start);
    ++count;
    if (count < 2)
        return;
    if (pieces[1] == "end" || pieces[1] == "exit")
        return;
    if (pieces[0] == "event") {
        m_event_list.append(pieces[1]);
        m_event_list.append("--");
        m_events.push_back({std::string(pieces[1]), line_number});
        m_event_index[std::string(pieces[1])].push_back(line_number);
    } else if (pieces[0] == "function") {
        m_functions.push_back({std::string(pieces[1]), line_number});
        m_function_index.emplace(std::string(pieces[1]), line_number);
    }
}

const std::vector<int32_t>* CodeStore::event_lines(std::string_view name) const
{
    auto it = m_event_index.find(name);
    return it == m_event_index.end() ? nullptr : &it->second;
}

int32_t CodeStore::function_line(std::string_view name) const
{
    auto it = m_function_index.find(name);
    return it == m_function_index.end() ? -1 : it->second;
}

} // namespace ruk
