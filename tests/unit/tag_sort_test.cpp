// The tags file's sorter against a plain sort of the same lines: random
// names that share prefixes and differ in case, buffers small enough that
// every run spills to many segments and many partitions, one thread and
// several, and an old sorted file merged in with some of its files left out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tag_sort.h"

namespace kelpin::testing {
namespace {

using cli::OldTagLines;
using cli::PathSet;
using cli::SortMode;
using cli::TagSorter;

std::string RandomLine(std::mt19937& random) {
    static const std::string letters = "aAbB_zZ09";
    std::string name(1 + random() % 6, 'a');
    for (char& c : name)
        c = letters[random() % letters.size()];
    std::string file = "f" + std::to_string(random() % 5) + ".c";
    return name + "\t" + file + "\t/^x " + std::to_string(random() % 3) + "$/;\"\tf\n";
}

std::vector<std::string> Sorted(std::vector<std::string> lines, SortMode sort) {
    std::sort(lines.begin(), lines.end(), [sort](const std::string& a, const std::string& b) {
        return cli::Before(a, b, sort);
    });
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line;
    return text;
}

TEST(TagSorter, GivesWhatAPlainSortGives) {
    std::mt19937 random(5);
    const std::string temp = ::testing::TempDir() + "kelpin-sort-" + std::to_string(::getpid());
    for (SortMode sort : {SortMode::Yes, SortMode::FoldCase}) {
        for (std::size_t buffer : {std::size_t{4096}, std::size_t{65536}, std::size_t{1} << 20}) {
            for (int jobs : {1, 3}) {
                for (bool withOld : {false, true}) {
                    SCOPED_TRACE(::testing::Message()
                                 << "sort " << static_cast<int>(sort) << " buffer " << buffer
                                 << " jobs " << jobs << " old " << withOld);
                    std::vector<std::string> lines(random() % 3000);
                    for (std::string& line : lines)
                        line = RandomLine(random);
                    // An old file: pseudo-tags, then sorted lines of files
                    // f0..f4, of which f1 and f3 are no longer kept.
                    std::vector<std::string> expected = lines;
                    PathSet keep{{"f0.c", true}, {"f2.c", true}, {"f4.c", true}};
                    OldTagLines old{temp + ".old", 0, &keep};
                    if (withOld) {
                        std::vector<std::string> oldLines(random() % 2000);
                        for (std::string& line : oldLines) {
                            line = RandomLine(random);
                            if (keep.count(line.substr(line.find('\t') + 1, 4)))
                                expected.push_back(line);
                        }
                        std::string head = "!_TAG_FILE_SORTED\t1\t//\n";
                        old.offset = static_cast<long long>(head.size());
                        std::ofstream(old.path, std::ios::binary)
                            << head << Joined(Sorted(oldLines, sort));
                    }
                    TagSorter sorter(sort, temp, jobs, buffer);
                    // Lines come in pieces of a few lines, as files give them.
                    for (std::size_t i = 0; i < lines.size();) {
                        std::size_t n = std::min<std::size_t>(1 + random() % 7, lines.size() - i);
                        std::vector<std::string> piece(lines.begin() + static_cast<long>(i),
                                                       lines.begin() + static_cast<long>(i + n));
                        ASSERT_TRUE(sorter.Add(Joined(piece)));
                        i += n;
                    }
                    std::string out;
                    ASSERT_TRUE(sorter.Finish([&](std::string_view bytes) { out += bytes; },
                                              withOld ? &old : nullptr));
                    EXPECT_EQ(out, Joined(Sorted(expected, sort)));
                    if (withOld) ::unlink(old.path.c_str());
                }
            }
        }
    }
}

} // namespace
} // namespace kelpin::testing
