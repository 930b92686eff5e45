#include "index.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include "scanner/precise.h"

namespace kelpin::lsp {

namespace {

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsSubsequence(std::string_view needle, std::string_view hay) {
    std::size_t k = 0;
    for (char c : hay)
        if (k < needle.size() && c == needle[k]) ++k;
    return k == needle.size();
}

} // namespace

std::uint64_t CharacterMask(std::string_view text) {
    std::uint64_t mask = 0;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(Fold(ch));
        unsigned bit = c >= 'a' && c <= 'z'   ? c - 'a'
                       : c >= '0' && c <= '9' ? 26 + (c - '0')
                       : c == '_'             ? 36
                                              : 37 + (c & 15);
        mask |= std::uint64_t{1} << bit;
    }
    return mask;
}

FileSymbols ScanSymbols(std::string path, std::string_view text, Encoding encoding) {
    FileSymbols file;
    file.path = std::move(path);
    PreciseScan scan;
    ScanPrecise(text, &scan);
    file.symbols.reserve(scan.functions.size());
    // The names stand in text order: one pass counts the lines before each.
    std::size_t at = 0, lineStart = 0;
    std::uint32_t line = 0;
    for (const PreciseFunction& f : scan.functions) {
        while (at < f.nameOffset) {
            const void* nl = std::memchr(text.data() + at, '\n', f.nameOffset - at);
            if (nl == nullptr) {
                at = f.nameOffset;
                break;
            }
            at = static_cast<std::size_t>(static_cast<const char*>(nl) - text.data()) + 1;
            lineStart = at;
            ++line;
        }
        Symbol s;
        s.nameOffset = static_cast<std::uint32_t>(file.names.size());
        s.nameLength = static_cast<std::uint32_t>(f.nameLength);
        s.line = line;
        s.column = static_cast<std::uint32_t>(
            Units(text.substr(lineStart, f.nameOffset - lineStart), encoding));
        s.letters = CharacterMask(PreciseName(text, f));
        file.names.append(PreciseName(text, f));
        file.symbols.push_back(s);
    }
    file.folded = file.names;
    for (char& c : file.folded)
        c = Fold(c);
    file.names.shrink_to_fit();
    file.folded.shrink_to_fit();
    return file;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    text->resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    for (;;) {
        if (got == text->size()) text->resize(got + 65536); // it grew meanwhile
        ssize_t n = ::read(fd, text->data() + got, text->size() - got);
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    text->resize(got);
    ::close(fd);
    return true;
}

bool IsSourcePath(std::string_view path) {
    return path.size() > 2 && path[path.size() - 2] == '.' &&
           (path.back() == 'c' || path.back() == 'h');
}

void ListSourceFiles(const std::string& folder, const std::function<void(std::string)>& take,
                     const std::atomic<bool>& stop) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                        error);
    if (error) return;
    for (fs::recursive_directory_iterator end; it != end; it.increment(error)) {
        if (error) {
            // An unreadable entry: go on after it.
            error.clear();
            continue;
        }
        if (stop.load(std::memory_order_relaxed)) return;
        const fs::directory_entry& entry = *it;
        std::string name = entry.path().filename().string();
        std::error_code ignored;
        if (entry.is_directory(ignored)) {
            if ((!name.empty() && name[0] == '.') || entry.is_symlink(ignored))
                it.disable_recursion_pending();
            continue;
        }
        if (IsSourcePath(name) && entry.is_regular_file(ignored)) take(entry.path().string());
    }
}

