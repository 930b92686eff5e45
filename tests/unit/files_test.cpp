// The headless seam's files: whether a file can be created at a path.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "cli_runner.h"
#include "platform/platform.h"

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

    // Windows' read-only attribute, kept by the headless platform: a file
    // without write bits, and a folder without them for new files.
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_FALSE(FileCanCreate(file.c_str()));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    EXPECT_FALSE(FileCanCreate((dir / "missing.h").c_str()));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    // Asking created nothing.
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.h"));
}

} // namespace
} // namespace kelpin::testing
