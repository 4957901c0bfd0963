// Plain helpers of the browser family: "ruk:" command texts, selection text and the page scripts the family runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruk::weblib {

// A page-to-script call: "ruk:NAME=VALUE".
struct RukCommand {
    std::string text;     // the URL after "ruk:", "%20" and "%22" replaced
    std::string function; // the text before the first "=", without blanks, lowered
    std::string value;    // everything after that "=" (empty without one)
};

// True when `url` starts with `scheme` (given in lower case, with its ":"),
// compared ignoring case.
bool has_scheme(std::string_view url, std::string_view scheme);

// The command of a "ruk:" URL. Only "%20" (a blank) and "%22" (a double
// quote) are replaced; other escapes stay as the page wrote them.
RukCommand parse_ruk_command(std::string_view url);

// Selection text as scripts get it: every run of blank lines becomes one
// line break and carriage returns go.
std::string normalise_selection_text(std::string_view text);

// A colour value (red in the low byte) as an HTML colour "#rrggbb".
std::string html_colour(uint32_t colour);
// A script's colour parameter: an integer becomes "#rrggbb", any other text
// (a colour name, "#rrggbb") passes as it is.
std::string html_colour_text(std::string_view parameter);

// A text as a JavaScript string literal in double quotes, safe for any byte:
// quotes, backslashes, line breaks and "</script" cannot end it.
std::string js_string(std::string_view text);

// Element matching of the document rows: tag (empty matches every tag),
// then up to two attribute conditions (empty name: no condition; empty
// value: the attribute only has to exist).
struct ElementQuery {
    std::string tag;
    std::string name1, value1;
    std::string name2, value2;
    bool second_exact_lower = false; // the second value equals the parameter lowered
};

// Page scripts; each evaluates to a text (or nothing).
std::string script_element_list(const ElementQuery& query, std::string_view collect);
// What content reads: inner HTML, inner text (text), outer HTML or outer text (outer).
std::string script_element_content(const ElementQuery& query, bool text, bool outer);
std::string script_set_element_content(const ElementQuery& query, std::string_view content, bool text, bool outer);
std::string script_element_attribute(const ElementQuery& query, std::string_view attribute);
std::string script_from_point(int32_t x, int32_t y, std::optional<std::string_view> attribute);
// Reads (value nothing) or sets a document property ("title", "bgColor", ...).
std::string script_document_property(std::string_view property, std::optional<std::string_view> value);
// A form field of a kind ("text", "textarea", "radio", ...) by name: "not
// found", "done" after setting, or its value.
std::string script_field(std::string_view kind, std::string_view name, std::string_view value);
// The option values of a named list joined by "^^"; "not found" without one.
std::string script_select_get(std::string_view name);
// Selects the option with that value: "done" or "not found".
std::string script_select_set(std::string_view name, std::string_view value);
std::string script_selection(bool html);
std::string script_paste(std::string_view text, bool plain);
std::string script_document_command(std::string_view command, std::string_view value);
// The page's body, outer HTML.
std::string script_source();

// The separator of the element list's values inside one text.
inline constexpr char ListSeparator = '\x1f';

} // namespace ruk::weblib
