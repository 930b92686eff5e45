// The server's knowledge of the workspace: the symbols of every .c and .h
// file under its folders (macros, types, members, enumerators, variables and
// functions, as kelpin symbols lists them by default), found by the precise
// scan, indexed on many threads and searched by name.
//
// A whole tree holds millions of symbols (the Linux kernel: 7 million, half
// of them register macros that repeat from header to header), so the index
// keeps each name once. Files come in packs: one for each indexing run, and
// one for each file put in alone afterwards (an open document, a file saved
// outside the editor). A pack is never changed but to mark a file gone, when
// a newer pack holds it or it was deleted; a pack whose every file is gone is
// dropped.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text.h"

namespace kelpin::lsp {

// ---- One file's scan -------------------------------------------------------------

struct Symbol {
    std::uint32_t nameOffset; // into FileSymbols::names
    std::uint32_t nameLength;
    // The struct, union or enum it belongs to, the nearest one with a name
    // (a member of an anonymous union in "struct s" belongs to s); length 0
    // for none.
    std::uint32_t scopeOffset;
    std::uint32_t scopeLength;
    std::uint32_t line;   // 0-based line of the name
    std::uint32_t column; // of the name, in the session's encoding
    char kind;            // a kind letter of scanner/symbols.h
};

struct FileSymbols {
    std::string path;
    std::string names; // names and scopes, one after another
    std::vector<Symbol> symbols;
};

// The symbols of one text, those of the default kinds (all but prototypes and
// extern declarations), in text order.
FileSymbols ScanFile(std::string path, std::string_view text, Encoding encoding);

// ---- Packs -------------------------------------------------------------------------

// The files of a pack and their symbols, each name kept once. Symbols are
// numbered in file order; the symbols of a name are listed by number.
struct SymbolPack {
    std::vector<std::string> paths;
    std::vector<std::uint32_t> fileStart; // file f's symbols: [fileStart[f], fileStart[f + 1])
    std::vector<bool> gone;
    std::size_t alive = 0; // files not gone

    std::string names;
    std::vector<std::uint32_t> nameStart; // name n: [nameStart[n], nameStart[n + 1])
    // The names a workspace query searches (those of a symbol of a kind
    // IsSearched takes), ascending, and what it tests of each.
    std::vector<std::uint32_t> searched;
    std::vector<std::uint32_t> letters; // LetterMask of searched[k]
    std::vector<char> first;            // searched[k]'s first byte, in lower case

    struct Place {
        std::uint32_t line;
        std::uint32_t column;
        std::uint32_t scope; // a name, or NoScope
    };
    static constexpr std::uint32_t NoScope = UINT32_MAX;
    std::vector<Place> places;
    std::vector<char> kinds;
    std::vector<std::uint32_t> byNameStart; // name n's symbols: byName[byNameStart[n]...]
    std::vector<std::uint32_t> byName;

