// The in-process script harness.
#include "tests/support/ScriptHarness.h"

#include "system/Translator.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <unistd.h>

namespace ruk::test {

int SteppedHost::message_box(std::string_view text, std::string_view, uint32_t, int default_button)
{
    m_out << text << '\n';
    return default_button;
}

namespace {

std::string private_store_path()
{
    static std::atomic<int> counter{0};
    return (std::filesystem::temp_directory_path()
            / ("ruk-harness-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".sqlite"))
        .string();
}

} // namespace

ScriptHarness::ScriptHarness()
    : m_host(m_out), m_registry_path(private_store_path()), m_registry(m_registry_path), m_engine(&m_host),
      m_application(m_engine, m_state)
{
    register_headless_families(m_engine, m_state, m_session, m_registry, m_application, m_bitmaps);
    m_engine.random().seed(12345);
    m_engine.set_error_observer([this](const std::string& text) {
        auto fields = error_fields(text);
        m_errors.push_back(fields.size() > 2 ? fields[2] : text);
    });
}

ScriptHarness::~ScriptHarness()
{
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        std::filesystem::remove(m_registry_path + suffix, ec);
}

bool ScriptHarness::load(std::string_view source)
{
    CompiledSource compiled = compile_source(source);
    m_compile_errors.clear();
    for (const auto& error : compiled.errors)
        m_compile_errors.push_back(std::to_string(error.line) + ": " + error.message);
    if (!compiled.errors.empty())
        return false;
    std::string text;
    for (const auto& line : compiled.lines) {
        text += line;
        text += "\r\n";
    }
    m_engine.code().load_text(text);
    return true;
}

void ScriptHarness::load_compiled(std::string_view text)
{
    m_engine.code().load_text(text);
}

void ScriptHarness::run(std::string_view event)
{
    m_engine.run_event(event);
    drain();
}

void ScriptHarness::drain()
{
    for (int guard = 0; guard < 100000 && !m_engine.pending().empty() && !m_engine.stopped(); ++guard) {
        if (m_engine.run_pending())
            continue;
        // Nothing due that runs: move the clock to the next due time, or
        // stop when every due entry names an event that does not exist.
        std::optional<int64_t> next = m_engine.next_due(m_host.tick_ms());
        if (!next)
            break;
        m_host.advance_to(*next);
    }
}

std::string ScriptHarness::var(std::string_view reference)
{
    return m_engine.vars().read(reference).value_or("<none>");
}

std::vector<std::string> error_fields(std::string_view text)
{
    std::vector<std::string> fields;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(ErrorFieldEnd, pos);
        if (end == std::string_view::npos) {
            fields.emplace_back(text.substr(pos));
            break;
        }
        fields.emplace_back(text.substr(pos, end - pos));
        pos = end + ErrorFieldEnd.size();
    }
    return fields;
}

} // namespace ruk::test
