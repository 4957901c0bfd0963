// The "var" family: arrays, counters and the variable table seen from scripts.
#include "core/Var.h"

#include "core/Engine.h"

#include <algorithm>

namespace ruk {

namespace {

constexpr size_t MaxJoinedText = 256999;

bool less_ignoring_case(const std::string& a, const std::string& b)
{
    return compare_ignoring_case(a, b) < 0;
}

Result array_command(Engine& e)
{
    VarStore& vars = e.vars();
    const std::string_view op = e.word(2);
    const std::string& name = e.param(1);

    if (op == "count" || op == "countex") {
        int32_t n = vars.find(name);
        if (n < 0)
            return "0";
        const auto& v = vars.at(n);
        if (op == "countex" && (v.elements.empty() || v.elements[0].empty()))
            return "0";
        return int_to_text(v.highest() + 1);
    }
    if (op == "getstring") {
        const std::string separator = e.param(2);
        const auto& v = vars.at(vars.index(name));
        if (v.elements.empty())
            return std::nullopt;
        std::string joined = VarStore::join(v, separator);
        if (joined.size() > MaxJoinedText)
            joined.resize(MaxJoinedText);
        return joined;
    }
    if (op == "clear") {
        int32_t n = vars.find(name);
        if (n < 0)
            return std::nullopt;
        int32_t keep = e.param_int(2, 0);
        auto& elements = vars.at(n).elements;
        if (keep <= 0) {
            // Zero (and, sensibly, a negative count) leaves one empty element.
            elements.resize(1);
            elements[0].clear();
        } else if (elements.size() > static_cast<size_t>(keep)) {
            elements.resize(static_cast<size_t>(keep));
        }
        return std::nullopt;
    }
    if (op == "remove") {
        int32_t i = e.param_int(2, 0);
        auto& elements = vars.at(vars.index(name)).elements;
        if (i >= 0 && static_cast<size_t>(i) < elements.size()) {
            elements.erase(elements.begin() + i);
            if (elements.empty())
                elements.emplace_back();
        }
        return std::nullopt;
    }
    if (op == "insert") {
        int32_t i = e.param_int(2, 0);
        const std::string value = e.param(3);
        auto& elements = vars.at(vars.index(name)).elements;
        if (i < 0 || i > VarStore::MaxIndex)
            return std::nullopt;
        if (static_cast<size_t>(i) < elements.size())
            elements.insert(elements.begin() + i, value);
        else {
            elements.resize(static_cast<size_t>(i) + 1);
            elements[static_cast<size_t>(i)] = value;
        }
        return std::nullopt;
    }
    if (op == "sort") {
        int32_t n = vars.find(name);
        if (n >= 0) {
            auto& elements = vars.at(n).elements;
            // Stable: texts equal but for letter case keep their order.
            std::stable_sort(elements.begin(), elements.end(), less_ignoring_case);
        }
        return std::nullopt;
    }
    return e.call_function();
}

// Element 0 plus the step of "inc" or "dec", wrapped at the optional limit.
int64_t stepped_value(Engine& e, const std::vector<std::string>& elements, bool down)
{
    int64_t step = e.param_int(2, 1);
    if (down)
        step = -step;
    int64_t value = (elements.empty() ? 0 : eval_int(elements[0], 0)) + step;
    value = std::clamp<int64_t>(value, INT32_MIN, INT32_MAX);
    if (!e.param(3).empty()) {
        int32_t limit = e.param_int(3, 0);
        bool reached = step < 1 ? value <= limit : value >= limit;
        if (reached)
            value = e.param_int(4, limit);
    }
    return value;
}

// Steps a counter by one in its own digits, the common case of "inc" and
// "dec": a plain decimal number of up to seven digits (the values the
// evaluator reads exactly), not below zero when counting down. The digits
// are those the number's text would have. False leaves the text alone.
bool step_digits(std::string& text, bool down)
{
    if (!is_canonical_number(text) || (down && text == "0"))
        return false;
    const size_t size = text.size();
    size_t i = size;
    if (!down) {
        while (i > 0 && text[i - 1] == '9')
            text[--i] = '0';
        if (i == 0)
            text.insert(text.begin(), '1');
        else
            ++text[i - 1];
    } else {
        while (text[i - 1] == '0')
            text[--i] = '9';
        --text[i - 1];
        if (text[0] == '0' && size > 1)
            text.erase(0, 1);
    }
    return true;
}

// "inc" and "dec": adds a step to element 0, wrapping at an optional limit.
Result step_command(Engine& e, bool down)
{
    VarStore& vars = e.vars();
    const std::string& named = e.param(1);
    // A plain name that exists is stepped in place: nothing between here and
    // the assignment can run code or report an error.
    const bool plain = !named.empty() && named[0] != '_' && named.find('[', 1) == std::string::npos;
    if (plain) {
        const int32_t n = vars.find(named);
        if (n >= 0) {
            std::vector<std::string>& elements = vars.at(n).elements;
            if (!elements.empty() && e.param(2).empty() && e.param(3).empty() && step_digits(elements[0], down))
                return elements[0];
            std::string text = int_to_text(stepped_value(e, vars.at(n).elements, down));
            vars.set_element(n, 0, text);
            return text;
        }
    }
    const std::string reference = named;
    int32_t n = vars.find(reference);
    if (n < 0) {
        n = e.var_assign(reference, "0");
        if (n < 0)
            return std::nullopt;
    }
    std::string text = int_to_text(stepped_value(e, vars.at(n).elements, down));
    e.var_assign(reference, text);
    return text;
}

Result var_family(Engine& e)
{
    VarStore& vars = e.vars();
    const std::string_view op = e.word(1);
    if (op == "array")
        return array_command(e);
    if (op == "inc")
        return step_command(e, false);
    if (op == "dec")
        return step_command(e, true);
    if (op == "free") {
        vars.free(vars.find(e.param(1)));
        return std::nullopt;
    }
    if (op == "exists")
        return flag_to_text(vars.find(e.param(1)) >= 0);
    if (op == "count")
        return int_to_text(vars.count());
    if (op == "get") {
        int32_t n = e.param_int(1, -1);
        int32_t i = e.param_int(2, 0);
        if (n < 0 || n >= vars.count() || i < 0 || i > vars.at(n).highest())
            return std::nullopt;
        return vars.at(n).elements[static_cast<size_t>(i)];
    }
    if (op == "set") {
        int32_t n = e.param_int(1, -1);
        int32_t i = e.param_int(2, 0);
        if (n >= 0 && n < vars.count() && i >= 0 && i <= VarStore::MaxIndex)
            vars.set_element(n, i, e.param(3));
        return std::nullopt;
    }
    if (op == "getname") {
        int32_t n = e.param_int(1, -1);
        if (n < 0 || n >= vars.count())
            return std::nullopt;
        return vars.at(n).name;
    }
    if (op == "getindex") {
        int32_t n = vars.find(e.param(1));
        if (n < 0)
            return std::nullopt;
        return int_to_text(n);
    }
    return e.call_function();
}

} // namespace

void register_var_family(Engine& engine)
{
    engine.register_family("var", var_family);
}

} // namespace ruk
