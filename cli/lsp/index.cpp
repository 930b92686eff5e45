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
#include <queue>
#include <thread>

#include "scanner/symbols.h"
#include "symbols.h"

namespace kelpin::lsp {

namespace {

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether name starts with q; q is folded, name is compared folded.
bool FoldedPrefix(std::string_view name, std::string_view q) {
    for (std::size_t i = 0; i < q.size(); ++i)
        if (Fold(name[i]) != q[i]) return false;
    return true;
}

bool FoldedContains(std::string_view name, std::string_view q) {
    for (std::size_t at = 1; at + q.size() <= name.size(); ++at)
        if (FoldedPrefix(name.substr(at), q)) return true;
    return false;
}

bool FoldedSubsequence(std::string_view q, std::string_view name) {
    std::size_t k = 0;
    for (char c : name)
        if (k < q.size() && Fold(c) == q[k]) ++k;
    return k == q.size();
}

// A match's rank: the kind of match (exact, prefix, substring, subsequence)
// above the name's length, so that one comparison orders both.
constexpr std::uint32_t Ranked(std::uint32_t match, std::size_t length) {
    return match << 24 | static_cast<std::uint32_t>(std::min<std::size_t>(length, 0xFFFFFF));
}

// The nearest scope with a name, from scope outwards; -1 for none.
std::int32_t NamedScope(const PreciseSymbols& found, std::int32_t scope) {
    while (scope >= 0 && static_cast<std::size_t>(scope) < found.scopes.size()) {
        const PreciseScope& sc = found.scopes[static_cast<std::size_t>(scope)];
        if (sc.nameLength > 0) return scope;
        if (sc.parent >= scope) break;
        scope = sc.parent;
    }
    return -1;
}

std::size_t HashName(std::string_view name) {
    return std::hash<std::string_view>{}(name);
}

} // namespace

bool IsSearched(char kind) {
    return kind != SymbolMacro && kind != SymbolMember;
}

std::uint32_t LetterMask(std::string_view text) {
    std::uint32_t mask = 0;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(Fold(ch));
        unsigned bit = c >= 'a' && c <= 'z'   ? c - 'a'
                       : c >= '0' && c <= '9' ? 26 + (c - '0') % 4
                       : c == '_'             ? 30
                                              : 31;
        mask |= std::uint32_t{1} << bit;
    }
    return mask;
}

FileSymbols ScanFile(std::string path, std::string_view text, Encoding encoding) {
    FileSymbols file;
    file.path = std::move(path);
    PreciseSymbols found;
    ScanSymbols(text, &found);
    file.symbols.reserve(found.symbols.size());
    // Each scope's name is written once, when a symbol first names it.
    std::vector<std::uint32_t> scopeAt(found.scopes.size(), UINT32_MAX);
    // The names stand in text order: one pass counts the lines before each.
    std::size_t at = 0, lineStart = 0;
    std::uint32_t line = 0;
    for (const PreciseSymbol& s : found.symbols) {
        if (!cli::IsDefaultKind(s.kind)) continue;
        while (at < s.nameOffset) {
            const void* nl = std::memchr(text.data() + at, '\n', s.nameOffset - at);
            if (nl == nullptr) {
                at = s.nameOffset;
                break;
            }
            at = static_cast<std::size_t>(static_cast<const char*>(nl) - text.data()) + 1;
            lineStart = at;
            ++line;
        }
        Symbol out{};
        out.nameOffset = static_cast<std::uint32_t>(file.names.size());
        out.nameLength = static_cast<std::uint32_t>(s.nameLength);
        file.names.append(SymbolName(text, s));
        std::int32_t scope = NamedScope(found, s.scope);
        if (scope >= 0) {
            const PreciseScope& sc = found.scopes[static_cast<std::size_t>(scope)];
            std::uint32_t& written = scopeAt[static_cast<std::size_t>(scope)];
            if (written == UINT32_MAX) {
                written = static_cast<std::uint32_t>(file.names.size());
                file.names.append(text.substr(sc.nameOffset, sc.nameLength));
            }
            out.scopeOffset = written;
            out.scopeLength = static_cast<std::uint32_t>(sc.nameLength);
        }
        out.line = line;
        out.column = static_cast<std::uint32_t>(
            Units(text.substr(lineStart, s.nameOffset - lineStart), encoding));
        out.kind = s.kind;
        file.symbols.push_back(out);
    }
    file.names.shrink_to_fit();
    return file;
}

