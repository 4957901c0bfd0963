// The rukc tool as a process: special files, hostile packages, file-size limits and refused names.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int code = -1;        // exit code, or 128 + signal
    std::string out;
    double seconds = 0;
};

// Runs rukc with the arguments, its output in a file; a run that takes more
// than `limit` seconds is killed (a blocked tool fails the test, never hangs it).
ToolRun rukc(const std::vector<std::string>& args, const fs::path& scratch, rlim_t file_limit = RLIM_INFINITY,
             int limit = 20)
{
    ToolRun run;
    const std::string out_path = (scratch / "rukc.out").string();
    auto start = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        std::string program = std::string(RUK_BIN_DIR) + "/rukc";
        std::vector<char*> argv{program.data()};
        std::vector<std::string> copy = args;
        for (auto& a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        FILE* f = std::freopen(out_path.c_str(), "w", stdout);
        if (!f || ::dup2(1, 2) < 0)
            ::_exit(126);
        rlimit rl{file_limit, file_limit};
        if (file_limit != RLIM_INFINITY)
            ::setrlimit(RLIMIT_FSIZE, &rl);
        ::signal(SIGXFSZ, SIG_DFL);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    for (;;) {
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            break;
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(limit)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        ::usleep(10000);
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ifstream in(out_path, std::ios::binary);
    run.out.assign(std::istreambuf_iterator<char>(in), {});
    return run;
}

struct RukcTool : ::testing::Test {
    fs::path dir;
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "ruk-rukc-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
};

} // namespace

TEST_F(RukcTool, PipesAreRefusedByEveryCommandWithoutBlocking)
{
    const fs::path pipe = dir / "pipe.ruk";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const fs::path source = dir / "pipe.rks";
    ASSERT_EQ(::mkfifo(source.c_str(), 0600), 0);
    fs::create_directories(dir / "out");
    for (const auto& args : std::vector<std::vector<std::string>> {
             {"list", pipe.string()},
             {"extract", pipe.string(), (dir / "out").string()},
             {"compile", source.string(), "-o", (dir / "code").string()},
             {"run", source.string()},
             {"dis", pipe.string()},
             {"compress", pipe.string(), (dir / "c").string()},
         }) {
        ToolRun run = rukc(args, dir, RLIM_INFINITY, 5);
        EXPECT_NE(run.code, 0) << args[0];
        EXPECT_LT(run.code, 128) << args[0] << " did not end by itself";
    }
}

TEST_F(RukcTool, ListingAndExtractingShowControlBytesEscaped)
{
    // A package whose header texts and member name carry escape sequences.
    std::string package(305, '\0');
    package[0] = 'Q';
    package.replace(11, 8, "\x1b]0;pwn\x07");
    package.replace(293, 12, "1           ");
    std::string name = "\x1b[2Jevil.txt";
    package += "1           " + name + std::string(45 - name.size(), ' ') + "x";
    std::ofstream(dir / "evil.ruk", std::ios::binary) << package;
    ToolRun list = rukc({"list", (dir / "evil.ruk").string()}, dir);
    EXPECT_EQ(list.out.find('\x1b'), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("\\x1b[2Jevil.txt"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("\\x1b]0;pwn\\x07"), std::string::npos) << list.out;
    fs::create_directories(dir / "out");
    ToolRun extract = rukc({"extract", (dir / "evil.ruk").string(), (dir / "out").string()}, dir);
    EXPECT_EQ(extract.code, 1);
    EXPECT_EQ(extract.out.find('\x1b'), std::string::npos) << extract.out;
}

TEST_F(RukcTool, PackingRefusesNamesAReaderWouldRefuse)
{
    fs::create_directories(dir / "src");
    std::ofstream(dir / "src" / "fine.txt") << "fine";
    std::ofstream(dir / "src" / "two\nlines.txt") << "bad";
    ToolRun run = rukc({"pack", (dir / "src").string(), "-o", (dir / "p.ruk").string()}, dir);
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.out.find("cannot be stored"), std::string::npos) << run.out;
}

TEST_F(RukcTool, AFileSizeLimitLeavesNoTruncatedOutputAndKeepsTheOldOne)
{
    std::string data;
    for (int i = 0; data.size() < 400000; ++i)
        data += std::to_string(i * 7919 % 100003) + ",";
    std::ofstream(dir / "in.txt", std::ios::binary) << data;
    std::ofstream(dir / "old.z", std::ios::binary) << "older output";
    ToolRun run = rukc({"compress", (dir / "in.txt").string(), (dir / "old.z").string()}, dir, 20000);
    EXPECT_EQ(run.code, 1) << run.out;
    std::ifstream old(dir / "old.z", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "older output");

    // Expanding past the limit: no output at all is left.
    ASSERT_EQ(rukc({"compress", (dir / "in.txt").string(), (dir / "whole.z").string()}, dir).code, 0);
    ToolRun expand = rukc({"expand", (dir / "whole.z").string(), (dir / "back.txt").string()}, dir, 100000);
    EXPECT_EQ(expand.code, 1) << expand.out;
    EXPECT_FALSE(fs::exists(dir / "back.txt"));
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

// An option a command does not know is a usage mistake (exit code 2, as the
// manual says), never taken for a file name.
TEST_F(RukcTool, UnknownOptionsAreUsageMistakesForEveryCommand)
{
    const std::string source = (dir / "a.rks").string();
    std::ofstream(source) << "event.initialize()\nevent.end()\n";
    for (const auto& args : std::vector<std::vector<std::string>> {
             {"compile", "--bogus", source, "-o", (dir / "code").string()},
             {"dis", "--bogus", source},
             {"run", "--bogus", source},
             {"run", "--timeout"},
             {"build", "--bogus", dir.string(), "-o", (dir / "x.ruk").string()},
             {"pack", "--bogus", dir.string(), "-o", (dir / "x.ruk").string()},
             {"list", "--bogus", source},
             {"extract", "--bogus", source, (dir / "out").string()},
             {"compress", "--bogus", source, (dir / "c").string()},
             {"expand", "--bogus", source, (dir / "e").string()},
             {"reg", "--bogus", "list", "HKCU"},
         }) {
        ToolRun run = rukc(args, dir);
        EXPECT_EQ(run.code, 2) << args[0] << " " << args[1] << ": " << run.out;
    }
}
