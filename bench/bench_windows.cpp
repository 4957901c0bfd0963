// Window speed: create and close 254 windows, full repaints of a 1920 x 1080
// window from its bitmap (headless and under Xvfb), and the outline of a
// 1920 x 1080 picture.
#include "graphics/BmpFile.h"
#include "graphics/Outline.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using namespace ruk;

namespace {

// The script measures itself with the engine's tick (200000 a second) and
// prints its figures.
const char* script = R"(
event.initialize()
    window.main.pos(0, 0, 10, 10)
    time.tick.reset()
    for (&round, 1, 10)
        for (&i, 1, 254)
            window.create()
        for.next()
CLOSES
    for.next()
    system.message("rounds " time.tick.get())
    window.create()
    window.1.image.load("PICTURE")
    window.1.pos(0, 0, 1920, 1080)
    doevent.paint(500)
event.end()

event.paint()
    time.tick.reset()
    for (&i, 1, 200)
        window.1.repaint()
    for.next()
    system.message("repaints " time.tick.get())
    app.close()
event.end()
)";

// Runs the engine on the source and prints its figures: ten rounds of 254
// windows, then 200 repaints; the script's ticks are 5 microseconds.
void run(const std::string& engine, const std::string& source, const std::string& display)
{
    const std::string command = (display.empty() ? std::string("env -u DISPLAY ") : "DISPLAY=" + display + " ") + engine +
                                (display.empty() ? " --headless" : "") + " --print-boxes " + source;
    FILE* out = ::popen(command.c_str(), "r");
    if (!out)
        return;
    char line[256];
    while (std::fgets(line, sizeof line, out)) {
        double ticks = 0;
        if (std::sscanf(line, "rounds %lf", &ticks) == 1)
            std::printf("  create and close 254 windows: %.1f ms\n", ticks * 0.005 / 10);
        else if (std::sscanf(line, "repaints %lf", &ticks) == 1)
            std::printf("  full repaint of 1920x1080: %.2f ms, %.0f frames a second\n", ticks * 0.005 / 200,
                        200 / (ticks * 0.000005));
    }
    ::pclose(out);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string engine = argc > 1 ? argv[1] : "build/bin/rukengine";
    const fs::path folder = fs::temp_directory_path() / ("ruk-bench-windows-" + std::to_string(::getpid()));
    fs::create_directories(folder);

    Bitmap picture(1920, 1080);
    for (int y = 0; y < 1080; ++y)
        for (int x = 0; x < 1920; ++x)
            picture.set_pixel(x, y, ((x / 7 + y / 5) % 3) ? 0x3080F0 : 0);
    const std::string picture_path = (folder / "big.bmp").string();
    BmpFile::save(picture_path, picture, 24);

    auto start = std::chrono::steady_clock::now();
    size_t polygons = 0;
    for (int i = 0; i < 5; ++i)
        polygons = Outline::from_bitmap(picture, 0, 0, 1920, 1080, 0, 0, 0).polygon_count();
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("outline of a 1920x1080 striped picture: %.2f ms (%zu polygons kept, the rest left out)\n",
                took.count() / 5, polygons);

    // A round picture: one run per row, every pixel compared.
    Bitmap round(1920, 1080);
    for (int y = 0; y < 1080; ++y)
        for (int x = 0; x < 1920; ++x)
            if ((x - 960) * (x - 960) + (y - 540) * (y - 540) < 500 * 500)
                round.set_pixel(x, y, 0x3080F0);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i)
        polygons = Outline::from_bitmap(round, 0, 0, 1920, 1080, 0, 0, 0).polygon_count();
    took = std::chrono::steady_clock::now() - start;
    std::printf("outline of a 1920x1080 round picture: %.2f ms (%zu polygons)\n", took.count() / 5, polygons);

    // Window words are literal numbers: one close line per window.
    std::string closes;
    for (int i = 1; i <= 254; ++i)
        closes += "        window." + std::to_string(i) + ".close()\n";
    std::string text = script;
    text.replace(text.find("CLOSES\n"), 7, closes);
    text.replace(text.find("PICTURE"), 7, picture_path);
    const std::string source = (folder / "bench.rks").string();
    std::ofstream(source) << text;

    std::printf("headless:\n");
    std::fflush(stdout);
    run(engine, source, "");

    // Under Xvfb, when it is installed: a server of our own on a free display.
    const std::string display = ":" + std::to_string(90 + ::getpid() % 100);
    pid_t xvfb = 0;
    std::vector<std::string> xargs = {"Xvfb", display, "-screen", "0", "1920x1080x24", "-nolisten", "tcp"};
    std::vector<char*> xv;
    for (auto& a : xargs)
        xv.push_back(a.data());
    xv.push_back(nullptr);
    if (posix_spawnp(&xvfb, "Xvfb", nullptr, nullptr, xv.data(), environ) == 0) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        std::printf("Xvfb:\n");
        std::fflush(stdout);
        run(engine, source, display);
        kill(xvfb, SIGTERM);
        waitpid(xvfb, nullptr, 0);
    }
    fs::remove_all(folder);
    return 0;
}
