// Plain helpers of the browser family: "ruk:" command texts, selection text and the page scripts the family runs.
#include "browser/Weblib.h"

#include "core/Text.h"

#include <cstdio>

namespace ruk::weblib {

namespace {

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

void replace_all(std::string& text, std::string_view from, std::string_view to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Functions every page script may use. They run in the engine's own script
// world, so the page's scripts can neither see nor replace them.
//  low(s)        text lowered
//  attr(el, n)   the attribute n, else a plain property of that name (any
//                letter case), else null; links and sources read resolved
//  fits(el,n,v,exact)  the condition "attribute n exists (and equals v)"
//  first(q)      the first element of the document that fits the query
constexpr const char* Helpers = R"JS(
function low(s){return String(s==null?'':s).toLowerCase();}
function prop(el,n){var k=n;if(!(k in el)){var l=low(n);k=null;for(var x in el){if(low(x)==l){k=x;break;}}if(k===null)return null;}
 var v=el[k];return (typeof v=='string'||typeof v=='number'||typeof v=='boolean')?String(v):null;}
function attr(el,n){if(!n)return null;var v=el.getAttribute(n);var l=low(n);
 if(v!==null){if((l=='href'||l=='src')&&typeof el[l]=='string'&&el[l])return el[l];return v;}return prop(el,n);}
function fits(el,n,v,exact){if(!n)return true;var a=attr(el,n);if(a===null)return false;if(v==='')return true;
 return exact?a==low(v):low(a)==low(v);}
function tagOk(el,t){return !t||low(el.tagName)==low(t);}
function first(q){var l=document.getElementsByTagName('*');for(var i=0;i<l.length;i++){var e=l[i];
 if(tagOk(e,q.tag)&&fits(e,q.n1,q.v1,false)&&fits(e,q.n2,q.v2,q.exact))return e;}return null;}
function inField(){var a=document.activeElement;return a&&(a.tagName=='INPUT'||a.tagName=='TEXTAREA')?a:null;}
function selText(){var f=inField();if(f&&typeof f.selectionStart=='number'){try{return f.value.substring(f.selectionStart,f.selectionEnd);}catch(x){}}
 return String(window.getSelection());}
)JS";

std::string wrap(const std::string& body)
{
    return std::string("(function(){") + Helpers + body + "})()";
}

std::string query_object(const ElementQuery& q)
{
    return "{tag:" + js_string(q.tag) + ",n1:" + js_string(q.name1) + ",v1:" + js_string(q.value1) +
           ",n2:" + js_string(q.name2) + ",v2:" + js_string(q.value2) + ",exact:" +
           (q.second_exact_lower ? "true" : "false") + "}";
}

// The content property the flags name.
const char* content_property(bool text, bool outer)
{
    if (outer)
        return text ? "outerText" : "outerHTML";
    return text ? "innerText" : "innerHTML";
}

} // namespace

bool has_scheme(std::string_view url, std::string_view scheme)
{
    return url.size() >= scheme.size() && lowered(url.substr(0, scheme.size())) == scheme;
}

RukCommand parse_ruk_command(std::string_view url)
{
    RukCommand command;
    command.text = std::string(url.size() > 4 ? url.substr(4) : std::string_view());
    replace_all(command.text, "%20", " ");
    replace_all(command.text, "%22", "\"");
    const size_t equals = command.text.find('=');
    const std::string name = command.text.substr(0, equals);
    for (char c : name)
        if (c != ' ')
            command.function += c;
    command.function = lowered(command.function);
    if (equals != std::string::npos)
        command.value = command.text.substr(equals + 1);
    return command;
}

std::string normalise_selection_text(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r')
            out += c;
    // Blank lines between two lines of text: the run of line breaks becomes one.
    std::string joined;
    joined.reserve(out.size());
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\n' && !joined.empty() && joined.back() == '\n')
            continue;
        joined += out[i];
    }
    return joined;
}

std::string html_colour(uint32_t colour)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    return text;
}

std::string html_colour_text(std::string_view parameter)
{
    const std::string_view trimmed = trim_blanks(parameter);
    if (trimmed.empty())
        return std::string();
    // A number has at least one digit after its optional sign.
    bool number = trimmed != "-";
    for (size_t i = 0; i < trimmed.size(); ++i)
        if (!(trimmed[i] >= '0' && trimmed[i] <= '9') && !(i == 0 && trimmed[i] == '-'))
            number = false;
    if (!number)
        return std::string(trimmed);
    return html_colour(static_cast<uint32_t>(std::stoll(std::string(trimmed.substr(0, 18)))));
}

std::string js_string(std::string_view text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '<': out += "\\x3c"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return out;
}