    std::size_t NameCount() const { return nameStart.empty() ? 0 : nameStart.size() - 1; }
    std::string_view Name(std::uint32_t n) const {
        return {names.data() + nameStart[n], nameStart[n + 1] - nameStart[n]};
    }
    // The file a symbol belongs to.
    std::uint32_t FileOf(std::uint32_t symbol) const;
};

// Items kept in blocks of a few megabytes that are never moved: growing
// copies nothing, and a block given back goes straight back to the system.
template <typename T> struct BlockList {
    static constexpr std::size_t PerBlock = (std::size_t{4} << 20) / sizeof(T);
    std::vector<std::vector<T>> blocks;
    std::size_t count = 0;

    void push_back(const T& item) {
        if (blocks.empty() || blocks.back().size() == PerBlock) {
            blocks.emplace_back();
            blocks.back().reserve(PerBlock);
        }
        blocks.back().push_back(item);
        ++count;
    }
    const T& operator[](std::size_t i) const { return blocks[i / PerBlock][i % PerBlock]; }
    std::size_t size() const { return count; }
};

// Gathers scanned files into a pack, one at a time, from one thread. What
// grows is kept in blocks, so that a tree's pack is never in memory twice;
// FinishPack moves it into arrays of the exact size.
struct PackBuilder {
    SymbolPack pack;                     // the files
    std::vector<std::string> nameBlocks; // the names' bytes, in blocks of a fixed size
    std::size_t nameBytes = 0;
    BlockList<std::uint32_t> nameStart;
    BlockList<std::uint32_t> letters;
    BlockList<char> first;
    BlockList<SymbolPack::Place> places;
    BlockList<char> kinds;
    BlockList<std::uint32_t> nameOf; // each symbol's name
    // Open addressing: the name + 1 (0 for an empty slot) below the upper
    // half of its hash, so that a probe compares names only when those agree.
    std::vector<std::uint64_t> slots;
    std::string probe;               // a name that spans two blocks, put together
    std::vector<std::size_t> hashes; // of the names of the file being added
};
void AddFile(PackBuilder* builder, const FileSymbols& file);
SymbolPack FinishPack(PackBuilder* builder);

// Whether a workspace query lists symbols of a kind: all but macros and
// members. A tree like Linux defines five million macros, most of them
// register names generated into headers, that would drown a search and cost
// it its speed; a member's name means nothing outside its struct. Both are
// found by definition and listed in a document's outline.
bool IsSearched(char kind);

// Bits for the characters a name holds, case aside: a query's must all be
// among a name's for it to match at all.
std::uint32_t LetterMask(std::string_view text);

// ---- Building the index ------------------------------------------------------------

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* text);

// Whether a path names a C source or header (".c" or ".h").
bool IsSourcePath(std::string_view path);

// Hands each C source and header under folder to take: hidden folders
// passed over, symbolic links to folders not followed, unreadable folders
// skipped. Stops early when stop turns true.
void ListSourceFiles(const std::string& folder, const std::function<void(std::string)>& take,
                     const std::atomic<bool>& stop);

// Lists the files under folders and scans each on jobs threads as soon as
// it is listed, counting the files listed in *listed and those scanned in
// *done; one more thread gathers them into a pack. Files that cannot be read
// give no entry.
SymbolPack IndexFolders(const std::vector<std::string>& folders, Encoding encoding, int jobs,
                        std::atomic<std::size_t>* listed, std::atomic<std::size_t>* done,
                        const std::atomic<bool>& stop);

// ---- The index ---------------------------------------------------------------------

struct WorkspaceIndex {
    std::vector<std::unique_ptr<SymbolPack>> packs; // null: dropped
    struct Where {
        std::uint32_t pack;
        std::uint32_t file;
    };
    std::unordered_map<std::string, Where> byPath;
};

// Puts a pack's files in, each replacing any file of the same path; files
// already marked gone in it are left out.
void PutPack(WorkspaceIndex* index, SymbolPack pack);
// Puts one file in, replacing any of the same path.
void PutFile(WorkspaceIndex* index, const FileSymbols& file);
void RemoveFile(WorkspaceIndex* index, const std::string& path);
// Every file whose path is under folder.
void RemoveFolder(WorkspaceIndex* index, const std::string& folder);
// Marks a file of a pack gone, before the pack is put in.
void MarkGone(SymbolPack* pack, std::uint32_t file);

// The paths of the files the index holds, in no order.
std::vector<std::string_view> IndexedPaths(const WorkspaceIndex& index);

// A symbol found: views into the index, good until it next changes.
struct Found {
    std::string_view path;
    std::string_view name;
    std::string_view scope; // "" for none
    std::uint32_t line;
    std::uint32_t column;
    std::uint32_t order; // its place among its file's symbols
    char kind;
};

// The symbols whose names match query, case aside: exact matches first,
// then those that start with it, then those that hold it, then those that
// hold its characters in order; within each, shorter names first, then by
// name, path and place in the file. At most limit.
std::vector<Found> QueryWorkspace(const WorkspaceIndex& index, std::string_view query,
                                  std::size_t limit);
// The symbols named exactly name, by path and place in the file.
std::vector<Found> FindDefinitions(const WorkspaceIndex& index, std::string_view name);

// The offsets of word in text where it stands whole, outside comments,
// string and character literals.
std::vector<std::size_t> FindOccurrences(std::string_view text, std::string_view word);

} // namespace kelpin::lsp
