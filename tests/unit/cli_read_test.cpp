// How the CLI reads its inputs: every byte of a regular file of any size,
// mapped or read, with the zero byte the add-in's scanner stops at; streams
// up to a bound and a clear failure past it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <thread>

#include "cli_runner.h"
#include "source_text.h"

namespace kelpin::testing {
namespace {

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() % 7 == 0 ? '\n' : 'a' + random() % 26);
    return bytes;
}

// Sizes on both sides of a page and of the size from which files are mapped
// rather than read, with page multiples where the zero byte cannot come
// from the file's last page. Files are read one after another on this
// thread, so that each read may reuse the buffer of the one before, and
// again into one text that held the one before.
TEST(ReadFileBytes, EveryByteOfARegularFileAndAZeroAfterThem) {
    TempDir dir;
    const std::size_t sizes[] = {
        0, 1, 4095, 4096, 70000, 1 << 18, 1 << 20, (1 << 20) + 1, (3 << 20) - 1, 5, 0, 1 << 16};
    unsigned seed = 1;
    cli::SourceText reused; // read into again for every size, whatever it held
    for (std::size_t size : sizes) {
        std::string bytes = RandomBytes(size, seed++);
        std::string path = dir / ("f" + std::to_string(size));
        WriteFile(path, bytes);
        cli::SourceText text;
        // A bound far below the size: regular files are not bounded.
        for (cli::SourceText* read : {&text, &reused}) {
            ASSERT_EQ(cli::ReadFileBytes(path, read, 3), 0) << size;
            EXPECT_EQ(read->view(), bytes) << size;
            EXPECT_EQ(read->c_str()[read->size], '\0') << size;
        }
    }
}

// A pipe holds what its writer gives, up to the bound and no further.
TEST(ReadFileBytes, StreamsAreReadUpToTheirBound) {
    ::signal(SIGPIPE, SIG_IGN); // the writer of a refused stream meets a closed pipe
    TempDir dir;
    struct Case {
        std::size_t written, bound;
        int error;
    } cases[] = {
        {0, 10, 0},
        {100000, 100000, 0},
        {100001, 100000, EFBIG},
        {3 << 20, 1 << 20, EFBIG},
        {(1 << 20) + 17, 4 << 20, 0},
    };
    for (const Case& c : cases) {
        std::string fifo = dir / ("fifo" + std::to_string(c.written));
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        std::string bytes = RandomBytes(c.written, static_cast<unsigned>(c.written));
        std::thread writer([&] {
            int fd = ::open(fifo.c_str(), O_WRONLY);
            for (std::size_t at = 0; fd >= 0 && at < bytes.size();) {
                ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
                if (n <= 0) break;
                at += static_cast<std::size_t>(n);
            }
            if (fd >= 0) ::close(fd);
        });
        cli::SourceText text;
        int error = cli::ReadFileBytes(fifo, &text, c.bound);
        writer.join();
        EXPECT_EQ(error, c.error) << c.written << " bytes, bound " << c.bound;
        if (error == 0) {
            EXPECT_EQ(text.view(), bytes);
            EXPECT_EQ(text.c_str()[text.size], '\0');
        }
    }
}

// A device that never ends is refused at the bound, with a message that
// says so; a directory and a missing file give their own reasons.
TEST(ReadFileBytes, EndlessDevicesDirectoriesAndMissingFiles) {
    cli::SourceText zeros;
    EXPECT_EQ(cli::ReadFileBytes("/dev/zero", &zeros, 1 << 20), EFBIG);
    EXPECT_EQ(cli::ReadErrorMessage("/dev/zero", EFBIG), "/dev/zero: larger than 1 GiB; not read");
    TempDir dir;
    cli::SourceText text;
    EXPECT_EQ(cli::ReadFileBytes(dir.path(), &text), EISDIR);
    EXPECT_EQ(cli::ReadFileBytes(dir / "missing.c", &text), ENOENT);
}

} // namespace
} // namespace kelpin::testing
