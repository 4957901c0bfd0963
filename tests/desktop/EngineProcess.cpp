// Engine processes for tests.
#include "tests/desktop/EngineProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace ruk::test {

TempRoot::TempRoot()
{
    std::string pattern = (fs::temp_directory_path() / "ruk-engine-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()))
        m_path = pattern;
}

TempRoot::~TempRoot()
{
    std::error_code ec;
    if (!m_path.empty())
        fs::remove_all(m_path, ec);
}

std::string TempRoot::write(const std::string& name, const std::string& text) const
{
    std::string path = m_path + "/" + name;
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::vector<std::string> TempRoot::working_folders() const
{
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(m_path + "/rukreader", ec))
        if (e.is_directory() && e.path().filename().string()[0] != '.')
            out.push_back(e.path().string());
    return out;
}

std::string built_program(const std::string& name)
{
    return std::string(RUK_BIN_DIR) + "/" + name;
}

EngineProcess::EngineProcess(const std::vector<std::string>& args, const std::string& tmpdir, const std::string& display,
                             const std::string& program_path)
{
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (entry.rfind("TMPDIR=", 0) == 0 || entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("RUK_REGISTRY=", 0) == 0)
            continue;
        env.push_back(entry);
    }
    env.push_back("TMPDIR=" + tmpdir);
    // The engines' settings stay in the test's folder, never in the user's.
    env.push_back("RUK_REGISTRY=" + tmpdir + "/registry.sqlite");
    if (!display.empty())
        env.push_back("DISPLAY=" + display);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    std::string program = program_path.empty() ? built_program("rukengine") : program_path;
    std::vector<std::string> copy = args;
    std::vector<char*> argv{program.data()};
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    m_out_fd = out[0];
    m_err_fd = err[0];
}

EngineProcess::~EngineProcess()
{
    if (m_pid > 0 && !m_reaped) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_out_fd >= 0)
        ::close(m_out_fd);
    if (m_err_fd >= 0)
        ::close(m_err_fd);
}

// Reads whatever is available within the time; false when both pipes ended.
bool EngineProcess::pump(double seconds)
{
    pollfd fds[2] = {{m_out_fd, POLLIN, 0}, {m_err_fd, POLLIN, 0}};
    int open = (m_out_fd >= 0) + (m_err_fd >= 0);
    if (open == 0)
        return false;
    if (::poll(fds, 2, static_cast<int>(seconds * 1000)) <= 0)
        return true;
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char buffer[4096];
        ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
        if (got > 0) {
            (i == 0 ? m_out : m_err).append(buffer, static_cast<size_t>(got));
        } else {
            ::close(fds[i].fd);
            (i == 0 ? m_out_fd : m_err_fd) = -1;
        }
    }
    return true;
}

bool EngineProcess::wait_for_line(const std::string& line, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        size_t end;
        while ((end = m_out.find('\n', m_scanned)) != std::string::npos) {
            bool found = m_out.compare(m_scanned, end - m_scanned, line) == 0;
            m_scanned = end + 1;
            if (found)
                return true;
        }
        double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0 || !pump(std::min(left, 0.1)))
            return false;
    }
}

int EngineProcess::wait(double seconds)
{
    if (m_pid <= 0)
        return -1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!m_reaped) {
        pid_t r = ::waitpid(m_pid, &m_status, WNOHANG);
        if (r == m_pid) {
            m_reaped = true;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &m_status, 0);
            m_reaped = true;
            while (pump(0.05)) {
            }
            return -1;
        }
        pump(0.02);
    }
    // Read what is left (children of the engine may still hold the pipes a moment).
    auto drain = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < drain && pump(0.1)) {
    }
    if (WIFEXITED(m_status))
        return WEXITSTATUS(m_status);
    if (WIFSIGNALED(m_status))
        return 128 + WTERMSIG(m_status);
    return -1;
}

void EngineProcess::signal(int sig)
{
    if (m_pid > 0 && !m_reaped)
        ::kill(m_pid, sig);
}

} // namespace ruk::test
