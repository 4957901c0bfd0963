// Animation timer accuracy: the spacing of consecutive ticks of gliding
// windows under Xvfb, for one window and for fifty gliding at once.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int Gaps = 500;

// Every window glides without friction, bouncing around the screen; each
// tick prints the window and the engine's tick count (5 microseconds a
// unit). The script ends the engine once every window has ticked enough.
const char* script = R"(
event.load()
    window.main.pos(0, 0, 10, 10)
    &n = 0
WINDOWS
event.end()

event.anim:move()
    system.message("t " window.eventauthor() " " time.tick.get())
    &n = &n + 1
    if (&n = LIMIT)
        app.close()
    if.end()
event.end()
)";

std::string windows_lines(int count)
{
    std::string lines;
    for (int i = 1; i <= count; ++i) {
        const std::string w = std::to_string(i);
        lines += "    window.create(1)\n";
        lines += "    window." + w + ".pos(" + std::to_string(20 * i % 1000) + ", " + std::to_string(15 * i % 700) +
                 ", 40, 40)\n";
        lines += "    anim." + w + ".direction(" + std::to_string(17 * i % 360) + ")\n";
        lines += "    anim." + w + ".sensibility(1)\n";
        lines += "    anim." + w + ".friction(0)\n";
        lines += "    anim." + w + ".speed(" + std::to_string(3 + i % 7) + ")\n";
    }
    return lines;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5));
    return values[at];
}

// Runs the engine with `count` gliding windows and reports the spacing of
// each window's consecutive ticks (the first Gaps of every window).
void run(const std::string& engine, const fs::path& folder, const std::string& display, int count)
{
    std::string text = script;
    text.replace(text.find("WINDOWS\n"), 8, windows_lines(count));
    text.replace(text.find("LIMIT"), 5, std::to_string((Gaps + 2) * count));
    const fs::path source = folder / ("glide" + std::to_string(count) + ".rks");
    std::ofstream(source) << text;
    const std::string command =
        "DISPLAY=" + display + " " + engine + " --print-boxes --timeout 120 " + source.string();
    FILE* out = ::popen(command.c_str(), "r");
    if (!out)
        return;
    std::map<int, std::vector<long>> stamps;
    char line[256];
    while (std::fgets(line, sizeof line, out)) {
        int window = 0;
        long tick = 0;
        if (std::sscanf(line, "t %d %ld", &window, &tick) == 2)
            stamps[window].push_back(tick);
    }
    ::pclose(out);
    std::vector<double> gaps;
    for (auto& [window, ticks] : stamps)
        for (size_t i = 1; i < ticks.size() && i <= Gaps; ++i)
            gaps.push_back(static_cast<double>(ticks[i] - ticks[i - 1]) * 0.005);
    std::printf("%2d gliding window%s: %zu gaps, median %.2f ms, 95th percentile %.2f ms, 5th %.2f ms, max %.2f ms\n",
                count, count == 1 ? "" : "s", gaps.size(), percentile(gaps, 0.5), percentile(gaps, 0.95),
                percentile(gaps, 0.05), percentile(gaps, 1.0));
    std::fflush(stdout);
}

// Xvfb on a display it picks itself (-displayfd); 0 when it did not start.
pid_t start_xvfb(std::string& display)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return 0;
    std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                                     "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    // Its complaints about displays already taken are no news.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "Xvfb", &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return 0;
    }
    ::close(fds[1]);
    pollfd p{fds[0], POLLIN, 0};
    char number[32] = {};
    if (::poll(&p, 1, 10000) > 0 && ::read(fds[0], number, sizeof number - 1) > 0) {
        display = ":" + std::to_string(std::atoi(number));
    } else {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        pid = 0;
    }
    ::close(fds[0]);
    return pid;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string engine = argc > 1 ? argv[1] : "build/bin/rukengine";
    const fs::path folder = fs::temp_directory_path() / ("ruk-bench-glide-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::string display;
    const pid_t xvfb = start_xvfb(display);
    if (!xvfb) {
        std::printf("Xvfb did not start: nothing measured\n");
        fs::remove_all(folder);
        return 1;
    }
    std::printf("animation tick spacing under Xvfb (%s), target 20 ms:\n", display.c_str());
    run(engine, folder, display, 1);
    run(engine, folder, display, 50);
    ::kill(xvfb, SIGTERM);
    ::waitpid(xvfb, nullptr, 0);
    fs::remove_all(folder);
    return 0;
}
