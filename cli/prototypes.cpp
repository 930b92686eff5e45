// kelpin prototypes: the header text of the prototype listing for a source
// file, as dialog 1001 shows it, on stdout or in a file.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "addin/addin.h"
#include "cli.h"
#include "navigation/navigation.h"

namespace kelpin::cli {

namespace {

struct PrototypesOptions {
    std::string file;
    std::string documentPath;
    std::string out;
    bool lf = false;
};

// A source file's bytes, NUL-terminated. A large file is mapped, not copied:
// the zero bytes after its end in its last page end the text (a file that
// fills its last page exactly is read instead). Other files are read at once
// into a buffer of their size. Anything but a readable regular file goes
// through ReadSourceFile, which names the file and the reason.
class SourceBytes {
  public:
    SourceBytes() = default;
    SourceBytes(const SourceBytes&) = delete;
    SourceBytes& operator=(const SourceBytes&) = delete;
    ~SourceBytes() {
        if (mapped_ != nullptr) ::munmap(mapped_, size_);
    }

    bool Load(const std::string& path) {
        int fd = ::open(path.c_str(), O_RDONLY);
        struct stat st;
        bool loaded = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                      (Map(fd, static_cast<std::size_t>(st.st_size)) ||
                       Read(fd, static_cast<std::size_t>(st.st_size)));
        if (fd >= 0) ::close(fd);
        if (loaded) return true;
        std::string text;
        if (!ReadSourceFile(path, &text)) return false;
        read_.reset(new char[text.size() + 1]);
        std::memcpy(read_.get(), text.c_str(), text.size() + 1);
        size_ = text.size();
        return true;
    }
    const char* Text() const {
        return mapped_ != nullptr ? static_cast<const char*>(mapped_) : read_.get();
    }
    std::size_t Size() const { return size_; }

  private:
    bool Map(int fd, std::size_t size) {
        long page = ::sysconf(_SC_PAGESIZE);
        if (size < (1u << 20) || page <= 0 || size % static_cast<std::size_t>(page) == 0)
            return false;
        void* at = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (at == MAP_FAILED) return false;
        mapped_ = at;
        size_ = size;
        return true;
    }
    bool Read(int fd, std::size_t size) {
        std::unique_ptr<char[]> text(new char[size + 1]);
        std::size_t got = 0;
        for (ssize_t n; got < size; got += static_cast<std::size_t>(n))
            if ((n = ::read(fd, text.get() + got, size - got)) <= 0) return false;
        text[got] = '\0';
        read_ = std::move(text);
        size_ = got;
        return true;
    }

    void* mapped_ = nullptr;
    std::unique_ptr<char[]> read_;
    std::size_t size_ = 0;
};

std::string WithBareLineFeeds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::string::size_type i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

int RunPrototypes(const PrototypesOptions& options) {
    SourceBytes source;
    if (!source.Load(options.file)) return ExitInput;
    std::string path =
        options.documentPath.empty() ? DocumentPath(options.file) : options.documentPath;
    // The host opens no listing on an empty text, and hands over at most
    // 259 characters of the document path.
    if (source.Size() == 0) {
        PrintError(options.file + ": empty file, no functions to list");
        return ExitNothing;
    }
    path.resize(std::min<std::size_t>(path.size(), sizeof HostDocumentInfo::path - 1));
    // The very text dialog 1001 shows for this file and path.
    std::string listing = PrototypeListing(source.Text(), path.c_str());
    if (options.lf) listing = WithBareLineFeeds(listing);
    if (!options.out.empty()) {
        if (!FileReplace(options.out.c_str(), listing)) {
            PrintError(options.out + ": cannot write the file");
            return ExitInput;
        }
        return ExitOk;
    }
    if (std::fwrite(listing.data(), 1, listing.size(), stdout) != listing.size() ||
        std::fflush(stdout) != 0) {
        PrintError("standard output: write error");
        return ExitInput;
    }
    return ExitOk;
}

} // namespace

void AddPrototypesCommand(CLI::App& app, int* status) {
    auto options = std::make_shared<PrototypesOptions>();
    CLI::App* command = app.add_subcommand(
        "prototypes", "Print the header of function prototypes that \"Function prototypes\" "
                      "lists for FILE: include guard, one line per function, CRLF line ends");
    command->add_option("FILE", options->file, "C source file")->required();
    command
        ->add_option("--path", options->documentPath,
                     "document path the guard is named after (default: FILE's absolute "
                     "path with \"\\\" separators)")
        ->type_name("DOCPATH");
    command
        ->add_option("-o,--output", options->out,
                     "write to OUT (replaced atomically) instead of standard output")
        ->type_name("OUT");
    command->add_flag("--lf", options->lf, "end lines with a bare line feed instead of CRLF");
    command->callback([options, status] { *status = RunPrototypes(*options); });
}

} // namespace kelpin::cli
