// Files and folder locks on POSIX: the seam's functions, and the two writes
// by their own names as well (posix.h).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platforms/posix/posix.h"

namespace kelpin {

namespace {

// Windows' read-only attribute is kept: a file or folder without any write
// permission bit is read-only, for root too. A read-only one leaves EACCES in
// errno, as a refused open would.
bool IsReadOnly(const char* path) {
    struct stat st;
    if (::stat(path, &st) != 0 || (st.st_mode & 0222) != 0) return false;
    errno = EACCES;
    return true;
}

// False, with reason in errno.
bool Fail(int reason) {
    errno = reason;
    return false;
}

std::string DirectoryOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool WriteFd(int fd, std::string_view contents) {
    const char* p = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return Fail(EIO);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// The folder locks this process holds: one open descriptor of the folder
// each, carrying the flock, and how often it was taken.
struct HeldFolder {
    int fd;
    dev_t device;
    ino_t inode;
    int count;
};

std::vector<HeldFolder>& HeldFolders() {
    static std::vector<HeldFolder> held;
    return held;
}

} // namespace

bool FileReadAll(const char* path, std::string* contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    struct stat st;
    if (::stat(path, &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) return Fail(EISDIR);
    std::ostringstream out;
    errno = 0;
    out << in.rdbuf();
    if (in.bad()) return Fail(errno != 0 ? errno : EIO);
    *contents = std::move(out).str();
    return true;
}

bool FileIsWritable(const char* path) {
    struct stat st;
    if (::stat(path, &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) return Fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    if (IsReadOnly(path)) return false;
    int fd = ::open(path, O_RDWR);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool FileCanCreate(const char* path) {
    struct stat st;
    if (::stat(path, &st) == 0) return FileIsWritable(path);
    if (errno != ENOENT) return false;
    std::string directory = DirectoryOf(path);
    if (::stat(directory.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) return Fail(ENOTDIR);
    return !IsReadOnly(directory.c_str()) && ::access(directory.c_str(), W_OK | X_OK) == 0;
}

bool posix::WriteAll(const char* path, std::string_view contents) {
    if (IsReadOnly(path) || IsReadOnly(DirectoryOf(path).c_str())) return false;
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) return false;
    bool ok = WriteFd(fd, contents);
    int reason = errno;
    if (::close(fd) != 0) return false;
    return ok || Fail(reason);
}

bool posix::Replace(const char* path, std::string_view contents) {
    struct stat old;
    bool exists = ::stat(path, &old) == 0;
    if (exists && !FileIsWritable(path)) return false;
    std::string directory = DirectoryOf(path);
    if (IsReadOnly(directory.c_str())) return false;
    std::string temp = std::string(path) + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    mode_t mode = 0666;
    if (exists) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    bool ok = ::fchmod(fd, mode) == 0 && WriteFd(fd, contents) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temp.c_str(), path) == 0) return true;
    int reason = errno;
    ::unlink(temp.c_str());
    return Fail(reason);
}

FolderLock FileLockFolder(const char* path) {
    // The folder, not the file: a file is replaced by renaming a new one over
    // it, and a lock on the old one would guard nothing after that.
    int fd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return 0;
    }
    for (HeldFolder& held : HeldFolders()) {
        if (held.device == st.st_dev && held.inode == st.st_ino) {
            ::close(fd); // a lock on the same folder through another descriptor would wait forever
            ++held.count;
            return static_cast<FolderLock>(held.fd) + 1;
        }
    }
    int result;
    while ((result = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        ::close(fd);
        return 0;
    }
    HeldFolders().push_back({fd, st.st_dev, st.st_ino, 1});
    return static_cast<FolderLock>(fd) + 1;
}

void FileUnlockFolder(FolderLock lock) {
    std::vector<HeldFolder>& folders = HeldFolders();
    for (auto held = folders.begin(); held != folders.end(); ++held) {
        if (static_cast<FolderLock>(held->fd) + 1 != lock) continue;
        if (--held->count == 0) {
            ::close(held->fd); // gives the flock back
            folders.erase(held);
        }
        return;
    }
}

} // namespace kelpin
