// The global store of named variables, each an array of texts.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/StringMap.h"

namespace ruk {

inline constexpr std::string_view ListSeparator = "^^";
inline constexpr const char* MsgBadIndex =
    "Invalid variable index, index out of bound or unknown variable command.";
inline constexpr const char* MsgTextTooLong = "The text is too long (at most 64 MiB).";
// The longest text a variable element or a line may hold. A script that
// grows a text past it gets a script error instead of exhausting memory.
inline constexpr size_t MaxTextLength = size_t(64) << 20;
inline constexpr const char* MsgBadDynamicName =
    "Invalid dynamic name. Dynamic naming variable does not exists.";

// Variables are numbered 0 to count - 1 in order of creation; freeing one
// moves every later one down by one. A name index is kept in step with the
// numbering so that reads and assignments never scan the names.
//
// Decoded lines keep the number a plain name was last found under in a
// VarSlot. The store's generation changes whenever numbers may change or a
// missing name may appear (a variable created, freed, or the store cleared),
// so a slot of an older generation is looked up afresh and never trusted.
//
// A variable's highest index is elements.size() - 1: 0 for a new variable
// (one empty element) and -1 after a whole-array assignment of the empty text.
struct VarSlot {
    uint32_t generation = 0; // 0: never filled
    int32_t number = -1;
};

class VarStore {
public:
    struct Variable {
        std::string name;
        std::vector<std::string> elements;
        int32_t highest() const { return static_cast<int32_t>(elements.size()) - 1; }
    };

    // Receives the messages of index and dynamic-name errors.
    void set_error_sink(std::function<void(const char*)> sink) { m_error = std::move(sink); }

    // Value of a reference (name, name[i], name[], _dynamic), or nothing.
    std::optional<std::string> read(std::string_view reference);
    // Assigns a value to a reference; returns the variable's number, or -1
    // when the index or dynamic name is refused (nothing is created then).
    int32_t assign(std::string_view reference, std::string_view value);
    // Number of the variable with exactly this name, created when missing.
    int32_t index(std::string_view name);
    // Number of the variable with exactly this name, or -1.
    int32_t find(std::string_view name) const;
    // As find, through a slot that remembers the answer while it holds.
    int32_t find(std::string_view name, VarSlot& slot) const
    {
        if (slot.generation != m_generation) {
            slot.number = find(name);
            slot.generation = m_generation;
        }
        return slot.number;
    }
    // As index, through a slot.
    int32_t index(std::string_view name, VarSlot& slot)
    {
        int32_t n = find(name, slot);
        if (n < 0) {
            n = index(name);
            slot = {m_generation, n};
        }
        return n;
    }
    uint32_t generation() const { return m_generation; }
    // Sets element n (n >= 0), filling new elements in between with empty
    // texts. A text longer than MaxTextLength is refused (a script error)
    // and the element keeps its value.
    const std::string& set_element(int32_t number, int32_t n, std::string_view text);
    // Removes a variable; later numbers move down by one.
    void free(int32_t number);
    void clear();

    // Element indices above this are refused like negative ones: a script
    // must not be able to exhaust memory with one assignment.
    static constexpr int32_t MaxIndex = 4'194'303;

    int32_t count() const { return static_cast<int32_t>(m_vars.size()); }
    Variable& at(int32_t number) { return m_vars[static_cast<size_t>(number)]; }
    const Variable& at(int32_t number) const { return m_vars[static_cast<size_t>(number)]; }

    // Elements 0 to the highest index joined with a separator.
    static std::string join(const Variable& v, std::string_view separator);
    // Splits a whole-array value at "^^": empty gives no element, a trailing
    // "^^" gives no empty last element.
    static void split_list(std::string_view value, std::vector<std::string>& out);

private:
    void report(const char* message)
    {
        if (m_error)
            m_error(message);
    }
    std::optional<std::string> resolve_dynamic(std::string_view name);

    std::vector<Variable> m_vars;
    StringMap<int32_t> m_index;
    uint32_t m_generation = 1;
    std::function<void(const char*)> m_error;
};

} // namespace ruk
