// The system family: programs in slots, boxes, machine queries and the start-up switches.
#include "system/Misc.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace ruk;
using ruk::test::ScriptHarness;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// The children this test process still has, zombies included.
std::vector<pid_t> child_pids()
{
    std::vector<pid_t> pids;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/self/task", ec)) {
        std::ifstream in(task.path() / "children");
        pid_t pid;
        while (in >> pid)
            pids.push_back(pid);
    }
    return pids;
}

// Notes the children a test starts with; at its end, ends and collects the
// ones it added, so that a failing test hands none to the next.
struct ChildWatch : ::testing::Test {
    std::vector<pid_t> before = child_pids();
    std::vector<pid_t> added() const
    {
        std::vector<pid_t> out;
        for (pid_t pid : child_pids())
            if (std::find(before.begin(), before.end(), pid) == before.end())
                out.push_back(pid);
        return out;
    }
    void TearDown() override
    {
        for (pid_t pid : added()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

struct RecordingHost : Host {
    struct Box {
        std::string text, caption;
        uint32_t flags;
        int default_button;
    };
    std::vector<Box> boxes;
    int drag_clears = 0;
    int message_box(std::string_view text, std::string_view caption, uint32_t flags, int default_button) override
    {
        boxes.push_back({std::string(text), std::string(caption), flags, default_button});
        return default_button;
    }
    int64_t tick_ms() override { return 0; }
    void terminate_application() override {}
    void clear_drag_state() override { ++drag_clears; }
};

struct RecordingServices : SystemServices {
    int events = 0, beeps = 0;
    void process_events() override { ++events; }
    void beep() override { ++beeps; }
    int colour_depth() override { return 16; }
    int count_engines() override { return 3; }
    std::string engine_file_name() override { return "/opt/ruk/rukengine"; }
};

struct SystemFamily : ChildWatch {
    ScriptHarness h;
    std::string run(const std::string& body)
    {
        h.clear_output();
        EXPECT_TRUE(h.load("event.initialize()\n    &q = str.char(34)\n" + body + "\nevent.end()\n"));
        h.run();
        return h.output();
    }
};

using ProcessSlotTable = ChildWatch;

} // namespace

TEST_F(SystemFamily, ProcessExitCodesWaitingAndStillRunning)
{
    std::string out = run(R"(
    system.message(system.process.create(0, "/bin/sh", "sh -c " &q "exit 3" &q, "", 1) "|" system.process.getexitcode(0) "|")
    system.message(system.process.create(2, "", "sleep 0.4") system.process.getexitcode(2))
    system.message(system.process.create(3, "", "sh -c " &q "sleep 1.2; exit 4" &q, "", 1) system.process.getexitcode(2))
    system.process.free(2)
    system.message(system.process.getexitcode(2) "|")
)");
    // A waiting start frees its slot; a program that ended keeps its code
    // readable until the slot is freed.
    EXPECT_EQ(out, "3||\n1259\n40\n|\n");
    EXPECT_TRUE(added().empty());
}

TEST_F(SystemFamily, SlotsOutsideTheTableStartNothing)
{
    std::string out = run(R"(
    system.message(system.process.create(32, "/bin/true") system.process.create(-1, "/bin/true", "", "", 1))
    system.message("[" system.process.getexitcode(32) system.process.getexitcode(-5) system.process.getexitcode(7) "]")
    system.process.free(99)
    system.message(system.process.create(0, "/no/such/program") system.process.create(0, "/no/such/program", "", "", 1))
    system.message(system.winapi.lasterror() ":" system.winapi.errormsg() ":" system.winapi.errormsg(999999) ":")
)");
    EXPECT_EQ(out, "0-1\n[]\n0-1\n2:No such file or directory\r\n::\n");
    EXPECT_TRUE(added().empty());
    EXPECT_TRUE(h.errors().empty());
}

TEST_F(SystemFamily, ProgramsStartInTheirFolderWithOnlyTheStandardFiles)
{
    fs::path dir = fs::temp_directory_path() / ("ruk_system_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // An open file without close-on-exec must not reach the program.
    int fd = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(::dup2(fd, 77), 0);
    std::string out = run("    system.message(system.process.create(5, \"\", \"sh -c \" &q \"pwd > where.txt; test -e /proc/self/fd/77 && exit 1; exit 0\" &q, \"" +
                          dir.string() + "\", 1))");
    ::close(77);
    ::close(fd);
    EXPECT_EQ(out, "0\n");
    std::ifstream where(dir / "where.txt");
    std::string line;
    std::getline(where, line);
    EXPECT_EQ(fs::path(line), fs::canonical(dir));
    fs::remove_all(dir);
}

TEST_F(ProcessSlotTable, WaitIsBoundedAndSignalsGiveTheirCodes)
{
    ProcessSlots slots;
    ASSERT_TRUE(slots.create(0, "/bin/sleep", "sleep 30", ""));
    pid_t pid = slots.pid(0);
    EXPECT_EQ(slots.exit_code(0), ProcessSlots::StillActive);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(slots.wait(0, 150ms), ProcessSlots::StillActive);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 150ms);
    EXPECT_LT(waited, 10s);
    // The wait let the program go: the slot is empty, the program runs on.
    EXPECT_EQ(slots.pid(0), 0);
    EXPECT_EQ(slots.exit_code(0), std::nullopt);
    EXPECT_EQ(::kill(pid, 0), 0);
    ::kill(pid, SIGKILL);
    EXPECT_TRUE(slots.wait_released(10s));

    ASSERT_TRUE(slots.create(1, "", "sleep 30", ""));
    ::kill(slots.pid(1), SIGTERM);
    EXPECT_EQ(slots.wait(1, 10s), 128 + SIGTERM);
    EXPECT_TRUE(added().empty());
}

TEST_F(ProcessSlotTable, ReplacedAndFreedProgramsAreReapedWhenTheyEnd)
{
    {
        ProcessSlots slots;
        ASSERT_TRUE(slots.create(4, "", "sleep 0.1", ""));
        ASSERT_TRUE(slots.create(4, "", "sleep 0.1", "")); // the first one is let go
        slots.free(4);
        EXPECT_TRUE(slots.wait_released(10s));
    }
    EXPECT_TRUE(added().empty());
}

TEST_F(ProcessSlotTable, CommandLinesSplitTheClassicWay)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(split_command_line("  a  \"b c\"\td "), (V{"a", "b c", "d"}));
    EXPECT_EQ(split_command_line(R"(c:\dir\x.exe "c:\a b\" \"q\" x"y"z)"),
              (V{R"(c:\dir\x.exe)", R"(c:\a b" "q" xyz)"}));
    EXPECT_EQ(split_command_line(R"(a\\"b c" \\\"d)"), (V{R"(a\b c)", R"(\"d)"}));
    EXPECT_EQ(split_command_line("\"\" \"unclosed"), (V{"", "unclosed"}));
    EXPECT_TRUE(split_command_line("   ").empty());
}

TEST_F(SystemFamily, DialogAnswersTheDefaultOfEveryButtonSet)
{
    // Answers of buttons 0..6 (6 is not a set: OK) with default button 0..5.
    std::string out = run(R"(
    for (&b, 0, 7)
        &line = ""
        for (&d, 0, 6)
            &line = str.left(&line, 99) system.dialog("c", "t", &b, &d)
        for.next()
        system.message(&line)
    for.next()
)");
    // Headless, each box prints its text and answers its default button.
    std::string expected;
    for (const char* row : {"111111", "112111", "442444", "667666", "667266", "334533", "111111"}) {
        for (int box = 0; box < 6; ++box)
            expected += "t\n";
        expected += std::string(row) + "\n";
    }
    EXPECT_EQ(out, expected);
}

TEST_F(SystemFamily, DialogAndMessageBoxTypes)
{
    RecordingHost host;
    h.engine().set_host(&host);
    h.engine().set_caption("Title");
    run(R"(
    system.dialog("Caption", "a#b")
    system.dialog("c", "t", 0, 1, 3, main, 2)
    system.dialog("c", "t", 4, 3, 2, 1, 3, 1, 1, 1)
    system.dialog("c", "t", 1, 9, 9, , 9, 2, 2, 2)
    system.message("one#two")
)");
    h.engine().set_host(&h.host());
    ASSERT_EQ(host.boxes.size(), 5u);
    EXPECT_EQ(host.boxes[0].text, "a#b");
    EXPECT_EQ(host.boxes[0].caption, "Caption");
    EXPECT_EQ(host.boxes[0].flags, 0u);
    EXPECT_EQ(host.boxes[0].default_button, 1);
    EXPECT_EQ(host.boxes[1].flags, 0x1040u);
    EXPECT_EQ(host.boxes[2].flags, 3u | 0x200 | 0x20 | 0x2000 | 0x10000 | 0x40000 | 0x180000);
    EXPECT_EQ(host.boxes[2].default_button, 2);
    EXPECT_EQ(host.boxes[3].flags, 1u); // values off the lists add nothing
    EXPECT_EQ(host.boxes[4].text, "one\ntwo");
    EXPECT_EQ(host.boxes[4].caption, "Title");
    EXPECT_EQ(host.boxes[4].flags, 0x51040u);
    EXPECT_EQ(host.drag_clears, 5);
}

TEST_F(SystemFamily, UniqueIdsFollowThePatternAndDiffer)
{
    std::string out = run("    system.message(system.createuniqueid())\n    system.message(system.createuniqueid())");
    std::regex pattern("([0-9]{2}[A-Z]{4}[0-9]{4}[A-Z]{4}[0-9]{2})\n([0-9]{2}[A-Z]{4}[0-9]{4}[A-Z]{4}[0-9]{2})\n");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(out, m, pattern)) << out;
    EXPECT_NE(m[1].str(), m[2].str());
}

TEST_F(SystemFamily, SwitchesServicesAndUnknownWords)
{
    RecordingServices services;
    ProcessClipboard clipboard;
    register_system_family(h.engine(), h.state(), services, clipboard, h.bitmaps());
    std::string out = run(R"(
    system._hidden(1)
    system._showintaskbar(1x)
    system._objectversion("2.1 beta")
    system._debugmode(0)
    system.doevents()
    system.beep()
    system.message(system.rukengine.countinstances() system.getcolors() system.rukengine.filename() system.os() system.plateform())
    system._showintaskbar(0)
    system.hidden(0)
    system._bogus()
    system.battery.bogus()
    system.process.wait(1)
)");
    EXPECT_EQ(out, "316/opt/ruk/rukengineLINUX2\n");
    EXPECT_TRUE(h.state().hidden);
    EXPECT_FALSE(h.state().show_in_taskbar);
    EXPECT_EQ(h.state().object_version, "2.1 beta");
    EXPECT_EQ(services.events, 1);
    EXPECT_EQ(services.beeps, 1);
    EXPECT_EQ(h.errors(), std::vector<std::string>(4, MsgUnknown));
}

TEST_F(SystemFamily, PriorityWordsAreExactAndApplyToTheEngineThread)
{
    // A thread of its own, so that the lowered priority ends with it.
    int before = 0, after_capitals = 0, after_low = 0;
    std::thread engine_thread([&] {
        ScriptHarness own;
        own.load("event.initialize()\n    system.priority(\"HIGH\")\nevent.end()\nevent.low()\n    system.priority(low)\nevent.end()\n");
        errno = 0;
        before = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
        own.run();
        after_capitals = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
        own.run("low");
        after_low = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    });
    engine_thread.join();
    EXPECT_EQ(after_capitals, before);
    EXPECT_EQ(after_low, 19);
}

TEST_F(SystemFamily, LibrariesAndDocuments)
{
    std::string out = run(R"(
    system.message(system.loadlibrary("libm.so.6") system.loadlibrary("libm.so.6") system.loadlibrary("no_such_library.so") system.loadlibrary(""))
    system.message(system.execute("/no/such/document.txt") " " system.execute("/bin/true", "", "/no/such/folder") " " system.execute(""))
    system.message(system.execute("/bin/sh", "-c " &q "exit 0" &q))
)");
    EXPECT_EQ(out, "1100\n2 3 2\n42\n");
}

TEST(SystemQueries, LanguageFromLocales)
{
    EXPECT_EQ(language_of_locale("de_DE.UTF-8"), "GERMAN");
    EXPECT_EQ(language_of_locale("pt_BR"), "PORTUGUESE");
    EXPECT_EQ(language_of_locale("sr_RS@latin"), "CROATIAN");
    EXPECT_EQ(language_of_locale("nb_NO.UTF-8"), "NORWEGIAN");
    EXPECT_EQ(language_of_locale("FR"), "FRENCH");
    EXPECT_EQ(language_of_locale("C.UTF-8"), "ENGLISH");
    EXPECT_EQ(language_of_locale("POSIX"), "ENGLISH");
    EXPECT_EQ(language_of_locale("uk_UA"), "unknown"); // a language without a name in the list
    EXPECT_EQ(language_of_locale("deu"), "unknown");
    EXPECT_EQ(language_name(23), "unknown");
    EXPECT_EQ(language_name(56), "FAEROESE");

    struct Saved {
        const char* name;
        std::optional<std::string> value;
    };
    std::vector<Saved> saved;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        saved.push_back({name, v ? std::optional<std::string>(v) : std::nullopt});
    }
    ::setenv("LC_ALL", "", 1);
    ::setenv("LC_MESSAGES", "fr_CA.UTF-8", 1);
    ::setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(user_language(), "FRENCH");
    ::unsetenv("LC_MESSAGES");
    ScriptHarness h;
    h.load("event.initialize()\n    system.message(system.language())\nevent.end()\n");
    h.run();
    EXPECT_EQ(h.output(), "GERMAN\n");
    for (const auto& s : saved)
        s.value ? ::setenv(s.name, s.value->c_str(), 1) : ::unsetenv(s.name);
}

TEST(SystemQueries, PowerStatusFromSupplies)
{
    fs::path root = fs::temp_directory_path() / ("ruk_power_" + std::to_string(::getpid()));
    auto write = [&](const std::string& entry, const std::string& file, const std::string& text) {
        fs::create_directories(root / entry);
        std::ofstream(root / entry / file) << text << "\n";
    };
    PowerStatus none = read_power_status((root / "missing").string());
    EXPECT_EQ(none.life_percent, 255);
    EXPECT_EQ(none.life_time, -1);
    EXPECT_EQ(none.battery_flag, 255);

    write("AC", "type", "Mains");
    write("AC", "online", "1");
    write("hid-mouse", "type", "Battery");
    write("hid-mouse", "scope", "Device");
    write("hid-mouse", "capacity", "40");
    PowerStatus desktop = read_power_status(root.string());
    EXPECT_EQ(desktop.ac_line, 1);
    EXPECT_EQ(desktop.life_percent, 255);
    EXPECT_EQ(desktop.life_time, -1);
    EXPECT_EQ(desktop.full_life_time, -1);
    EXPECT_EQ(desktop.battery_flag, 128);

    write("AC", "online", "0");
    write("BAT0", "type", "Battery");
    write("BAT0", "status", "Discharging");
    write("BAT0", "energy_now", "25000000");
    write("BAT0", "energy_full", "50000000");
    write("BAT0", "power_now", "10000000");
    PowerStatus laptop = read_power_status(root.string());
    EXPECT_EQ(laptop.ac_line, 0);
    EXPECT_EQ(laptop.life_percent, 50);
    EXPECT_EQ(laptop.life_time, 9000);
    EXPECT_EQ(laptop.full_life_time, 18000);
    EXPECT_EQ(laptop.battery_flag, 0);

    write("AC", "online", "1");
    write("BAT0", "status", "Charging");
    write("BAT0", "energy_now", "1000000");
    PowerStatus charging = read_power_status(root.string());
    EXPECT_EQ(charging.life_percent, 2);
    EXPECT_EQ(charging.battery_flag, 2 | 4 | 8);
    EXPECT_EQ(charging.life_time, -1);
    fs::remove_all(root);
}

TEST(SystemQueries, MemoryFromMeminfo)
{
    auto m = parse_meminfo("MemTotal:       1000 kB\nMemFree:  100 kB\nMemAvailable:    250 kB\nBuffers: 5 kB\n");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->total_kib, 1000u);
    EXPECT_EQ(m->available_kib, 250u);
    EXPECT_EQ(m->load_percent, 75);
    auto old = parse_meminfo("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 50 kB");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->available_kib, 200u);
    EXPECT_FALSE(parse_meminfo("MemTotal: lots\ngarbage"));
    EXPECT_FALSE(parse_meminfo(""));
}
