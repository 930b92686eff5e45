// The server's knowledge of the workspace: the functions of every .c and .h
// file under its folders, found by the precise scan, indexed on many threads
// and searched by name.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text.h"

namespace kelpin::lsp {

// One function of a file: where its name stands.
struct Symbol {
    std::uint32_t nameOffset; // into FileSymbols::names and ::folded
    std::uint32_t nameLength;
    std::uint32_t line;    // 0-based line of the name
    std::uint32_t column;  // of the name, in the session's encoding
    std::uint64_t letters; // CharacterMask of the name
};

// One bit for each character a name holds, case aside: a query's characters
// must all be among a name's for it to match at all.
std::uint64_t CharacterMask(std::string_view text);

struct FileSymbols {
    std::string path;
    std::string names;  // the names, one after another
    std::string folded; // the same in lower case, for matching
    std::vector<Symbol> symbols;
    std::string_view Name(const Symbol& s) const {
        return {names.data() + s.nameOffset, s.nameLength};
    }
};

// The functions of one text.
FileSymbols ScanSymbols(std::string path, std::string_view text, Encoding encoding);

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
// *done. Files that cannot be read give no entry.
std::vector<FileSymbols> IndexFolders(const std::vector<std::string>& folders, Encoding encoding,
                                      int jobs, std::atomic<std::size_t>* listed,
                                      std::atomic<std::size_t>* done,
                                      const std::atomic<bool>& stop);

struct WorkspaceIndex {
    std::vector<FileSymbols> files;
    std::unordered_map<std::string, std::size_t> byPath;
};

// Puts a file's entry in, replacing any of the same path.
void PutFile(WorkspaceIndex* index, FileSymbols file);
void RemoveFile(WorkspaceIndex* index, const std::string& path);
// Every file whose path is under folder.
void RemoveFolder(WorkspaceIndex* index, const std::string& folder);

struct Hit {
    std::uint32_t file;
    std::uint32_t symbol;
};

// The functions whose names match query, case aside: exact matches first,
// then those that start with it, then those that hold it, then those that
// hold its characters in order; within each, shorter names first, then by
// name and path. At most limit.
std::vector<Hit> QueryWorkspace(const WorkspaceIndex& index, std::string_view query,
                                std::size_t limit);
// The functions named exactly name.
std::vector<Hit> FindDefinitions(const WorkspaceIndex& index, std::string_view name);

// The offsets of word in text where it stands whole, outside comments,
// string and character literals.
std::vector<std::size_t> FindOccurrences(std::string_view text, std::string_view word);

} // namespace kelpin::lsp
