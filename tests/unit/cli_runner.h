// Runs the built kelpin binary as a user would, capturing its output.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// Runs kelpin with args (no shell involved), stdin from /dev/null unless
// input is given, and the environment with `env` entries ("NAME=value")
// added. The settings go to a private XDG_CONFIG_HOME.
inline CliResult RunCli(const std::vector<std::string>& args, const std::string& input = {},
                        const std::vector<std::string>& env = {}) {
    TempDir scratch;
    std::string outPath = scratch / "out", errPath = scratch / "err", inPath = scratch / "in";
    WriteFile(inPath, input);
    pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen(inPath.c_str(), "rb", stdin);
        std::freopen(outPath.c_str(), "wb", stdout);
        std::freopen(errPath.c_str(), "wb", stderr);
        ::setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);
        for (const std::string& entry : env)
            ::putenv(const_cast<char*>(entry.c_str()));
        std::vector<char*> argv{const_cast<char*>(KELPIN_CLI)};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(KELPIN_CLI, argv.data());
        std::_Exit(127);
    }
    CliResult result;
    int wstatus = 0;
    if (pid > 0 && ::waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
        result.status = WEXITSTATUS(wstatus);
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

} // namespace kelpin::testing
