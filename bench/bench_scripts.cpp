// Runs three script workloads through the whole engine process and, when tclsh is installed, the same work in Tcl.
//
//   bench_scripts [RUKC] [--rounds N]
//
// RUKC defaults to the rukc built beside this program. Each workload runs
// N times (default 5) and the best time counts; CPU time (user + system of
// the child) is what the ratio compares, because wall time on a shared
// machine mostly measures the other processes. The memory of the decoded
// form of a 10,000-line script is printed at the end.
#include "core/CodeStore.h"
#include "system/Translator.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Workload {
    const char* name;
    const char* script; // engine source
    const char* tcl;    // the same work, written the plain Tcl way
};

const Workload Workloads[] = {
    {"while loop, 1,000,000 steps",
     "event.initialize()\n"
     "    &i = 0\n"
     "    while (&i < 1000000)\n"
     "        &i = &i + 1\n"
     "    while.end()\n"
     "    system.message(&i)\n"
     "    app.close()\n"
     "event.end()\n",
     "set i 0\n"
     "while {$i < 1000000} { incr i }\n"
     "puts $i\n"},
    {"200,000 two-parameter calls",
     "event.initialize()\n"
     "    &i = 0\n"
     "    while (&i < 200000)\n"
     "        &r = add(&i, 2)\n"
     "        &i = &i + 1\n"
     "    while.end()\n"
     "    system.message(&r)\n"
     "    app.close()\n"
     "event.end()\n"
     "function.add(&a, &b)\n"
     "    return(&a + &b)\n"
     "function.end()\n",
     "proc add {a b} { return [expr {$a + $b}] }\n"
     "set i 0\n"
     "while {$i < 200000} { set r [add $i 2]; incr i }\n"
     "puts $r\n"},
    {"200,000 rounds of upper(sub())",
     "event.initialize()\n"
     "    &t = \"hello world\"\n"
     "    &i = 0\n"
     "    &n = 0\n"
     "    while (&i < 200000)\n"
     "        &s = str.upper(str.sub(&t, 2, 3))\n"
     "        if (&s = \"LLO\")\n"
     "            var.inc(n)\n"
     "        if.end()\n"
     "        var.inc(i)\n"
     "    while.end()\n"
     "    system.message(&n)\n"
     "    app.close()\n"
     "event.end()\n",
     "set t \"hello world\"\n"
     "set i 0\n"
     "set n 0\n"
     "while {$i < 200000} {\n"
     "    set s [string toupper [string range $t 2 4]]\n"
     "    if {$s eq \"LLO\"} { incr n }\n"
     "    incr i\n"
     "}\n"
     "puts $n\n"},
};

struct Timing {
    double cpu = -1;  // seconds of user + system time, -1 when the run failed
    double wall = -1;
};

// Runs a program with its output thrown away; the times of a run that
// failed are -1.
Timing run_process(const std::vector<std::string>& args, const std::vector<std::string>& env = {})
{
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        for (const auto& e : env)
            putenv(const_cast<char*>(e.c_str()));
        std::FILE* null = std::fopen("/dev/null", "w");
        if (null)
            dup2(fileno(null), 1);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    Timing t;
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return t;
    t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return t;
}

// Keeps the lower CPU and wall times of the runs so far; a run that failed
// makes the whole result a failure.
void keep_best(Timing& best, const Timing& t, bool first)
{
    if (first) {
        best = t;
    } else if (best.cpu < 0 || t.cpu < 0) {
        best = Timing{};
    } else {
        best.cpu = std::min(best.cpu, t.cpu);
        best.wall = std::min(best.wall, t.wall);
    }
}

void write_file(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// A 10,000-line script of the kinds of lines real scripts hold, to weigh
// the decoded form against the code text.
void report_decoded_memory()
{
    std::string source = "event.initialize()\n";
    for (int i = 0; source.size() < 10'000'000 && i < 10'000 / 8; ++i) {
        const std::string n = std::to_string(i);
        source += "    &x" + n + " = &x" + n + " + " + n + "\n";
        source += "    while (&i" + n + " < 100)\n";
        source += "        var.inc(i" + n + ")\n";
        source += "    while.end()\n";
        source += "    &s" + n + " = str.upper(str.sub(&t, " + n + ", 3))\n";
        source += "    if (&s" + n + " = \"ABC\")\n";
        source += "        window.main.pos(0, 0, &w" + n + ", &h" + n + ")\n";
        source += "    if.end()\n";
    }
    source += "event.end()\n";
    ruk::CompiledSource compiled = ruk::compile_source(source);
    std::string code;
    size_t text_bytes = 0;
    for (const auto& line : compiled.lines) {
        code += line;
        code += '\n';
        text_bytes += line.size();
    }
    ruk::CodeStore store;
    store.load_text(code);
    const size_t decoded = store.decoded().memory_bytes();
    std::printf("\ndecoded form of a %d-line script: %zu bytes for %zu bytes of code text (%.2fx)\n",
                store.line_count(), decoded, text_bytes, static_cast<double>(decoded) / static_cast<double>(text_bytes));
}

} // namespace

int main(int argc, char** argv)
{
    std::string rukc = (fs::read_symlink("/proc/self/exe").parent_path() / "rukc").string();
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else
            rukc = a;
    }
    const bool have_tcl = std::system("command -v tclsh >/dev/null 2>&1") == 0;
    fs::path dir = fs::temp_directory_path() / ("bench_scripts-" + std::to_string(getpid()));
    fs::create_directories(dir);

    std::printf("%-30s %10s %10s %10s %8s %8s\n", "workload (cpu seconds)", "engine", "as text", "tclsh", "ratio", "text/tcl");
    int over = 0;
    int k = 0;
    for (const Workload& w : Workloads) {
        const fs::path script = dir / ("w" + std::to_string(k) + ".rks");
        const fs::path tcl = dir / ("w" + std::to_string(k) + ".tcl");
        ++k;
        write_file(script, w.script);
        write_file(tcl, w.tcl);
        // Rounds alternate between the programs, so that a busy moment of
        // the machine falls on all of them alike.
        Timing engine, plain, tclsh;
        for (int r = 0; r < rounds; ++r) {
            keep_best(engine, run_process({rukc, "run", script.string()}), r == 0);
            keep_best(plain, run_process({rukc, "run", script.string()}, {"RUK_NO_DECODE=1"}), r == 0);
            if (have_tcl)
                keep_best(tclsh, run_process({"tclsh", tcl.string()}), r == 0);
        }
        std::printf("%-30s %10.3f %10.3f", w.name, engine.cpu, plain.cpu);
        if (tclsh.cpu > 0) {
            double ratio = engine.cpu / tclsh.cpu;
            over += ratio > 1.0;
            std::printf(" %10.3f %8.2f %8.2f", tclsh.cpu, ratio, plain.cpu / tclsh.cpu);
        } else {
            std::printf(" %10s", "-");
        }
        std::printf("\n");
    }
    report_decoded_memory();
    fs::remove_all(dir);
    if (have_tcl && over)
        std::printf("%d workload(s) above tclsh\n", over);
    return 0;
}
