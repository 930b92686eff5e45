#include "tag_sort.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "cli.h"
#include "tree.h"

namespace kelpin::cli {

namespace {

constexpr std::size_t Buckets = 1u << 16;
// Lines go to write in pieces of about this size.
constexpr std::size_t Chunk = std::size_t{1} << 20;

inline unsigned char Fold(unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c;
}

// Eight bytes of a line from offset from on as one number in their order,
// zeros past its end. For foldcase, the bytes of the upper-cased name and
// zeros after it, so that the number orders as Before does: by folded name
// first.
std::uint64_t KeyAt(std::string_view line, SortMode sort, std::size_t from) {
    if (sort == SortMode::Yes && line.size() >= from + 8) {
        std::uint64_t bytes;
        std::memcpy(&bytes, line.data() + from, 8);
        if constexpr (std::endian::native == std::endian::little) bytes = __builtin_bswap64(bytes);
        return bytes; // the first byte highest
    }
    bool inName = true;
    if (sort == SortMode::FoldCase)
        inName = line.substr(0, from).find('\t') == std::string_view::npos;
    std::uint64_t key = 0;
    for (std::size_t i = from; i < from + 8; ++i) {
        unsigned char c = i < line.size() ? static_cast<unsigned char>(line[i]) : 0;
        if (sort == SortMode::FoldCase) {
            if (c == '\t') inName = false;
            c = inName ? Fold(c) : 0;
        }
        key = key << 8 | c;
    }
    return key;
}

// The bucket of a line: its first two bytes, as KeyAt gives them.
inline unsigned BucketOf(std::string_view line, SortMode sort) {
    return static_cast<unsigned>(KeyAt(line, sort, 0) >> 48);
}

// Writes the lines, in order, as few calls as the system allows.
bool WriteLines(int fd, const std::vector<std::string_view>& lines) {
    std::vector<iovec> parts(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        parts[i] = {const_cast<char*>(lines[i].data()), lines[i].size()};
    iovec* next = parts.data();
    std::size_t left = parts.size();
    while (left > 0) {
        ssize_t n = ::writev(fd, next, static_cast<int>(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        // A short write: on from where it stopped.
        std::size_t done = static_cast<std::size_t>(n);
        while (left > 0 && done >= next->iov_len) {
            done -= next->iov_len;
            ++next;
            --left;
        }
        if (left > 0) {
            next->iov_base = static_cast<char*>(next->iov_base) + done;
            next->iov_len -= done;
        }
    }
    return true;
}

bool ReadAt(int fd, char* into, std::size_t size, std::uint64_t offset) {
    while (size > 0) {
        ssize_t n = ::pread(fd, into, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        into += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

// A line to sort: its bucket and the sixteen bytes after it, which settle
// most comparisons of names that share a long prefix, then the line.
struct Piece {
    std::uint64_t key, key2;
    const char* data;
    std::uint32_t length;
    std::uint16_t bucket;
};

Piece PieceOf(std::string_view line, SortMode sort) {
    return {KeyAt(line, sort, 2), KeyAt(line, sort, 10), line.data(),
            static_cast<std::uint32_t>(line.size()),
            static_cast<std::uint16_t>(BucketOf(line, sort))};
}

bool PieceBefore(const Piece& a, const Piece& b, SortMode sort) {
    if (a.bucket != b.bucket) return a.bucket < b.bucket;
    if (a.key != b.key) return a.key < b.key;
    if (a.key2 != b.key2) return a.key2 < b.key2;
    return Before({a.data, a.length}, {b.data, b.length}, sort);
}

// The tag lines of an old tags file, read in order, less those whose file
// is not kept.
class OldReader {
  public:
    // False, with the error line, when the file cannot be opened.
    bool Open(const OldTagLines& old) {
        keep_ = old.keep;
        path_ = old.path;
        fd_ = ::open(old.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0 || ::lseek(fd_, static_cast<off_t>(old.offset), SEEK_SET) < 0) {
            PrintError(old.path + ": " + std::strerror(errno));
            return false;
        }
        buffer_.resize(Chunk);
        Next();
        return true;
    }
    ~OldReader() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Has() const { return has_; }
    std::string_view Line() const { return line_; }
    bool Failed() const { return failed_; }
    // Moves to the next kept line; false at the end or on an error.
    bool Next() {
        while (NextRaw()) {
            if (Kept(line_)) return has_ = true;
        }
        return has_ = false;
    }

  private:
    bool Kept(std::string_view line) const {
        if (line.empty() || line[0] == '!') return false;
        std::size_t tab = line.find('\t');
        std::size_t tab2 = tab == std::string_view::npos ? tab : line.find('\t', tab + 1);
        if (tab2 == std::string_view::npos) return false;
        return keep_ == nullptr ||
               keep_->find(line.substr(tab + 1, tab2 - tab - 1)) != keep_->end();
    }
    bool NextRaw() {
        for (;;) {
            const char* from = buffer_.data() + at_;
            if (const void* feed = std::memchr(from, '\n', end_ - at_)) {
                std::size_t length =
                    static_cast<std::size_t>(static_cast<const char*>(feed) - from) + 1;
                line_ = std::string_view(from, length);
                at_ += length;
                return true;
            }
            if (ended_) return false; // a last line cut short is not kept
            // The part of a line left moves to the front; a line longer than
            // the buffer makes it grow.
            std::memmove(buffer_.data(), from, end_ - at_);
            end_ -= at_;
            at_ = 0;
            if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
            ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                PrintError(path_ + ": " + std::strerror(errno));
                failed_ = true;
                return false;
            }
            if (n == 0) ended_ = true;
            end_ += static_cast<std::size_t>(n);
        }
    }

    const PathSet* keep_ = nullptr;
    std::string path_;
    int fd_ = -1;
    std::string buffer_;
    std::size_t at_ = 0, end_ = 0;
    bool ended_ = false, failed_ = false, has_ = false;
    std::string_view line_;
};

} // namespace

bool Before(std::string_view a, std::string_view b, SortMode sort) {
    if (sort == SortMode::FoldCase) {
        std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            unsigned char x = Fold(static_cast<unsigned char>(a[i]));
            unsigned char y = Fold(static_cast<unsigned char>(b[i]));
            if (x != y) return x < y;
            if (a[i] == '\t') break; // the names are equal but for case
        }
    }
    return a < b;
}

// A buffer gone out to the temporary file: where it starts there, and where
// each bucket starts within it (one more for the end).
struct TagSorter::Segment {
    std::uint64_t base = 0;
    std::vector<std::uint32_t> starts;
};

// Buckets [first, last) and the bytes their lines take.
struct TagSorter::Partition {
    unsigned first = 0, last = 0;
    std::uint64_t bytes = 0;
};

TagSorter::TagSorter(SortMode sort, std::string tempBase, int jobs, std::size_t bufferBytes)
    : sort_(sort), tempBase_(std::move(tempBase)),
      jobs_(jobs > 0 ? jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))),
      bound_(bufferBytes) {}

TagSorter::~TagSorter() {
    if (spillFd_ >= 0) ::close(spillFd_);
}

bool TagSorter::Add(std::string_view lines) {
    // A segment's offsets are 32-bit: one file's lines never fill it, and
    // a buffer goes out before it would.
    if (buffer_.size() + lines.size() > bound_ && !buffer_.empty() && !Spill()) return false;
    if (buffer_.capacity() < bound_) buffer_.reserve(bound_);
    std::size_t at = buffer_.size();
    buffer_ += lines;
    const char* base = buffer_.data();
    const std::size_t end = buffer_.size();
    while (at < end) {
        lineStarts_.push_back(static_cast<std::uint32_t>(at));
        const void* feed = std::memchr(base + at, '\n', end - at);
        at = feed ? static_cast<std::size_t>(static_cast<const char*>(feed) - base) + 1 : end;
    }
    return true;
}

bool TagSorter::Spill() {
    if (spillFd_ < 0) {
        std::string path = tempBase_ + ".sort-XXXXXX";
        spillFd_ = ::mkstemp(path.data());
        if (spillFd_ < 0) {
            PrintError(path + ": cannot write a temporary file: " + std::strerror(errno));
            return false;
        }
        ::unlink(path.c_str()); // gone with the process, whatever happens to it
    }
    // Bucket by bucket, in the order the lines came (a counting sort).
    const std::size_t lines = lineStarts_.size();
    auto lineAt = [&](std::size_t i) {
        std::size_t end = i + 1 < lines ? lineStarts_[i + 1] : buffer_.size();
        return std::string_view(buffer_.data() + lineStarts_[i], end - lineStarts_[i]);
    };
    std::vector<std::uint16_t> bucketOf(lines);
    Segment segment;
    segment.base = spilled_;
    segment.starts.assign(Buckets + 1, 0);
    std::vector<std::uint32_t> firstLine(Buckets + 1, 0);
    for (std::size_t i = 0; i < lines; ++i) {
        std::string_view line = lineAt(i);
        unsigned b = BucketOf(line, sort_);
        bucketOf[i] = static_cast<std::uint16_t>(b);
        segment.starts[b + 1] += static_cast<std::uint32_t>(line.size());
        ++firstLine[b + 1];
    }
    for (std::size_t b = 0; b < Buckets; ++b) {
        segment.starts[b + 1] += segment.starts[b];
        firstLine[b + 1] += firstLine[b];
    }
    std::vector<std::uint32_t> order(lines);
    for (std::size_t i = 0; i < lines; ++i)
        order[firstLine[bucketOf[i]]++] = static_cast<std::uint32_t>(i);
    // Straight from the buffer, a batch of lines a call.
    std::vector<std::string_view> batch;
    batch.reserve(IOV_MAX);
    bool ok = true;
    for (std::uint32_t i : order) {
        batch.push_back(lineAt(i));
        if (batch.size() == IOV_MAX) {
            ok = ok && WriteLines(spillFd_, batch);
            batch.clear();
        }
    }
    ok = ok && WriteLines(spillFd_, batch);
    if (!ok) {
        PrintError(tempBase_ + ".sort-*: cannot write a temporary file: " + std::strerror(errno));
        return false;
    }
    spilled_ += buffer_.size();
    segments_.push_back(std::move(segment));
    buffer_.clear();
    lineStarts_.clear();
    return true;
}

std::vector<std::uint64_t> TagSorter::BucketSizes() const {
    std::vector<std::uint64_t> sizes(Buckets, 0);
    for (const Segment& segment : segments_)
        for (std::size_t b = 0; b < Buckets; ++b)
            sizes[b] += segment.starts[b + 1] - segment.starts[b];
    const std::size_t lines = lineStarts_.size();
    for (std::size_t b = 0; b < Buckets; ++b) {
        for (std::uint32_t k = memoryBuckets_[b]; k < memoryBuckets_[b + 1]; ++k) {
            std::uint32_t i = memoryOrder_[k];
            std::size_t end = i + 1 < lines ? lineStarts_[i + 1] : buffer_.size();
            sizes[b] += end - lineStarts_[i];
        }
    }
    return sizes;
}

// The bytes of a partition's lines in the segments, one after the other.
bool TagSorter::Load(const Partition& part, std::string* bytes) const {
    std::size_t size = 0;
    for (const Segment& segment : segments_)
        size += segment.starts[part.last] - segment.starts[part.first];
    bytes->resize(size);
    char* at = bytes->data();
    for (const Segment& segment : segments_) {
        std::uint32_t from = segment.starts[part.first], to = segment.starts[part.last];
        if (!ReadAt(spillFd_, at, to - from, segment.base + from)) {
            PrintError(tempBase_ + ".sort-*: cannot read a temporary file: " +
                       std::strerror(errno ? errno : EIO));
            return false;
        }
        at += to - from;
    }
    // What is read back is not read again: the pages it filled go back to
    // the system, which gives them to the tags file's.
    for (const Segment& segment : segments_) {
        std::uint32_t from = segment.starts[part.first], to = segment.starts[part.last];
        if (to > from)
            ::fallocate(spillFd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE,
                        static_cast<off_t>(segment.base + from), to - from);
    }
    return true;
}

bool TagSorter::Finish(const std::function<void(std::string_view)>& write, const OldTagLines* old) {
    // Once buffers went out, the last goes too: its memory is better spent
    // on partitions. Otherwise it stays, its lines in bucket order.
    if (!segments_.empty() && !buffer_.empty() && !Spill()) return false;
    buffer_.shrink_to_fit();
    const std::size_t lines = lineStarts_.size();
    auto lineAt = [&](std::size_t i) {
        std::size_t end = i + 1 < lines ? lineStarts_[i + 1] : buffer_.size();
        return std::string_view(buffer_.data() + lineStarts_[i], end - lineStarts_[i]);
    };
    memoryBuckets_.assign(Buckets + 1, 0);
    std::vector<std::uint16_t> bucketOf(lines);
    for (std::size_t i = 0; i < lines; ++i) {
        bucketOf[i] = static_cast<std::uint16_t>(BucketOf(lineAt(i), sort_));
        ++memoryBuckets_[bucketOf[i] + 1u];
    }
    for (std::size_t b = 0; b < Buckets; ++b)
        memoryBuckets_[b + 1] += memoryBuckets_[b];
    memoryOrder_.resize(lines);
    {
        std::vector<std::uint32_t> next(memoryBuckets_.begin(), memoryBuckets_.end() - 1);
        for (std::size_t i = 0; i < lines; ++i)
            memoryOrder_[next[bucketOf[i]]++] = static_cast<std::uint32_t>(i);
    }
    bucketOf = {};

    // Partitions of about a quarter of a thread's share, so that the
    // threads stay busy to the end, within what a read-back costs.
    std::vector<std::uint64_t> sizes = BucketSizes();
    std::uint64_t total = 0;
    for (std::uint64_t s : sizes)
        total += s;
    const std::uint64_t wanted = std::clamp<std::uint64_t>(
        total / (4 * static_cast<std::uint64_t>(jobs_)),
        std::min<std::uint64_t>(bound_ / 4, std::uint64_t{1} << 20), std::uint64_t{16} << 20);
    std::vector<Partition> parts;
    Partition part;
    for (unsigned b = 0; b < Buckets; ++b) {
        part.bytes += sizes[b];
        if (part.bytes >= wanted) {
            part.last = b + 1;
            parts.push_back(part);
            part = Partition{b + 1, b + 1, 0};
        }
    }
    if (parts.empty() || part.bytes > 0) {
        part.last = Buckets;
        parts.push_back(part);
    }
    parts.back().last = Buckets; // the old file's lines after the last bucket too

    OldReader oldLines;
    bool failed = old != nullptr && (!oldLines.Open(*old) || oldLines.Failed());

    // Threads take partitions in order; each is let in when the partitions
    // read and not yet written leave room for it (one always goes in), reads
    // and sorts it, and writes it when those before it are written. Letting
    // them in in order keeps the next one to write always under way.
    const std::uint64_t room = bound_;
    std::mutex mutex;
    std::condition_variable turn;
    std::size_t toTake = 0, toAdmit = 0, toWrite = 0;
    std::uint64_t held = 0;

    auto work = [&] {
        std::string bytes;
        std::vector<Piece> pieces;
        std::string chunk;
        chunk.reserve(Chunk + (Chunk >> 2));
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            if (toTake >= parts.size()) return;
            const std::size_t k = toTake++;
            const Partition& p = parts[k];
            turn.wait(lock, [&] { return toAdmit == k && (held == 0 || held + p.bytes <= room); });
            held += p.bytes;
            ++toAdmit;
            turn.notify_all();
            bool ok = !failed;
            lock.unlock();

            pieces.clear();
            if (ok) ok = Load(p, &bytes);
            if (ok) {
                for (std::uint32_t m = memoryBuckets_[p.first]; m < memoryBuckets_[p.last]; ++m) {
                    std::string_view line = lineAt(memoryOrder_[m]);
                    pieces.push_back(PieceOf(line, sort_));
                }
                std::string_view rest = bytes;
                while (!rest.empty()) {
                    std::size_t feed = rest.find('\n');
                    std::string_view line = rest.substr(0, feed + 1);
                    pieces.push_back(PieceOf(line, sort_));
                    rest.remove_prefix(line.size());
                }
                const SortMode sort = sort_;
                std::sort(pieces.begin(), pieces.end(), [sort](const Piece& a, const Piece& b) {
                    return PieceBefore(a, b, sort);
                });
            }

            lock.lock();
            turn.wait(lock, [&] { return toWrite == k; });
            if (!ok) failed = true;
            ok = !failed;
            lock.unlock();
            if (ok) {
                // Merged with the old file's lines up to the partition's end.
                const bool last = k + 1 == parts.size();
                auto oldFirst = [&](const Piece* piece) {
                    if (!oldLines.Has()) return false;
                    std::string_view line = oldLines.Line();
                    if (!last && BucketOf(line, sort_) >= p.last) return false;
                    return piece == nullptr || !Before({piece->data, piece->length}, line, sort_);
                };
                auto emit = [&](std::string_view line) {
                    chunk += line;
                    if (chunk.size() >= Chunk) {
                        write(chunk);
                        chunk.clear();
                    }
                };
                for (const Piece& piece : pieces) {
                    while (oldFirst(&piece)) {
                        emit(oldLines.Line());
                        oldLines.Next();
                    }
                    emit({piece.data, piece.length});
                }
                while (oldFirst(nullptr)) {
                    emit(oldLines.Line());
                    oldLines.Next();
                }
                write(chunk);
                chunk.clear();
                if (oldLines.Failed()) ok = false;
            }
            // A partition larger than the rest (one bucket of a generated
            // header's names) gives its memory back.
            if (bytes.capacity() > room) std::string().swap(bytes);
            if (pieces.capacity() * sizeof(Piece) > room) std::vector<Piece>().swap(pieces);
            lock.lock();
            if (!ok) failed = true;
            held -= p.bytes;
            ++toWrite;
            turn.notify_all();
        }
    };
    RunOnThreads(jobs_, parts.size(), work);
    return !failed;
}

} // namespace kelpin::cli
