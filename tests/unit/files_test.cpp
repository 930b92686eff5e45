// The headless seam's files: whether a file can be created at a path, and
// the folder lock that serialises rewrites across processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>

#include "cli_runner.h"
#include "seam/platform.h"

namespace kelpin::testing {
namespace {

TEST(FileCanCreate, OnlyWhereAFileCouldBeWrittenNow) {
    TempDir dir;
    std::string file = dir / "plain.h";
    WriteFile(file, "x");
    EXPECT_TRUE(FileCanCreate(file.c_str()));
    EXPECT_TRUE(FileCanCreate((dir / "missing.h").c_str()));

    ASSERT_EQ(::mkdir((dir / "folder.h").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo((dir / "pipe.h").c_str(), 0644), 0);
    for (const char* name : {"folder.h", "pipe.h"}) {
        EXPECT_FALSE(FileCanCreate((dir / name).c_str())) << name;
        EXPECT_FALSE(FileIsWritable((dir / name).c_str())) << name;
    }
    EXPECT_FALSE(FileCanCreate((dir / "nowhere/missing.h").c_str()));
    EXPECT_FALSE(FileCanCreate((file + "/under-a-file.h").c_str()));

    // Windows' read-only attribute, kept by the posix platform: a file
    // without write bits, and a folder without them for new files.
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_FALSE(FileCanCreate(file.c_str()));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    EXPECT_FALSE(FileCanCreate((dir / "missing.h").c_str()));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    // Asking created nothing.
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.h"));
}

// Whether another open description of the folder could take its flock now.
bool FolderIsFree(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

TEST(FolderLock, HeldUntilEveryTakeIsGivenBack) {
    TempDir dir;
    TempDir other;
    ASSERT_TRUE(FolderIsFree(dir.path()));
    FolderLock first = FileLockFolder((dir / "a.c").c_str());
    ASSERT_NE(first, 0u);
    EXPECT_FALSE(FolderIsFree(dir.path()));
    EXPECT_TRUE(FolderIsFree(other.path()));

    // The same folder by another name: taken again, without waiting.
    FolderLock again = FileLockFolder((dir.path() + "/./b.h").c_str());
    EXPECT_NE(again, 0u);
    FileUnlockFolder(again);
    EXPECT_FALSE(FolderIsFree(dir.path()));
    FileUnlockFolder(first);
    EXPECT_TRUE(FolderIsFree(dir.path()));

    {
        FolderLockScope scope((dir / "c.c").c_str());
        EXPECT_FALSE(FolderIsFree(dir.path()));
    }
    EXPECT_TRUE(FolderIsFree(dir.path()));
    // A folder that is not there: no lock, and giving back 0 is harmless.
    EXPECT_EQ(FileLockFolder((dir / "nowhere/x.c").c_str()), 0u);
    FileUnlockFolder(0);
    // Nothing was left in the folder.
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// A process that dies holding the lock gives it up, and one that waits for
// it gets it then.
TEST(FolderLock, GoesWithItsProcess) {
    TempDir dir;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t holder = ::fork();
    if (holder == 0) {
        ::close(ready[0]);
        FileLockFolder((dir / "x.c").c_str());
        (void)!::write(ready[1], "1", 1);
        ::pause(); // until killed, never giving it back
        std::_Exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    EXPECT_FALSE(FolderIsFree(dir.path()));

    // A waiter started now gets it once the holder is gone.
    int got[2];
    ASSERT_EQ(::pipe(got), 0);
    pid_t waiter = ::fork();
    if (waiter == 0) {
        ::close(got[0]);
        FolderLock lock = FileLockFolder((dir / "y.c").c_str());
        (void)!::write(got[1], lock != 0 ? "1" : "0", 1);
        std::_Exit(0);
    }
    ::close(got[1]);
    ::kill(holder, SIGKILL);
    ASSERT_EQ(::waitpid(holder, nullptr, 0), holder);
    ASSERT_EQ(::read(got[0], &byte, 1), 1);
    EXPECT_EQ(byte, '1');
    ::close(got[0]);
    ASSERT_EQ(::waitpid(waiter, nullptr, 0), waiter);
    EXPECT_TRUE(FolderIsFree(dir.path()));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

} // namespace
} // namespace kelpin::testing
