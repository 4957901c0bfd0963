// The code store: the compiled lines of the running package and its event and function tables.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/LineCode.h"
#include "core/StringMap.h"

namespace ruk {

// A line of code as the loader stores it: assignment lines ("&target=cmd")
// keep the target apart from the command text.
struct CodeLine {
    std::string target;
    std::string command;
};

struct Declaration {
    std::string name;
    int32_t line;
};

// Filled once by load_code (or load_text in tools and tests), read-only
// afterwards. The tables grow as needed: a script with more events, functions
// or longer lines than the classic limits loads whole.
class CodeStore {
public:
    // Reads a code file whose bytes are stored complemented. Returns false,
    // leaving the store empty, when the file cannot be read.
    bool load_code(const std::string& path);
    // Loads plain (not complemented) compiled text.
    void load_text(std::string_view text);
    void clear();

    int32_t line_count() const { return static_cast<int32_t>(m_lines.size()); }
    const CodeLine& line(int32_t n) const { return m_lines[static_cast<size_t>(n)]; }

    const std::vector<Declaration>& events() const { return m_events; }
    const std::vector<Declaration>& functions() const { return m_functions; }
    const std::string& event_list() const { return m_event_list; }

    // The decoded form of the lines, rebuilt whenever code is loaded.
    LineCode& decoded() { return m_decoded; }
    const LineCode& decoded() const { return m_decoded; }
    // Changes each time the lines are replaced, so that a line that was
    // running when new code was loaded can tell.
    uint32_t version() const { return m_version; }

    // Start lines of every event entry with exactly this name, in table order.
    const std::vector<int32_t>* event_lines(std::string_view name) const;
    // Start line of the first function with exactly this name, or -1.
    int32_t function_line(std::string_view name) const;

private:
    void add_line(std::string_view text);
    void scan_declaration(std::string_view text, int32_t line_number);

    std::vector<CodeLine> m_lines;
    std::vector<Declaration> m_events;
    std::vector<Declaration> m_functions;
    std::string m_event_list;
    StringMap<std::vector<int32_t>> m_event_index;
    StringMap<int32_t> m_function_index;
    LineCode m_decoded;
    uint32_t m_version = 0;
};

} // namespace ruk
