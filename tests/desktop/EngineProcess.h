// Starts rukengine processes for tests and reads what they print.
#pragma once

#include <string>
#include <vector>
#include <sys/types.h>

namespace ruk::test {

// A private temporary folder that is the engines' TMPDIR, removed afterwards.
class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    const std::string& path() const { return m_path; }
    // Writes a file under the folder and returns its path.
    std::string write(const std::string& name, const std::string& text) const;
    // The working folders engines left under rukreader/.
    std::vector<std::string> working_folders() const;

private:
    std::string m_path;
};

// One engine process with its standard output and error read through pipes.
class EngineProcess {
public:
    // Starts build/bin/rukengine (or the program at `program`) with the
    // arguments; TMPDIR is the given folder; DISPLAY is kept only when
    // `display` is not empty.
    EngineProcess(const std::vector<std::string>& args, const std::string& tmpdir, const std::string& display = "",
                  const std::string& program = "");
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // Reads standard output until a line equals `line` (true) or the time
    // runs out or the output ends (false).
    bool wait_for_line(const std::string& line, double seconds);
    // Waits for the process to end (bounded); returns its exit code, or -1
    // when it had to be killed, or 128 + signal.
    int wait(double seconds);
    void signal(int sig);
    // Everything read from standard output and standard error so far (wait()
    // reads the rest).
    const std::string& out() const { return m_out; }
    const std::string& err() const { return m_err; }

private:
    bool pump(double seconds);
    pid_t m_pid = -1;
    int m_out_fd = -1;
    int m_err_fd = -1;
    std::string m_out;
    std::string m_err;
    size_t m_scanned = 0;
    bool m_reaped = false;
    int m_status = 0;
};

// The path of a built program.
std::string built_program(const std::string& name);

} // namespace ruk::test
