// The "ruk" family: scripts build, inspect and unpack packages and compile source lines.
#include "system/RukFamily.h"

#include "core/Engine.h"
#include "host/HostState.h"
#include "host/Package.h"
#include "host/Session.h"
#include "host/SourceBuild.h"
#include "system/Disk.h"
#include "system/Translator.h"

#include <filesystem>
#include <optional>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace ruk {

namespace {

using namespace package_layout;

std::string cut(const std::string& text, size_t width)
{
    return text.substr(0, std::min(text.size(), width));
}

// A script's path as a Linux path; empty when it names nothing.
std::string script_path(const std::string& text)
{
    return disk::resolve_path(text).value_or(std::string());
}

// A package file the script asked to (re)write is made writable by its owner
// first, as scripts expect of a read-only file they rebuild.
void clear_read_only(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR))
        ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR);
}

int result_code(PackageWriteResult result)
{
    return static_cast<int>(result);
}

// What the family keeps between commands: the family id of the last package
// it read itself. Until it reads one, that is the running package's.
class RukFamily {
public:
    RukFamily(HostState& state, Session& session) : m_state(state), m_session(session) {}

    Result handle(Engine& e);

private:
    Result rebuild();
    Result create(Engine& e);
    Result extract(Engine& e);
    Result compile(Engine& e);
    std::string current_header() const;
    void set_current_header(Engine& e);
    void set_running_family_id(const std::string& id)
    {
        m_state.running_family_id = id;
        m_session.header.family_id = id; // the settings keys follow the running family
    }

    HostState& m_state;
    Session& m_session;
    std::optional<std::string> m_extracted_family_id;
};

Result RukFamily::handle(Engine& e)
{
    const std::string& op = e.word(1);
    const std::string& which = e.word(2);
    if (op == "rebuild")
        return rebuild();
    if (op == "create")
        return create(e);
    if (op == "header" && which == "get")
        return package_header_text(script_path(e.param(1))).value_or(std::string());
    if (op == "currentheader" && which == "set") {
        set_current_header(e);
        return std::nullopt;
    }
    if (op == "currentheader" && which == "get")
        return current_header();
    if (op == "extract")
        return extract(e);
    if (op == "extracted" && which == "familyid")
        return m_extracted_family_id.value_or(m_state.running_family_id);
    if (op == "code" && which == "compile")
        return compile(e);
    return e.call_function();
}

// Packs the working folder over the running package file. A run from script
// sources has no package file of its own: the path names the sources, which
// must never be overwritten, so the writer is not called then.
Result RukFamily::rebuild()
{
    const std::string& path = m_state.package_path.empty() ? m_session.package_path : m_state.package_path;
    if (path.empty() || m_session.working_folder.empty() || is_source_path(path))
        return int_to_text(result_code(PackageWriteResult::CannotCreateOutput));
    clear_read_only(path);
    PackageWriteOptions options;
    options.source_folder = m_session.working_folder;
    options.output_path = path;
    options.family_id = m_state.running_family_id;
    return int_to_text(result_code(write_package(options, m_session.header)));
}

// Builds a package with the ids and texts given, each falling back to the
// running package's; the running header itself is left as it was.
Result RukFamily::create(Engine& e)
{
    const PackageHeader& running = m_session.header;
    PackageHeader header;
    header.second_id = e.param(5).empty() ? running.package_id : cut(e.param(5), SecondIdWidth);
    header.package_id = e.param(4).empty() ? e.random().random_id() : cut(e.param(4), IdWidth);
    header.short_text = e.param(6).empty() ? running.short_text : cut(e.param(6), ShortWidth);
    header.long_text = e.param(7).empty() ? running.long_text : cut(e.param(7), LongWidth);

    PackageWriteOptions options;
    // An empty source folder is the current one (the working folder).
    options.source_folder = e.param(1).empty() ? std::string(".") : script_path(e.param(1));
    options.output_path = script_path(e.param(2));
    options.filter = e.param(3);
    options.family_id = e.param(8).empty() ? m_state.running_family_id : cut(e.param(8), FamilyWidth);
    options.include_k = starts_with_1(e.param(9));
    if (options.source_folder.empty() || options.output_path.empty())
        return int_to_text(result_code(PackageWriteResult::CannotCreateOutput));
    clear_read_only(options.output_path);
    return int_to_text(result_code(write_package(options, header)));
}

// Unpacks into the folder named (made when missing). Only the family id of
// the package read is kept; the running package's header stays. "1" when
// the package was read and every matching member was written.
Result RukFamily::extract(Engine& e)
{
    const std::string path = script_path(e.param(1));
    const std::string folder = e.param(2).empty() ? std::string(".") : script_path(e.param(2));
    if (path.empty() || folder.empty())
        return std::string("0");
    std::error_code ec;
    fs::create_directories(folder, ec);
    PackageHeader read = m_session.header;
    PackageReadOptions options;
    options.destination = folder;
    options.filter = e.param(3);
    PackageReadResult result = read_package(path, read, options);
    if (result.header_read)
        m_extracted_family_id = read.family_id;
    return flag_to_text(result.header_read && result.skipped.empty());
}

// Translates the source line held in one element of a variable and stores
// the compiled line back. A missing element reads as an empty line.
Result RukFamily::compile(Engine& e)
{
    VarStore& vars = e.vars();
    const int32_t number = vars.find(e.param(1));
    if (number < 0)
        return int_to_text(TranslateNoVariable);
    const int32_t element = e.param_int(2, 0);
    const VarStore::Variable& variable = vars.at(number);
    if (element < 0 || element > variable.highest())
        return int_to_text(TranslateOk);
    std::string line = variable.elements[static_cast<size_t>(element)];
    TranslateResult result = translate_line(line);
    if (result.code == TranslateOk && !result.empty)
        vars.set_element(number, element, line);
    return int_to_text(result.code);
}

std::string RukFamily::current_header() const
{
    const PackageHeader& h = m_session.header;
    return h.package_id + "^^" + h.second_id + "^^" + h.short_text + "^^" + h.long_text + "^^" + m_state.running_family_id;
}

void RukFamily::set_current_header(Engine& e)
{
    PackageHeader& h = m_session.header;
    h.package_id = cut(e.param(1), IdWidth);
    h.second_id = cut(e.param(2), SecondIdWidth);
    h.short_text = cut(e.param(3), ShortWidth);
    h.long_text = cut(e.param(4), LongWidth);
    set_running_family_id(cut(e.param(5), FamilyWidth));
}

} // namespace

void register_ruk_family(Engine& engine, HostState& state, Session& session)
{
    auto family = std::make_shared<RukFamily>(state, session);
    engine.register_family("ruk", [family](Engine& e) { return family->handle(e); });
}

} // namespace ruk
