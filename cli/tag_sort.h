// Sorting a tags file's lines: more of them than the memory a user would
// give, as fast as the disk and the processors allow.
//
// Lines go into a buffer; a full buffer is ordered by the first two bytes of
// each line (a counting sort, no comparisons) and goes out to one temporary
// file as a segment whose every two-byte bucket is one stretch of bytes. At
// the end the buckets are cut into partitions of a few megabytes; each
// partition is read back from every segment, sorted in memory, and written,
// in order, while the next ones are read and sorted on other threads. No
// line is compared with another outside its partition, and no merge of runs
// compares every line again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kelpin::cli {

enum class SortMode { No, Yes, FoldCase };

// Whether line a sorts before line b: byte order, or for foldcase by the
// upper-cased names first (Vim searches a foldcase file with both sides
// upper-cased), then byte order.
bool Before(std::string_view a, std::string_view b, SortMode sort);

// Paths looked up by their text, without a string made for each line.
struct PathHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using PathSet = std::unordered_map<std::string, bool, PathHash, std::equal_to<>>;

// The tag lines of an existing sorted tags file, from offset on, merged into
// the output: only those whose file (the second field) keep names.
struct OldTagLines {
    std::string path;
    long long offset = 0;
    const PathSet* keep = nullptr;
};

class TagSorter {
  public:
    // Temporary files are made at tempBase followed by a suffix, and removed
    // at once: nothing is left behind, whatever happens to the process.
    // A buffer holds bufferBytes of lines (tests give a small one).
    TagSorter(SortMode sort, std::string tempBase, int jobs,
              std::size_t bufferBytes = std::size_t{32} << 20);
    ~TagSorter();
    TagSorter(const TagSorter&) = delete;
    TagSorter& operator=(const TagSorter&) = delete;

    // Whole lines, each ended by a line feed. False, with the error line,
    // when a temporary file cannot be written.
    bool Add(std::string_view lines);
    // Hands every line to write in sorted order, merged with old's when it
    // is given. False, with the error line, when a temporary or old file
    // cannot be read.
    bool Finish(const std::function<void(std::string_view)>& write, const OldTagLines* old);

  private:
    struct Segment;
    struct Partition;
    bool Spill();
    std::vector<std::uint64_t> BucketSizes() const;
    bool Load(const Partition& part, std::string* bytes) const;

    SortMode sort_;
    std::string tempBase_;
    int jobs_;
    std::size_t bound_;
    int spillFd_ = -1;
    std::uint64_t spilled_ = 0; // bytes in the temporary file
    std::string buffer_;
    std::vector<std::uint32_t> lineStarts_; // of the buffer's lines
    std::vector<Segment> segments_;
    // The buffer's lines in bucket order, made when it is the last.
    std::vector<std::uint32_t> memoryOrder_;
    std::vector<std::uint32_t> memoryBuckets_; // first line of each bucket
};

} // namespace kelpin::cli
