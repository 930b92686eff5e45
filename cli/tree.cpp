#include "tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "output.h"

namespace kelpin::cli {

namespace {

bool HasExtension(const std::string& name, const std::vector<std::string>& extensions) {
    std::string::size_type dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string_view extension = std::string_view(name).substr(dot + 1);
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

// A directory's entry: dir "." names its entries as they are, so that a
// walk of the current directory gives "src/a.c", not "./src/a.c".
std::string Join(const std::string& dir, const char* name) {
    if (dir == ".") return name;
    if (!dir.empty() && dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

bool Matches(const std::string& pattern, const char* name, const std::string& path) {
    return ::fnmatch(pattern.c_str(), name, 0) == 0 ||
           ::fnmatch(pattern.c_str(), path.c_str(), 0) == 0;
}

bool ExcludedEntry(const char* name, const std::string& path,
                   const std::vector<std::string>& excludes) {
    for (const std::string& pattern : excludes)
        if (Matches(pattern, name, path)) return true;
    return false;
}

void Walk(const std::string& dir, const std::vector<std::string>& extensions,
          const std::vector<std::string>& excludes, std::vector<std::string>* files,
          std::vector<std::string>* errors) {
    DIR* stream = ::opendir(dir.c_str());
    if (stream == nullptr) {
        errors->push_back(dir + ": " + std::strerror(errno));
        return;
    }
    std::vector<std::string> subdirectories;
    while (const dirent* entry = ::readdir(stream)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        std::string path = Join(dir, name);
        if (!excludes.empty() && ExcludedEntry(name, path, excludes)) continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (::lstat(path.c_str(), &st) != 0) continue;
            type = S_ISDIR(st.st_mode)   ? DT_DIR
                   : S_ISLNK(st.st_mode) ? DT_LNK
                   : S_ISREG(st.st_mode) ? DT_REG
                                         : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            if (name[0] != '.') subdirectories.push_back(std::move(path));
        } else if ((type == DT_REG || type == DT_LNK) && HasExtension(name, extensions)) {
            // A link is taken when it leads to a file, or nowhere (reading it
            // then says why); a link to a directory is not followed.
            struct stat st;
            if (type == DT_LNK && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) continue;
            files->push_back(std::move(path));
        }
    }
    ::closedir(stream);
    for (const std::string& subdirectory : subdirectories)
        Walk(subdirectory, extensions, excludes, files, errors);
}

std::vector<std::string> FilesUnder(const std::vector<std::string>& paths,
                                    const std::vector<std::string>& extensions,
                                    const std::vector<std::string>& excludes,
                                    std::vector<std::string>* errors) {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        if (!excludes.empty() && path != "." && Excluded(path, excludes)) continue;
        struct stat st;
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            Walk(path, extensions, excludes, &files, errors);
        } else {
            files.push_back(path); // a file, or what reading it will report
        }
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    return files;
}

std::vector<std::string> ParseExtensions(const std::string& list) {
    std::vector<std::string> extensions;
    std::string::size_type from = 0;
    while (from <= list.size()) {
        std::string::size_type comma = std::min(list.find(',', from), list.size());
        std::string item = list.substr(from, comma - from);
        item.erase(0, item.find_first_not_of(" \t"));
        item.erase(item.find_last_not_of(" \t") + 1);
        if (!item.empty() && item[0] == '.') item.erase(0, 1);
        if (!item.empty()) extensions.push_back(item);
        from = comma + 1;
    }
    return extensions;
}

std::string OutcomeMessage(const std::string& path, const FileOutcome& outcome) {
    if (!outcome.problem.empty()) return path + ": " + outcome.problem;
    return ReadErrorMessage(path, outcome.error);
}

void RunInOrder(std::size_t count, int jobs, const std::function<FileOutcome(std::size_t)>& work,
                const std::function<void(std::size_t, FileOutcome&)>& take) {
    if (jobs <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            FileOutcome outcome = work(i);
            take(i, outcome);
        }
        return;
    }
    // Outcomes wait in a ring of window slots: slot i % window holds file
    // i's from the moment it is done until take has had it. A worker starts
    // file i only when its slot is free, that is when fewer than window files
    // are done and not yet taken, and when the texts waiting hold less than
    // a bound (a generated header can give tens of megabytes). Every file
    // before next has been started, so the one to take next is always under
    // way or done: the bound never stops the walk.
    //
    // No thread only writes: the worker that finishes the next file to take
    // takes it, and every file after it that is done, while the others go
    // on; one that finishes a later file leaves it in its slot. Threads wait
    // only on a full window, so that a tree of small files does not cost a
    // switch of threads for every file.
    const std::size_t window = static_cast<std::size_t>(jobs) * 4;
    constexpr std::size_t WaitingBound = 64u << 20;
    std::vector<std::optional<FileOutcome>> slots(window);
    std::mutex mutex;
    std::condition_variable freed;
    std::size_t next = 0, taken = 0, idle = 0, waiting = 0;
    bool taking = false;

    auto worker = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            auto startable = [&] {
                return next >= count ||
                       (next < taken + window && (waiting <= WaitingBound || next == taken));
            };
            if (!startable()) {
                ++idle;
                freed.wait(lock, startable);
                --idle;
            }
            if (next >= count) return;
            std::size_t i = next++;
            lock.unlock();
            FileOutcome outcome = work(i);
            lock.lock();
            waiting += outcome.text.size();
            slots[i % window] = std::move(outcome);
            if (taking) continue; // the taking worker finds it
            taking = true;
            while (taken < count && slots[taken % window].has_value()) {
                std::size_t t = taken;
                FileOutcome ready = std::move(*slots[t % window]);
                slots[t % window].reset();
                waiting -= ready.text.size();
                lock.unlock();
                take(t, ready);
                lock.lock();
                ++taken;
                if (idle > 0) freed.notify_all();
            }
            taking = false;
        }
    };
    RunOnThreads(jobs, count, worker);
}