std::string script_element_list(const ElementQuery& query, std::string_view collect)
{
    return wrap("var q=" + query_object(query) + ",c=" + js_string(collect) +
                ",out=[],l=document.getElementsByTagName('*');"
                "for(var i=0;i<l.length;i++){var e=l[i];if(tagOk(e,q.tag)&&fits(e,q.n1,q.v1,false)){"
                "var v=attr(e,c);if(v!==null&&v!=='')out.push(v);}}"
                "return out.join('\\x1f');");
}

std::string script_element_content(const ElementQuery& query, bool text, bool outer)
{
    return wrap("var e=first(" + query_object(query) + ");if(!e)return null;var v=e." +
                content_property(text, outer) + ";return v==null?'':String(v);");
}

std::string script_set_element_content(const ElementQuery& query, std::string_view content, bool text, bool outer)
{
    return wrap("var e=first(" + query_object(query) + ");if(!e)return null;e." + content_property(text, outer) +
                "=" + js_string(content) + ";return 'done';");
}

std::string script_element_attribute(const ElementQuery& query, std::string_view attribute)
{
    return wrap("var e=first(" + query_object(query) + ");if(!e)return null;var v=attr(e," + js_string(attribute) +
                ");return v===null?'':v;");
}

std::string script_from_point(int32_t x, int32_t y, std::optional<std::string_view> attribute)
{
    std::string body = "var e=document.elementFromPoint(" + std::to_string(x) + "," + std::to_string(y) +
                       ");if(!e)return '';";
    if (attribute)
        body += "var v=attr(e," + js_string(*attribute) + ");return v===null?'':v.substring(0,64000);";
    else
        body += "return e.tagName;";
    return wrap(body);
}

std::string script_document_property(std::string_view property, std::optional<std::string_view> value)
{
    std::string body;
    if (value)
        body += "document[" + js_string(property) + "]=" + js_string(*value) + ";";
    body += "var v=document[" + js_string(property) + "];return v==null?'':String(v);";
    return wrap(body);
}

std::string script_field(std::string_view kind, std::string_view name, std::string_view value)
{
    // Radio buttons of one name form a group: setting checks the button of
    // that value (else the first by the flag), reading gives the checked
    // button's value. A check box reads and sets its checked state, "1" or "0".
    return wrap("var k=" + js_string(lowered(kind)) + ",n=" + js_string(name) + ",v=" + js_string(value) +
                ",all=[],l=document.getElementsByTagName(k=='textarea'?'textarea':'input');"
                "for(var i=0;i<l.length;i++){var e=l[i];if((k=='textarea'||low(e.type)==k)&&low(e.name)==low(n))all.push(e);}"
                "if(!all.length)return 'not found';var f=all[0];"
                "if(k=='radio'){if(v===''){for(var j=0;j<all.length;j++)if(all[j].checked)return all[j].value;return '';}"
                " for(var j=0;j<all.length;j++)if(all[j].value==v){all[j].checked=true;return 'done';}"
                " f.checked=v.charAt(0)=='1';return 'done';}"
                "if(k=='checkbox'){if(v==='')return f.checked?'1':'0';f.checked=v.charAt(0)=='1';return 'done';}"
                "if(v==='')return f.value;f.value=v;return 'done';");
}

std::string script_select_get(std::string_view name)
{
    return wrap("var n=" + js_string(name) + ",l=document.getElementsByTagName('select');"
                "for(var i=0;i<l.length;i++)if(low(l[i].name)==low(n)){var o=[];"
                "for(var j=0;j<l[i].options.length;j++)o.push(l[i].options[j].value);return o.join('^^');}"
                "return 'not found';");
}

std::string script_select_set(std::string_view name, std::string_view value)
{
    return wrap("var n=" + js_string(name) + ",v=" + js_string(value) + ",l=document.getElementsByTagName('select');"
                "for(var i=0;i<l.length;i++)if(low(l[i].name)==low(n)){var s=l[i];"
                "for(var j=0;j<s.options.length;j++)if(s.options[j].value==v){s.selectedIndex=j;return 'done';}}"
                "return 'not found';");
}

std::string script_selection(bool html)
{
    if (!html)
        return wrap("return selText();");
    return wrap("var s=window.getSelection();if(!s.rangeCount)return '';var d=document.createElement('div');"
                "for(var i=0;i<s.rangeCount;i++)d.appendChild(s.getRangeAt(i).cloneContents());return d.innerHTML;");
}

std::string script_paste(std::string_view text, bool plain)
{
    return wrap(std::string("document.execCommand(") + (plain ? "'insertText'" : "'insertHTML'") + ",false," +
                js_string(text) + ");return '';");
}

std::string script_document_command(std::string_view command, std::string_view value)
{
    return wrap("try{document.execCommand(" + js_string(command) + "," + (value.empty() ? "true" : "false") + "," +
                js_string(value) + ");}catch(x){}return '';");
}

std::string script_source()
{
    return wrap("return document.body?document.body.outerHTML:'';");
}

} // namespace ruk::weblib
