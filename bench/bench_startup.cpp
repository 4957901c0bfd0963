// Measures the engine's start-up: from exec to the end of a package whose
// "initialize" closes the engine at once, headless.
#include "core/Random.h"
#include "host/Package.h"

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

double run_once(const std::string& engine, const std::string& package)
{
    std::vector<std::string> args = {engine, "--headless", package};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, engine.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? took.count() : -1;
}

} // namespace

int main(int argc, char** argv)
{
    std::string engine = argc > 1 ? argv[1] : (fs::path(argv[0]).parent_path() / "rukengine").string();
    if (!fs::exists(engine)) {
        std::fprintf(stderr, "bench_startup: %s not found (give the engine's path)\n", engine.c_str());
        return 1;
    }
    // A package holding only a code file: initialize closes the engine.
    fs::path dir = fs::temp_directory_path() / "ruk-bench-startup";
    fs::create_directories(dir / "src");
    std::string code = "event.initialize()\r\napp.close()\r\nevent.end()\r\n";
    for (char& c : code)
        if (c == '.')
            c = '\x8E';
        else if (c == '(')
            c = '\x8F';
        else if (c == ')')
            c = '\x90';
    for (char& c : code)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    std::ofstream(dir / "src" / "identity.qexe", std::ios::binary) << code;
    ruk::PackageHeader header;
    header.package_id = "BENCHSTARTUP";
    ruk::PackageWriteOptions options;
    options.source_folder = (dir / "src").string();
    options.output_path = (dir / "startup.ruk").string();
    if (ruk::write_package(options, header) != ruk::PackageWriteResult::Written) {
        std::fprintf(stderr, "bench_startup: cannot write the package\n");
        return 1;
    }
    // The runs keep their settings store beside the package.
    setenv("RUK_REGISTRY", (dir / "registry.sqlite").c_str(), 1);
    std::vector<double> times;
    for (int i = 0; i < 21; ++i) {
        double t = run_once(engine, options.output_path);
        if (t < 0) {
            std::fprintf(stderr, "bench_startup: the engine failed\n");
            return 1;
        }
        times.push_back(t);
    }
    std::sort(times.begin(), times.end());
    std::printf("engine start to end, headless: median %.1f ms, best %.1f ms, worst %.1f ms (21 runs)\n",
                times[times.size() / 2] * 1000, times.front() * 1000, times.back() * 1000);
    fs::remove_all(dir);
    return 0;
}