// The number of threads -j takes by default: the processors there are.
int DefaultJobs() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min(n, 256u));
}

} // namespace

void RunOnThreads(int jobs, std::size_t count, const std::function<void()>& body) {
    std::size_t wanted =
        std::min<std::size_t>(static_cast<std::size_t>(jobs > 0 ? jobs : DefaultJobs()), count);
    // This thread is one of them.
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < wanted; ++t) {
        try {
            threads.emplace_back(body);
        } catch (const std::system_error&) {
            break; // as many threads as the system gives
        }
    }
    body();
    for (std::thread& t : threads)
        t.join();
}

void AddWalkOptions(CLI::App* command, int* jobs, std::string* extensions) {
    command
        ->add_option("-j,--jobs", *jobs, "scan N files at once (default: one for each processor)")
        ->check(NumberIn(1, 1024))
        ->type_name("N");
    command
        ->add_option("--ext", *extensions,
                     "walk directories for these file name extensions (default: c,h)")
        ->type_name("LIST");
}

bool WalkExtensions(const std::string& option, std::vector<std::string>* extensions) {
    *extensions = ParseExtensions(option.empty() ? "c,h" : option);
    if (!extensions->empty()) return true;
    PrintError("--ext: no extension in \"" + option + "\"");
    return false;
}

int ForEachFile(const std::vector<std::string>& paths, const std::vector<std::string>& extensions,
                int jobs, const std::function<FileOutcome(const std::string& path)>& work,
                const std::function<void(std::string& text)>& take) {
    std::vector<std::string> errors;
    std::vector<std::string> files = FilesUnder(paths, extensions, {}, &errors);
    int status = ExitOk;
    for (const std::string& error : errors) {
        PrintError(error);
        status = ExitInput;
    }
    int run = ForEachListedFile(
        files.size(), jobs, [&](std::size_t i) { return work(files[i]); },
        [&](std::size_t, std::string& text) { take(text); },
        [&](std::size_t i) { return files[i]; });
    return run != ExitOk ? run : status;
}

int ListEachFile(
    const std::vector<std::string>& paths, const std::vector<std::string>& extensions, int jobs,
    const std::function<std::string(const std::string& path, const FileBytes& file)>& list) {
    return ForEachFile(
        paths, extensions, jobs,
        [&](const std::string& path) {
            FileOutcome outcome;
            FileBytes file;
            outcome.error = ReadFileBytes(path, &file);
            if (outcome.error == 0) outcome.text = list(path, file);
            return outcome;
        },
        [](std::string& text) { WriteStandardOutput(text); });
}

bool Excluded(const std::string& path, const std::vector<std::string>& excludes) {
    std::string::size_type slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return ExcludedEntry(name.c_str(), path, excludes);
}

std::vector<std::string> ChosenFiles(const FileChoice& choice, std::vector<std::string>* errors) {
    return FilesUnder(choice.paths, choice.extensions, choice.excludes, errors);
}

int ForEachListedFile(std::size_t count, int jobs,
                      const std::function<FileOutcome(std::size_t index)>& work,
                      const std::function<void(std::size_t index, std::string& text)>& take,
                      const std::function<std::string(std::size_t index)>& pathOf) {
    int status = ExitOk;
    RunInOrder(count, jobs > 0 ? jobs : DefaultJobs(), work,
               [&](std::size_t i, FileOutcome& outcome) {
                   if (outcome.error != 0 || !outcome.problem.empty()) {
                       PrintError(OutcomeMessage(pathOf(i), outcome));
                       status = ExitInput;
                       return;
                   }
                   take(i, outcome.text);
               });
    return status;
}

} // namespace kelpin::cli