std::vector<FileSymbols> IndexFolders(const std::vector<std::string>& folders, Encoding encoding,
                                      int jobs, std::atomic<std::size_t>* listed,
                                      std::atomic<std::size_t>* done,
                                      const std::atomic<bool>& stop) {
    // The paths as they are listed; a deque keeps those taken where they are.
    std::mutex mutex;
    std::condition_variable more;
    std::deque<std::string> paths;
    std::size_t next = 0;
    bool walked = false;
    std::vector<std::vector<FileSymbols>> results(static_cast<std::size_t>(std::max(jobs, 1)));
    auto work = [&](std::vector<FileSymbols>* out) {
        std::string text;
        for (;;) {
            const std::string* path;
            {
                std::unique_lock<std::mutex> lock(mutex);
                more.wait(lock, [&] { return next < paths.size() || walked; });
                if (next >= paths.size() || stop.load(std::memory_order_relaxed)) return;
                path = &paths[next++];
            }
            if (ReadWholeFile(*path, &text)) out->push_back(ScanSymbols(*path, text, encoding));
            done->fetch_add(1, std::memory_order_relaxed);
            // A large file's buffer is not kept for the next small one.
            if (text.capacity() > (std::size_t{4} << 20)) std::string().swap(text);
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t k = 0; k < results.size(); ++k)
        workers.emplace_back(work, &results[k]);
    for (const std::string& folder : folders)
        ListSourceFiles(
            folder,
            [&](std::string path) {
                std::lock_guard<std::mutex> lock(mutex);
                paths.push_back(std::move(path));
                listed->fetch_add(1, std::memory_order_relaxed);
                more.notify_one();
            },
            stop);
    {
        std::lock_guard<std::mutex> lock(mutex);
        walked = true;
    }
    more.notify_all();
    for (std::thread& t : workers)
        t.join();
    std::vector<FileSymbols> files = std::move(results[0]);
    for (std::size_t k = 1; k < results.size(); ++k)
        for (FileSymbols& file : results[k])
            files.push_back(std::move(file));
    return files;
}

void PutFile(WorkspaceIndex* index, FileSymbols file) {
    auto it = index->byPath.find(file.path);
    if (it != index->byPath.end()) {
        index->files[it->second] = std::move(file);
        return;
    }
    index->byPath.emplace(file.path, index->files.size());
    index->files.push_back(std::move(file));
}

void RemoveFile(WorkspaceIndex* index, const std::string& path) {
    auto it = index->byPath.find(path);
    if (it == index->byPath.end()) return;
    std::size_t at = it->second;
    index->byPath.erase(it);
    if (at + 1 != index->files.size()) {
        index->files[at] = std::move(index->files.back());
        index->byPath[index->files[at].path] = at;
    }
    index->files.pop_back();
}

void RemoveFolder(WorkspaceIndex* index, const std::string& folder) {
    std::string prefix = folder;
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    std::vector<std::string> gone;
    for (const FileSymbols& file : index->files)
        if (file.path.compare(0, prefix.size(), prefix) == 0) gone.push_back(file.path);
    for (const std::string& path : gone)
        RemoveFile(index, path);
}

std::vector<Hit> QueryWorkspace(const WorkspaceIndex& index, std::string_view query,
                                std::size_t limit) {
    std::string q(query);
    for (char& c : q)
        c = Fold(c);
    struct Match {
        std::uint32_t rank; // kind of match, then length
        Hit hit;
    };
    std::vector<Match> matches;
    const std::uint64_t wanted = CharacterMask(q);
    for (std::size_t fi = 0; fi < index.files.size(); ++fi) {
        const FileSymbols& file = index.files[fi];
        std::string_view folded = file.folded;
        for (std::size_t si = 0; si < file.symbols.size(); ++si) {
            const Symbol& s = file.symbols[si];
            if ((s.letters & wanted) != wanted || s.nameLength < q.size()) continue;
            std::string_view name = folded.substr(s.nameOffset, s.nameLength);
            std::uint32_t kind;
            std::size_t at = q.empty() ? 0 : name.find(q);
            if (at == 0)
                kind = name.size() == q.size() ? 0 : 1;
            else if (at != std::string_view::npos)
                kind = 2;
            else if (IsSubsequence(q, name))
                kind = 3;
            else
                continue;
            std::uint32_t length = std::min<std::uint32_t>(s.nameLength, 0xFFFFFF);
            matches.push_back({kind << 24 | length,
                               {static_cast<std::uint32_t>(fi), static_cast<std::uint32_t>(si)}});
        }
    }
    auto less = [&index](const Match& a, const Match& b) {
        if (a.rank != b.rank) return a.rank < b.rank;
        const FileSymbols& fa = index.files[a.hit.file];
        const FileSymbols& fb = index.files[b.hit.file];
        int byName = fa.Name(fa.symbols[a.hit.symbol]).compare(fb.Name(fb.symbols[b.hit.symbol]));
        if (byName != 0) return byName < 0;
        if (a.hit.file != b.hit.file) return fa.path < fb.path;
        return a.hit.symbol < b.hit.symbol;
    };
    std::size_t n = std::min(limit, matches.size());
    // Only the best n are ordered; the cut goes by rank first, so most of
    // the candidates are dropped by the cheap key alone.
    std::nth_element(matches.begin(), matches.begin() + static_cast<std::ptrdiff_t>(n),
                     matches.end(), [](const Match& a, const Match& b) { return a.rank < b.rank; });
    if (n < matches.size()) {
        // Those of the cut's rank beyond n may still order before some
        // inside: take every candidate of that rank, then cut.
        std::uint32_t edge = matches[n].rank;
        auto tail = std::partition(matches.begin() + static_cast<std::ptrdiff_t>(n), matches.end(),
                                   [edge](const Match& m) { return m.rank == edge; });
        matches.erase(tail, matches.end());
    }
    std::sort(matches.begin(), matches.end(), less);
    matches.resize(n);
    std::vector<Hit> hits;
    hits.reserve(n);
    for (const Match& m : matches)
        hits.push_back(m.hit);
    return hits;
}

std::vector<Hit> FindDefinitions(const WorkspaceIndex& index, std::string_view name) {
    std::vector<Hit> hits;
    for (std::size_t fi = 0; fi < index.files.size(); ++fi) {
        const FileSymbols& file = index.files[fi];
        for (std::size_t si = 0; si < file.symbols.size(); ++si)
            if (file.Name(file.symbols[si]) == name)
                hits.push_back({static_cast<std::uint32_t>(fi), static_cast<std::uint32_t>(si)});
    }
    return hits;
}

std::vector<std::size_t> FindOccurrences(std::string_view text, std::string_view word) {
    std::vector<std::size_t> found;
    if (word.empty() || text.find(word) == std::string_view::npos) return found;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        char c = text[i];
        if (c == '/' && i + 1 < n && text[i + 1] == '/') {
            // To the line's end, spliced lines included.
            i += 2;
            while (i < n && text[i] != '\n')
                i += (text[i] == '\\' && i + 1 < n) ? 2 : 1;
        } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
            std::size_t end = text.find("*/", i + 2);
            i = end == std::string_view::npos ? n : end + 2;
        } else if (c == '"' || c == '\'') {
            // To the closing quote, or the line's end.
            ++i;
            while (i < n && text[i] != c && text[i] != '\n')
                i += (text[i] == '\\' && i + 1 < n) ? 2 : 1;
            if (i < n && text[i] == c) ++i;
        } else if (IsIdentifierByte(static_cast<unsigned char>(c))) {
            std::size_t start = i;
            bool number = c >= '0' && c <= '9';
            while (i < n && (IsIdentifierByte(static_cast<unsigned char>(text[i])) ||
                             (number && text[i] == '.')))
                ++i;
            if (!number && text.substr(start, i - start) == word) found.push_back(start);
        } else {
            ++i;
        }
    }
    return found;
}

} // namespace kelpin::lsp
