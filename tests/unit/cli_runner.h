// Runs the built kelpin binary as a user would, capturing its output: the
// one way the tests run it (and the editors they run beside it).
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace kelpin::testing {

struct CliResult {
    int status = -1; // exit status, or -1 when the process did not exit normally
    std::string out;
    std::string err;
};

// A fresh, empty directory under the system's temporary directory, removed
// with the object.
class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kelpin-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// How a run is set up besides its arguments.
struct RunSetup {
    std::string input = {};            // standard input's bytes
    std::vector<std::string> env = {}; // "NAME=value" entries added to the environment
    std::string cwd = {};              // the directory it runs in; empty: the test's own
    bool terminal = false;             // standard input a terminal (a pseudo-terminal of its own)
    const char* program = KELPIN_CLI;  // another program to run the same way (an editor)
    // A pipe: the run waits until every write end is closed, so that many
    // runs can be let go at once.
    const int* gate = nullptr;
    const char* stdoutPath = nullptr; // standard output there (say /dev/full), not captured
};

// A run that was started and is not yet waited for.
struct CliProcess {
    pid_t pid = -1;
    std::unique_ptr<TempDir> scratch; // its input, output and settings
};

// Starts kelpin (or setup.program) with args, no shell involved. The
// settings go to a private XDG_CONFIG_HOME.
inline CliProcess StartCli(const std::vector<std::string>& args, const RunSetup& setup = {}) {
    CliProcess process;
    process.scratch = std::make_unique<TempDir>();
    const TempDir& scratch = *process.scratch;
    std::string outPath = scratch / "out", errPath = scratch / "err", inPath = scratch / "in";
    WriteFile(inPath, setup.input);
    pid_t pid = ::fork();
    if (pid == 0) {
        if (setup.gate != nullptr) {
            ::close(setup.gate[1]);
            char byte;
            while (::read(setup.gate[0], &byte, 1) > 0) {
            }
            ::close(setup.gate[0]);
        }
        if (!setup.cwd.empty() && ::chdir(setup.cwd.c_str()) != 0) std::_Exit(126);
        std::freopen(inPath.c_str(), "rb", stdin);
        if (setup.terminal) {
            // The terminal's other end stays open, in this process, for as
            // long as the run lasts.
            int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
            if (terminal < 0 || ::grantpt(terminal) != 0 || ::unlockpt(terminal) != 0)
                std::_Exit(125);
            int side = ::open(::ptsname(terminal), O_RDWR | O_NOCTTY);
            if (side < 0 || ::dup2(side, STDIN_FILENO) < 0) std::_Exit(125);
        }
        std::freopen(setup.stdoutPath != nullptr ? setup.stdoutPath : outPath.c_str(), "wb",
                     stdout);
        std::freopen(errPath.c_str(), "wb", stderr);
        ::setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);
        for (const std::string& entry : setup.env)
            ::putenv(const_cast<char*>(entry.c_str()));
        std::vector<char*> argv{const_cast<char*>(setup.program)};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execvp(setup.program, argv.data());
        std::_Exit(127);
    }
    process.pid = pid;
    return process;
}

// Waits for a started run to end.
inline CliResult WaitCli(CliProcess& process) {
    CliResult result;
    int wstatus = 0;
    if (process.pid > 0 && ::waitpid(process.pid, &wstatus, 0) == process.pid && WIFEXITED(wstatus))
        result.status = WEXITSTATUS(wstatus);
    result.out = ReadFile(*process.scratch / "out");
    result.err = ReadFile(*process.scratch / "err");
    return result;
}

// Runs kelpin with args and waits for it; see StartCli.
inline CliResult RunCli(const std::vector<std::string>& args, const RunSetup& setup = {}) {
    CliProcess process = StartCli(args, setup);
    return WaitCli(process);
}

// Runs kelpin once for each argument list, all at once: every process is
// started and held at a gate, then all are let go together. The results come
// in the order of the lists.
inline std::vector<CliResult> RunCliAtOnce(const std::vector<std::vector<std::string>>& runs,
                                           const std::vector<std::string>& env = {}) {
    int gate[2];
    if (::pipe(gate) != 0) return {};
    std::vector<CliProcess> processes;
    for (const std::vector<std::string>& args : runs)
        processes.push_back(StartCli(args, {.env = env, .gate = gate}));
    ::close(gate[0]);
    ::close(gate[1]); // lets them go
    std::vector<CliResult> results;
    for (CliProcess& process : processes)
        results.push_back(WaitCli(process));
    return results;
}

} // namespace kelpin::testing
