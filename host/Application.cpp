// The application family: title, icon, identity, arguments, other engines, closing.
#include "host/Application.h"

#include "core/Engine.h"
#include "host/HostState.h"
#include "host/Session.h"
#include "system/Settings.h"

namespace ruk {

namespace {

constexpr const char* MsgCannotFind = " cannot be found.";

Result application_family(Engine& e, HostState& state, Session& session, ApplicationServices& services,
                          Registry* registry)
{
    const std::string& op = e.word(1);
    if (op == "booster") {
        state.continuous_idle = starts_with_1(e.param(1));
        return std::nullopt;
    }
    if (op == "icon") {
        if (!services.set_icon(e.param(1)))
            e.report_error(MsgCannotFind);
        return std::nullopt;
    }
    if (op == "minimize") {
        services.minimize();
        return std::nullopt;
    }
    if (op == "restore") {
        services.restore();
        return std::nullopt;
    }
    if (op == "close") {
        session.keep_folder = starts_with_1(e.param(1));
        services.terminate_sequence();
        e.set_quit(true);
        return std::nullopt;
    }
    if (op == "title") {
        if (e.param(1).empty())
            return state.title;
        state.title = e.param(1);
        services.set_title(state.title);
        return std::nullopt;
    }
    if (op == "filename")
        return state.package_path;
    if (op == "name")
        return state.package_name;
    if (op == "familyid")
        return state.running_family_id;
    if (op == "version")
        return state.object_version;
    if (op == "getparam") {
        int32_t n = e.param_int(1, 1);
        if (n < 1 || n > 12)
            return std::nullopt;
        size_t i = static_cast<size_t>(n);
        return i < state.arguments.size() ? state.arguments[i] : std::string();
    }
    if (op == "execute")
        return int_to_text(services.start_engine(execute_parameter_text(e), e.word(2) == "hidden"));
    if (op == "cancelclose") {
        state.cancel_close = starts_with_1(e.param(1));
        return std::nullopt;
    }
    if (op == "countinstances") {
        std::string id = e.param(1).empty() ? session.header.package_id : e.param(1);
        return int_to_text(services.count_instances(id));
    }
    if (op == "uninstall" && e.word(2) == "create") {
        if (registry) {
            std::vector<std::string> p;
            for (int n = 1; n <= 6; ++n)
                p.push_back(e.param(n));
            write_uninstall_entry(*registry, p);
        }
        return std::nullopt;
    }
    if (op == "uninstall" && e.word(2) == "remove") {
        if (registry)
            remove_uninstall_entry(*registry, e.param(1));
        return std::nullopt;
    }
    return e.call_function();
}

} // namespace

std::string execute_parameter_text(const Engine& engine)
{
    std::string text = "\"";
    size_t total = 0;
    for (int n = 1; n <= 12; ++n) {
        const std::string& p = engine.param(n);
        total += p.size();
        if (total >= 64000)
            break;
        text += p;
        text += "\" \"";
    }
    text += '"';
    return text;
}

std::vector<std::string> split_parameter_text(const std::string& text)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        if (i >= text.size())
            break;
        std::string arg;
        if (text[i] == '"') {
            size_t end = text.find('"', i + 1);
            if (end == std::string::npos)
                end = text.size();
            arg = text.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            size_t end = text.find(' ', i);
            if (end == std::string::npos)
                end = text.size();
            arg = text.substr(i, end - i);
            i = end;
        }
        out.push_back(std::move(arg));
    }
    return out;
}

void register_application_family(Engine& engine, HostState& state, Session& session, ApplicationServices& services,
                                 Registry* registry)
{
    auto handler = [&state, &session, &services, registry](Engine& e) {
        return application_family(e, state, session, services, registry);
    };
    engine.register_family("app", handler);
    engine.register_family("application", handler);
}

} // namespace ruk