// ---- Packs -------------------------------------------------------------------------

std::uint32_t SymbolPack::FileOf(std::uint32_t symbol) const {
    auto it = std::upper_bound(fileStart.begin(), fileStart.end(), symbol);
    return static_cast<std::uint32_t>(it - fileStart.begin() - 1);
}

namespace {

constexpr std::size_t NameBlock = std::size_t{1} << 22;

// A name of the builder's, put together when it spans two blocks.
std::string_view BuiltName(PackBuilder* b, std::uint32_t n) {
    std::size_t at = b->nameStart[n], length = b->nameStart[n + 1] - at;
    std::size_t block = at / NameBlock, offset = at % NameBlock;
    if (offset + length <= NameBlock) return {b->nameBlocks[block].data() + offset, length};
    b->probe.clear();
    for (std::size_t k = at; k < at + length; ++k)
        b->probe.push_back(b->nameBlocks[k / NameBlock][k % NameBlock]);
    return b->probe;
}

void Rehash(PackBuilder* b, std::size_t size) {
    std::vector<std::uint64_t> old;
    old.swap(b->slots);
    b->slots.assign(size, 0);
    const std::size_t mask = size - 1;
    for (std::uint64_t slot : old) {
        if (slot == 0) continue;
        // The upper half of the hash places it as well as the whole did.
        std::size_t h = static_cast<std::size_t>(slot >> 32) & mask;
        while (b->slots[h] != 0)
            h = (h + 1) & mask;
        b->slots[h] = slot;
    }
}

std::uint32_t Intern(PackBuilder* b, std::string_view name, std::size_t hash) {
    if (b->nameStart.size() == 0) b->nameStart.push_back(0);
    const std::size_t count = b->nameStart.size() - 1;
    // Kept at most three quarters full, so that a probe ends soon.
    if ((count + 1) * 4 > b->slots.size() * 3)
        Rehash(b, std::max<std::size_t>(1024, b->slots.size() * 2));
    const std::size_t mask = b->slots.size() - 1;
    // Places and tags come from the hash's upper half alone, so that a
    // rehash can place a slot without its name.
    const std::uint64_t tag = static_cast<std::uint64_t>(hash) >> 32 << 32;
    for (std::size_t h = static_cast<std::size_t>(tag >> 32) & mask;; h = (h + 1) & mask) {
        std::uint64_t slot = b->slots[h];
        if (slot == 0) {
            for (std::string_view rest = name; !rest.empty();) {
                if (b->nameBlocks.empty() || b->nameBlocks.back().size() == NameBlock) {
                    b->nameBlocks.emplace_back();
                    b->nameBlocks.back().reserve(NameBlock);
                }
                std::string& block = b->nameBlocks.back();
                std::size_t part = std::min(rest.size(), NameBlock - block.size());
                block.append(rest.substr(0, part));
                rest.remove_prefix(part);
            }
            b->nameBytes += name.size();
            b->nameStart.push_back(static_cast<std::uint32_t>(b->nameBytes));
            b->letters.push_back(LetterMask(name));
            b->first.push_back(name.empty() ? '\0' : Fold(name[0]));
            b->slots[h] = tag | (count + 1);
            return static_cast<std::uint32_t>(count);
        }
        if ((slot & ~std::uint64_t{0xFFFFFFFF}) != tag) continue;
        auto n = static_cast<std::uint32_t>(slot) - 1;
        if (BuiltName(b, n) == name) return n;
    }
}

// Moves a block list's items into a vector of its size, giving each block
// back as it is copied.
template <typename T> std::vector<T> Drain(BlockList<T>* from) {
    std::vector<T> to;
    to.reserve(from->size());
    for (std::vector<T>& block : from->blocks) {
        to.insert(to.end(), block.begin(), block.end());
        std::vector<T>().swap(block);
    }
    *from = BlockList<T>();
    return to;
}

} // namespace

