// Reading the files every command works on: whole, into memory, with a
// zero byte after them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct stat;

namespace kelpin::cli {

// A source file's bytes with a zero byte after them, for the add-in's
// scanner, which reads up to it. A large regular file is mapped, not copied;
// any other is read into a buffer that, once this text is gone, waits for the
// next file its thread reads, so that a walk of a tree pays the pages of a
// fresh buffer only now and then. Not copyable; the bytes stay put until the
// text is destroyed.
struct SourceText {
    // What the file was when it was opened, before any of it was read.
    struct Identity {
        std::uint64_t device = 0, inode = 0;
        std::int64_t size = 0;
        std::int64_t modifiedSeconds = 0;
        long modifiedNanoseconds = 0;
    };
    const char* data = "";
    std::size_t size = 0;
    void* mapping = nullptr; // or nullptr
    std::size_t mappingLength = 0;
    std::unique_ptr<char[]> buffer; // or empty
    std::size_t capacity = 0;
    Identity identity;

    SourceText() = default;
    SourceText(const SourceText&) = delete;
    SourceText& operator=(const SourceText&) = delete;
    ~SourceText();
    const char* c_str() const { return data; }
    std::string_view view() const { return {data, size}; }
};
// Inputs that are not regular files (pipes, devices) are read up to this
// many bytes; past it the read fails with EFBIG. Regular files have no bound
// but their size.
inline constexpr std::size_t kStreamReadBound = std::size_t{1} << 30;
// A file's identity as stat or fstat found it.
SourceText::Identity IdentityOf(const struct ::stat& st);
// Reads a whole file: 0, or the errno value of the failure (EISDIR for a
// directory, EFBIG for a stream longer than bound). Safe on any thread; the
// caller makes the message, with ReadErrorMessage.
int ReadFileBytes(const std::string& path, SourceText* text, std::size_t bound = kStreamReadBound);
// "PATH: REASON" for an error ReadFileBytes gave.
std::string ReadErrorMessage(const std::string& path, int error);

} // namespace kelpin::cli
