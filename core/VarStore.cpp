// Variable store: references, whole-array values and dynamic names.
#include "core/VarStore.h"

#include "core/Text.h"
#include "core/TextCopy.h"

namespace ruk {

void VarStore::clear()
{
    m_vars.clear();
    m_index.clear();
    ++m_generation;
}

int32_t VarStore::find(std::string_view name) const
{
    auto it = m_index.find(name);
    return it == m_index.end() ? -1 : it->second;
}

int32_t VarStore::index(std::string_view name)
{
    int32_t n = find(name);
    if (n >= 0)
        return n;
    n = count();
    m_vars.push_back({std::string(name), std::vector<std::string>(1)});
    m_index.emplace(std::string(name), n);
    ++m_generation;
    return n;
}

const std::string& VarStore::set_element(int32_t number, int32_t n, std::string_view text)
{
    auto& elements = at(number).elements;
    if (text.size() > MaxTextLength) {
        report(MsgTextTooLong);
        if (static_cast<size_t>(n) >= elements.size())
            elements.resize(static_cast<size_t>(n) + 1);
        return elements[static_cast<size_t>(n)];
    }
    if (static_cast<size_t>(n) >= elements.size())
        elements.resize(static_cast<size_t>(n) + 1);
    copy_text(elements[static_cast<size_t>(n)], text);
    return elements[static_cast<size_t>(n)];
}

void VarStore::free(int32_t number)
{
    if (number < 0 || number >= count())
        return;
    m_vars.erase(m_vars.begin() + number);
    ++m_generation;
    m_index.clear();
    for (int32_t i = 0; i < count(); ++i)
        m_index.emplace(m_vars[static_cast<size_t>(i)].name, i);
}

std::string VarStore::join(const Variable& v, std::string_view separator)
{
    std::string out;
    for (size_t i = 0; i < v.elements.size(); ++i) {
        if (i)
            out += separator;
        out += v.elements[i];
    }
    return out;
}

void VarStore::split_list(std::string_view value, std::vector<std::string>& out)
{
    size_t count = 0;
    size_t pos = 0;
    while (pos < value.size()) {
        size_t end = value.find(ListSeparator, pos);
        if (end == std::string_view::npos)
            end = value.size();
        if (count < out.size())
            out[count].assign(value.substr(pos, end - pos));
        else
            out.emplace_back(value.substr(pos, end - pos));
        ++count;
        pos = end == value.size() ? end : end + ListSeparator.size();
    }
    out.resize(count);
}

std::optional<std::string> VarStore::resolve_dynamic(std::string_view name)
{
    auto value = read(name.substr(1));
    if (!value)
        report(MsgBadDynamicName);
    return value;
}

std::optional<std::string> VarStore::read(std::string_view reference)
{
    int32_t idx = 0;
    std::string_view name = reference;
    if (!reference.empty() && reference.back() == ']') {
        size_t open = reference.size() > 1 ? reference.find('[', 1) : std::string_view::npos;
        if (open != std::string_view::npos) {
            std::string_view inside = reference.substr(open + 1, reference.size() - open - 2);
            if (inside.empty()) {
                idx = -1;
            } else {
                idx = eval_int(inside, -100);
                if (idx == -100) {
                    report(MsgBadIndex);
                    return std::nullopt;
                }
            }
            name = reference.substr(0, open);
        }
    }
    std::optional<std::string> dynamic;
    if (!name.empty() && name[0] == '_') {
        dynamic = resolve_dynamic(name);
        if (!dynamic)
            return std::nullopt;
        name = *dynamic;
    }
    int32_t n = find(name);
    if (n < 0)
        return std::nullopt;
    const Variable& v = at(n);
    if (idx >= 0) {
        if (idx > v.highest())
            return std::string();
        return v.elements[static_cast<size_t>(idx)];
    }
    if (idx == -1) {
        if (v.elements.empty())
            return std::nullopt;
        return join(v, ListSeparator);
    }
    return std::nullopt;
}

int32_t VarStore::assign(std::string_view reference, std::string_view value)
{
    int32_t idx = 0;
    bool whole = false;
    std::string_view name = reference;
    size_t open = reference.size() > 1 ? reference.find('[', 1) : std::string_view::npos;
    if (open != std::string_view::npos) {
        std::string_view inside = reference.substr(open + 1);
        if (inside == "]") {
            whole = true;
        } else {
            if (!inside.empty())
                inside.remove_suffix(1);
            idx = eval_int(inside, -1);
            if (idx < 0 || idx > MaxIndex) {
                report(MsgBadIndex);
                return -1;
            }
        }
        name = reference.substr(0, open);
    }
    std::optional<std::string> dynamic;
    if (!name.empty() && name[0] == '_') {
        dynamic = resolve_dynamic(name);
        if (!dynamic)
            return -1;
        name = *dynamic;
    }
    int32_t n = index(name);
    if (whole)
        split_list(value, at(n).elements);
    else
        set_element(n, idx, value);
    return n;
}

} // namespace ruk