void AddFile(PackBuilder* b, const FileSymbols& file) {
    SymbolPack& pack = b->pack;
    if (pack.fileStart.empty()) pack.fileStart.push_back(0);
    pack.paths.push_back(file.path);
    pack.gone.push_back(false);
    ++pack.alive;
    std::string_view names = file.names;
    // The names' hashes first, and each one's slot asked of memory a few
    // names ahead of its lookup: a tree's table is far larger than the
    // caches, and lookups that wait for their slots one at a time spend most
    // of their time waiting.
    constexpr std::size_t Ahead = 8;
    const std::size_t count = file.symbols.size();
    b->hashes.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        b->hashes[i] =
            HashName(names.substr(file.symbols[i].nameOffset, file.symbols[i].nameLength));
    // A struct's members follow one another: its name is looked up once.
    std::uint32_t lastScopeOffset = UINT32_MAX, lastScope = SymbolPack::NoScope;
    for (std::size_t i = 0; i < count; ++i) {
        const Symbol& s = file.symbols[i];
        if (i + Ahead < count && !b->slots.empty())
            __builtin_prefetch(&b->slots[(b->hashes[i + Ahead] >> 32) & (b->slots.size() - 1)]);
        b->nameOf.push_back(Intern(b, names.substr(s.nameOffset, s.nameLength), b->hashes[i]));
        std::uint32_t scope = SymbolPack::NoScope;
        if (s.scopeLength > 0) {
            if (s.scopeOffset != lastScopeOffset) {
                lastScopeOffset = s.scopeOffset;
                std::string_view scopeName = names.substr(s.scopeOffset, s.scopeLength);
                lastScope = Intern(b, scopeName, HashName(scopeName));
            }
            scope = lastScope;
        }
        b->places.push_back({s.line, s.column, scope});
        b->kinds.push_back(s.kind);
    }
    pack.fileStart.push_back(static_cast<std::uint32_t>(b->places.size()));
}

SymbolPack FinishPack(PackBuilder* b) {
    SymbolPack pack = std::move(b->pack);
    b->pack = SymbolPack();
    if (pack.fileStart.empty()) pack.fileStart.push_back(0);
    std::vector<std::uint64_t>().swap(b->slots);
    pack.names.reserve(b->nameBytes);
    for (std::string& block : b->nameBlocks) {
        pack.names.append(block);
        std::string().swap(block);
    }
    b->nameBlocks.clear();
    b->nameBytes = 0;
    if (b->nameStart.size() == 0) b->nameStart.push_back(0);
    pack.nameStart = Drain(&b->nameStart);
    {
        // The names a query searches: those of a symbol of a searched kind.
        std::vector<bool> searched(pack.NameCount(), false);
        for (std::size_t k = 0; k < b->nameOf.size(); ++k)
            if (IsSearched(b->kinds[k])) searched[b->nameOf[k]] = true;
        std::vector<std::uint32_t> letters = Drain(&b->letters);
        std::vector<char> first = Drain(&b->first);
        for (std::uint32_t n = 0; n < searched.size(); ++n)
            if (searched[n]) {
                pack.searched.push_back(n);
                pack.letters.push_back(letters[n]);
                pack.first.push_back(first[n]);
            }
    }
    // The symbols of each name, by a counting sort: the counts become the
    // starts, each start walks to its end as its symbols are placed, and one
    // shift brings the starts back.
    const std::size_t n = pack.NameCount();
    pack.byNameStart.assign(n + 1, 0);
    for (const std::vector<std::uint32_t>& block : b->nameOf.blocks)
        for (std::uint32_t name : block)
            ++pack.byNameStart[name + 1];
    for (std::size_t i = 1; i <= n; ++i)
        pack.byNameStart[i] += pack.byNameStart[i - 1];
    pack.byName.resize(b->nameOf.size());
    for (std::uint32_t symbol = 0; symbol < b->nameOf.size(); ++symbol)
        pack.byName[pack.byNameStart[b->nameOf[symbol]]++] = symbol;
    for (std::size_t i = n; i > 0; --i)
        pack.byNameStart[i] = pack.byNameStart[i - 1];
    pack.byNameStart[0] = 0;
    b->nameOf = BlockList<std::uint32_t>();
    pack.places = Drain(&b->places);
    pack.kinds = Drain(&b->kinds);
    return pack;
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

SymbolPack IndexFolders(const std::vector<std::string>& folders, Encoding encoding, int jobs,
                        std::atomic<std::size_t>* listed, std::atomic<std::size_t>* done,
                        const std::atomic<bool>& stop) {
    // The paths as they are listed (a deque keeps those taken where they
    // are), and the files scanned, waiting for the builder. Few symbols
    // wait at a time (a generated header alone holds tens of thousands), so
    // that a tree's names are held once, in the pack, not also in a queue.
    constexpr std::size_t MaxWaitingSymbols = std::size_t{1} << 17;
    std::mutex mutex;
    std::condition_variable more, scanned, room;
    std::deque<std::string> paths;
    std::size_t next = 0;
    bool walked = false;
    std::deque<FileSymbols> waiting;
    std::size_t waitingSymbols = 0;
    std::size_t working = static_cast<std::size_t>(std::max(jobs, 1));
    auto work = [&] {
        std::string text;
        for (;;) {
            const std::string* path;
            {
                std::unique_lock<std::mutex> lock(mutex);
                more.wait(lock, [&] { return next < paths.size() || walked; });
                if (next >= paths.size() || stop.load(std::memory_order_relaxed)) break;
                path = &paths[next++];
            }
            if (ReadWholeFile(*path, &text)) {
                FileSymbols file = ScanFile(*path, text, encoding);
                std::unique_lock<std::mutex> lock(mutex);
                room.wait(lock,
                          [&] { return waiting.empty() || waitingSymbols < MaxWaitingSymbols; });
                waitingSymbols += file.symbols.size();
                waiting.push_back(std::move(file));
                scanned.notify_one();
            }
            done->fetch_add(1, std::memory_order_relaxed);
            // A large file's buffer is not kept for the next small one.
            if (text.capacity() > (std::size_t{4} << 20)) std::string().swap(text);
        }
        std::lock_guard<std::mutex> lock(mutex);
        --working;
        scanned.notify_one();
    };
    PackBuilder builder;
    std::thread gatherer([&] {
        std::deque<FileSymbols> taken;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                scanned.wait(lock, [&] { return !waiting.empty() || working == 0; });
                if (waiting.empty()) return;
                taken.swap(waiting);
                waitingSymbols = 0;
            }
            room.notify_all();
            for (const FileSymbols& file : taken)
                AddFile(&builder, file);
            taken.clear();
        }
    });
    std::vector<std::thread> workers;
    for (std::size_t k = 0; k < working; ++k)
        workers.emplace_back(work);
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
    gatherer.join();
    return FinishPack(&builder);
}

