// What every command shares: error lines, reading sources, document paths.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "cli.h"

namespace kelpin::cli {

CLI::Validator NumberIn(int low, int high) {
    return CLI::Validator(
        [low, high](std::string& input) -> std::string {
            std::string bad = input + " is not a number from " + std::to_string(low) + " to " +
                              std::to_string(high);
            if (input.empty() || input.size() > 9 ||
                input.find_first_not_of("0123456789") != std::string::npos)
                return bad;
            int value = std::stoi(input);
            return value < low || value > high ? bad : std::string();
        },
        std::to_string(low) + ".." + std::to_string(high));
}

CLI::App* AddCommandGroup(CLI::App& app, const std::string& name, const std::string& description) {
    CLI::App* group = app.add_subcommand(name, description);
    group->require_subcommand(1);
    return group;
}

void AddFileArgument(CLI::App* command, std::string* file) {
    command->add_option("FILE", *file, "C source file")->required();
}

CLI::Option* AddOutputOption(CLI::App* command, const std::string& names, std::string* out,
                             const std::string& help) {
    return AddValueOption(command, names, out, "OUT", help);
}

CLI::Option* AddKindsOption(CLI::App* command, std::string* kinds, const std::string& verb) {
    return AddValueOption(command, "--kinds", kinds, "LETTERS",
                          "the kinds to " + verb +
                              ": LETTERS, or +LETTERS/-LETTERS to change the default (defgmstuv)");
}

void AddPathArguments(CLI::App* command, std::vector<std::string>* paths) {
    command->add_option("PATH", *paths, "C source files and directories")->required();
}

void PrintError(const std::string& message) {
    std::fprintf(stderr, "kelpin: %s\n", message.c_str());
}

namespace {

// Regular files from this size on are mapped: below it, copying the bytes
// into a buffer the thread already has costs less than making and removing
// a mapping.
constexpr std::size_t kMapFrom = std::size_t{256} << 10;
// The largest buffer a thread keeps for its next file: larger files are
// mapped, so a buffer only grows past it for a long stream.
constexpr std::size_t kKeepUpTo = kMapFrom + 2;

// The buffer each thread keeps between two files.
thread_local std::unique_ptr<char[]> spareBuffer;
thread_local std::size_t spareCapacity = 0;

// A buffer of at least capacity bytes: the text's own or the thread's spare
// when it is large enough.
void TakeBuffer(SourceText* text, std::size_t capacity) {
    if (text->buffer && text->capacity >= capacity) return; // its own, from a read before
    if (spareCapacity >= capacity) {
        text->buffer = std::move(spareBuffer);
        text->capacity = spareCapacity;
        spareCapacity = 0;
        return;
    }
    text->buffer.reset(new char[capacity]);
    text->capacity = capacity;
}

// Makes the buffer hold at least capacity bytes, keeping the first size.
void GrowBuffer(SourceText* text, std::size_t size, std::size_t capacity) {
    if (text->capacity >= capacity) return;
    capacity = std::max(capacity, text->capacity * 2);
    std::unique_ptr<char[]> larger(new char[capacity]);
    if (size > 0) std::memcpy(larger.get(), text->buffer.get(), size);
    text->buffer = std::move(larger);
    text->capacity = capacity;
}

// Maps size bytes of a regular file with a zero byte after them: the file's
// last page reads as zeros past its end, and the page after the file, where
// the size fills its last page, is a page of zeros reserved with the
// mapping. False when the system refuses; the caller reads the file then.
// The mapping shows the file as it is: a file cut short while it is read
// would fault, as for every program that maps its input.
bool MapFile(int fd, std::size_t size, SourceText* text) {
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t length = (size + 1 + page - 1) / page * page;
    void* reserved = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (reserved == MAP_FAILED) return false;
    // Every page at once: the scan reads them all, in order.
    void* file = ::mmap(reserved, size, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_POPULATE, fd, 0);
    if (file == MAP_FAILED) {
        ::munmap(reserved, length);
        return false;
    }
    text->mapping = reserved;
    text->mappingLength = length;
    text->data = static_cast<const char*>(reserved);
    text->size = size;
    return true;
}

// Reads fd to its end into the text's buffer. A file of known size takes
// one read (a read that falls short once that size is in is the end); one
// without (a pipe, a device, a file of the proc file system) is read until
// it ends, and fails with EFBIG past bound bytes.
int ReadAll(int fd, std::size_t known, std::size_t bound, SourceText* text) {
    const bool sized = known > 0;
    // Room for the known size, one byte more to see a file that grew, and
    // the zero byte.
    TakeBuffer(text, sized ? known + 2 : std::min<std::size_t>(bound, 64 << 10) + 2);
    std::size_t size = 0;
    for (;;) {
        if (!sized && size > bound) return EFBIG;
        if (size + 2 > text->capacity) {
            std::size_t wanted = text->capacity * 2;
            if (!sized) wanted = std::min(wanted, bound + 2);
            GrowBuffer(text, size, std::max(wanted, size + 2));
        }
        std::size_t room = text->capacity - 1 - size;
        ssize_t n = ::read(fd, text->buffer.get() + size, room);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;
        size += static_cast<std::size_t>(n);
        if (sized && size >= known && static_cast<std::size_t>(n) < room) break;
    }
    text->buffer[size] = '\0';
    text->data = text->buffer.get();
    text->size = size;
    return 0;
}

} // namespace

SourceText::~SourceText() {
    if (mapping != nullptr) ::munmap(mapping, mappingLength);
    if (buffer && capacity > spareCapacity && capacity <= kKeepUpTo) {
        spareBuffer = std::move(buffer);
        spareCapacity = capacity;
    }
}

SourceText::Identity IdentityOf(const struct ::stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::int64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtim.tv_sec),
            st.st_mtim.tv_nsec};
}

int ReadFileBytes(const std::string& path, SourceText* text, std::size_t bound) {
    // A text read before gives way (its buffer is used again).
    if (text->mapping != nullptr) ::munmap(text->mapping, text->mappingLength);
    text->mapping = nullptr;
    text->data = "";
    text->size = 0;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st;
    int error = 0;
    if (::fstat(fd, &st) != 0) {
        error = errno;
    } else if (S_ISDIR(st.st_mode)) {
        error = EISDIR;
    } else {
        text->identity = IdentityOf(st);
        // Only a regular file's size is the number of bytes it holds.
        std::size_t known =
            S_ISREG(st.st_mode) ? static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)) : 0;
        if (!(known >= kMapFrom && MapFile(fd, known, text)))
            error = ReadAll(fd, known, bound, text);
    }
    ::close(fd);
    return error;
}

std::string ReadErrorMessage(const std::string& path, int error) {
    switch (error) {
    case EISDIR: return path + ": is a directory";
    case EFBIG: return path + ": larger than 1 GiB; not read";
    default: return path + ": " + std::strerror(error);
    }
}

bool ReadSourceText(const std::string& path, SourceText* text) {
    int error = ReadFileBytes(path, text);
    if (error == 0) return true;
    PrintError(ReadErrorMessage(path, error));
    return false;
}

bool ReadSourceFile(const std::string& path, std::string* text) {
    SourceText source;
    if (!ReadSourceText(path, &source)) return false;
    text->assign(source.data, source.size);
    return true;
}

} // namespace kelpin::cli