// ---- The index ---------------------------------------------------------------------

namespace {

void Forget(WorkspaceIndex* index, WorkspaceIndex::Where where) {
    std::unique_ptr<SymbolPack>& pack = index->packs[where.pack];
    if (!pack->gone[where.file]) {
        pack->gone[where.file] = true;
        --pack->alive;
    }
    if (pack->alive == 0) pack.reset();
}

} // namespace

void MarkGone(SymbolPack* pack, std::uint32_t file) {
    if (pack->gone[file]) return;
    pack->gone[file] = true;
    --pack->alive;
}

void PutPack(WorkspaceIndex* index, SymbolPack pack) {
    if (pack.alive == 0) return;
    auto slot = static_cast<std::uint32_t>(
        std::find(index->packs.begin(), index->packs.end(), nullptr) - index->packs.begin());
    if (slot == index->packs.size()) index->packs.emplace_back();
    index->packs[slot] = std::make_unique<SymbolPack>(std::move(pack));
    const SymbolPack& put = *index->packs[slot];
    for (std::uint32_t f = 0; f < put.paths.size(); ++f) {
        if (put.gone[f]) continue;
        auto [it, fresh] = index->byPath.try_emplace(put.paths[f], WorkspaceIndex::Where{slot, f});
        if (fresh) continue;
        // A path listed twice (folders that overlap) or put in before.
        Forget(index, it->second);
        it->second = {slot, f};
    }
}

void PutFile(WorkspaceIndex* index, const FileSymbols& file) {
    PackBuilder builder;
    AddFile(&builder, file);
    PutPack(index, FinishPack(&builder));
}

void RemoveFile(WorkspaceIndex* index, const std::string& path) {
    auto it = index->byPath.find(path);
    if (it == index->byPath.end()) return;
    Forget(index, it->second);
    index->byPath.erase(it);
}

void RemoveFolder(WorkspaceIndex* index, const std::string& folder) {
    std::string prefix = folder;
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    std::vector<std::string> gone;
    for (const auto& [path, where] : index->byPath)
        if (path.compare(0, prefix.size(), prefix) == 0) gone.push_back(path);
    for (const std::string& path : gone)
        RemoveFile(index, path);
}

std::vector<std::string_view> IndexedPaths(const WorkspaceIndex& index) {
    std::vector<std::string_view> paths;
    paths.reserve(index.byPath.size());
    for (const auto& [path, where] : index.byPath)
        paths.push_back(path);
    return paths;
}

namespace {

struct Candidate {
    std::uint32_t rank;
    std::uint32_t pack;
    std::uint32_t name;
};

// The symbols of one name in one pack, those of files not gone.
void AppendSymbols(const SymbolPack& pack, std::uint32_t name, bool searchedOnly,
                   std::vector<Found>* out) {
    for (std::uint32_t k = pack.byNameStart[name]; k < pack.byNameStart[name + 1]; ++k) {
        std::uint32_t symbol = pack.byName[k];
        if (searchedOnly && !IsSearched(pack.kinds[symbol])) continue;
        std::uint32_t file = pack.FileOf(symbol);
        if (pack.gone[file]) continue;
        const SymbolPack::Place& place = pack.places[symbol];
        out->push_back(
            {pack.paths[file], pack.Name(name),
             place.scope == SymbolPack::NoScope ? std::string_view() : pack.Name(place.scope),
             place.line, place.column, symbol - pack.fileStart[file], pack.kinds[symbol]});
    }
}

bool ByPlace(const Found& a, const Found& b) {
    if (a.path != b.path) return a.path < b.path;
    return a.order < b.order;
}

// The searched names of one share of every pack that match q and rank
// among the best `keep` of those met so far.
struct NameScan {
    std::vector<Candidate> candidates;
    bool pruned = false;
};

void ScanNames(const WorkspaceIndex& index, std::string_view q, std::size_t keep, std::size_t share,
               std::size_t shares, NameScan* out) {
    const std::uint32_t wantedLetters = LetterMask(q);
    const auto size = static_cast<std::uint32_t>(q.size());
    std::priority_queue<std::uint32_t> best; // the ranks of the best `keep`, worst on top
    std::uint32_t bound = UINT32_MAX;
    for (std::uint32_t p = 0; p < index.packs.size(); ++p) {
        if (!index.packs[p]) continue;
        const SymbolPack& pack = *index.packs[p];
        const std::size_t count = pack.searched.size();
        const std::size_t from = count * share / shares, to = count * (share + 1) / shares;
        for (std::size_t k = from; k < to; ++k) {
            const std::uint32_t n = pack.searched[k];
            const std::uint32_t length = pack.nameStart[n + 1] - pack.nameStart[n];
            // Most names fail one of these at random: computed whole and
            // tested once, they cost no mispredicted branch.
            const bool starts = size == 0 || pack.first[k] == q[0];
            const unsigned open =
                unsigned{(pack.letters[k] & wantedLetters) == wantedLetters} &
                unsigned{length >= size} &
                ((unsigned{starts} & unsigned{Ranked(length != size, length) <= bound}) |
                 unsigned{Ranked(2, length) <= bound});
            if (!open) continue;
            std::string_view name = pack.Name(n);
            std::uint32_t rank;
            if (starts && FoldedPrefix(name, q))
                rank = Ranked(length != size, length);
            else if (Ranked(2, length) > bound || !FoldedSubsequence(q, name))
                continue;
            // Every substring is a subsequence: the one test above turns
            // most names away for both.
            else if (FoldedContains(name, q))
                rank = Ranked(2, length);
            else
                rank = Ranked(3, length);
            if (rank > bound) continue;
            out->candidates.push_back({rank, p, n});
            if (best.size() < keep) {
                best.push(rank);
            } else if (rank < best.top()) {
                best.pop();
                best.push(rank);
                out->pruned = true;
            }
            if (best.size() == keep) bound = best.top();
        }
    }
    // Once the best were full, names were turned away by their rank.
    out->pruned = out->pruned || best.size() == keep;
}

// One pass of a query, keeping the best `keep` names: a name every symbol
// of which is in a file gone counts among them, so a short answer is asked
// again with room for more (*emptyNames says how many there were).
std::vector<Found> Query(const WorkspaceIndex& index, std::string_view q, std::size_t limit,
                         std::size_t keep, bool* pruned, std::size_t* emptyNames) {
    // A large index is scanned in shares on as many threads, half a
    // million names or more each.
    std::size_t names = 0;
    for (const auto& pack : index.packs)
        if (pack) names += pack->searched.size();
    const std::size_t shares = std::clamp<std::size_t>(
        names >> 19, 1, std::max(1u, std::min(4u, std::thread::hardware_concurrency())));
    std::vector<NameScan> scans(shares);
    std::vector<std::thread> helpers;
    for (std::size_t k = 1; k < shares; ++k)
        helpers.emplace_back(ScanNames, std::cref(index), q, keep, k, shares, &scans[k]);
    ScanNames(index, q, keep, 0, shares, &scans[0]);
    for (std::thread& t : helpers)
        t.join();
    std::vector<Candidate> candidates = std::move(scans[0].candidates);
    *pruned = false;
    for (std::size_t k = 0; k < shares; ++k) {
        *pruned = *pruned || scans[k].pruned;
        if (k > 0)
            candidates.insert(candidates.end(), scans[k].candidates.begin(),
                              scans[k].candidates.end());
    }
    // Those that ranked well when they were met but not in the end go.
    if (candidates.size() > keep && keep > 0) {
        std::vector<std::uint32_t> ranks(candidates.size());
        for (std::size_t i = 0; i < candidates.size(); ++i)
            ranks[i] = candidates[i].rank;
        std::nth_element(ranks.begin(), ranks.begin() + static_cast<std::ptrdiff_t>(keep - 1),
                         ranks.end());
        std::uint32_t bound = ranks[keep - 1];
        std::erase_if(candidates, [bound](const Candidate& c) { return c.rank > bound; });
        *pruned = true;
    }
    auto nameOf = [&index](const Candidate& c) { return index.packs[c.pack]->Name(c.name); };
    std::sort(candidates.begin(), candidates.end(),
              [&nameOf](const Candidate& a, const Candidate& b) {
                  if (a.rank != b.rank) return a.rank < b.rank;
                  int byName = nameOf(a).compare(nameOf(b));
                  if (byName != 0) return byName < 0;
                  return a.pack < b.pack;
              });
    // Each name's symbols, those of the same name in other packs with them.
    std::vector<Found> found;
    *emptyNames = 0;
    for (std::size_t i = 0; i < candidates.size() && found.size() < limit;) {
        std::size_t j = i, from = found.size();
        for (; j < candidates.size() && candidates[j].rank == candidates[i].rank &&
               nameOf(candidates[j]) == nameOf(candidates[i]);
             ++j) {
            // Each candidate counted once among the best: one that gives
            // nothing leaves room that another could have taken.
            std::size_t before = found.size();
            AppendSymbols(*index.packs[candidates[j].pack], candidates[j].name, true, &found);
            if (found.size() == before) ++*emptyNames;
        }
        std::sort(found.begin() + static_cast<std::ptrdiff_t>(from), found.end(), ByPlace);
        i = j;
    }
    if (found.size() > limit) found.resize(limit);
    return found;
}

} // namespace

std::vector<Found> QueryWorkspace(const WorkspaceIndex& index, std::string_view query,
                                  std::size_t limit) {
    if (limit == 0) return {};
    std::string q(query);
    for (char& c : q)
        c = Fold(c);
    for (std::size_t extra = 0;;) {
        bool pruned;
        std::size_t emptyNames;
        std::vector<Found> found = Query(index, q, limit, limit + extra, &pruned, &emptyNames);
        if (found.size() == limit || !pruned || emptyNames == 0) return found;
        extra = extra * 2 + emptyNames;
    }
}

std::vector<Found> FindDefinitions(const WorkspaceIndex& index, std::string_view name) {
    std::vector<Found> found;
    for (const auto& pack : index.packs) {
        if (!pack) continue;
        const std::uint32_t names = static_cast<std::uint32_t>(pack->NameCount());
        for (std::uint32_t n = 0; n < names; ++n)
            if (pack->nameStart[n + 1] - pack->nameStart[n] == name.size() &&
                pack->Name(n) == name) {
                AppendSymbols(*pack, n, false, &found);
                break; // a pack holds each name once
            }
    }
    std::sort(found.begin(), found.end(), ByPlace);
    return found;
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
