// The version module's files: their exact text, how line 6 is read back, and
// how the files are created, opened and written.
#include <gmock/gmock.h>

#include <sys/stat.h>

#include "version_fixture.h"

namespace kelpin::testing {
namespace {

// ---- Reading line 6 ----------------------------------------------------------

// The five lines before the version line.
const std::string FirstLines = "//a\n//b\n\n#include \"v.h\"\n\n";

struct Numbers {
    int result;
    std::int32_t components[4] = {-1, -1, -1, -1};
    std::int32_t build = -1;
};

Numbers Read(const std::string& bytes) {
    Numbers n;
    VersionNumbers read{};
    n.result = ReadVersionNumbers(bytes, &read);
    if (n.result == VersionOk) {
        std::copy(read.components, read.components + 4, n.components);
        n.build = read.build;
    }
    return n;
}

std::string WithLine6(const std::string& line) {
    return FirstLines + line;
}

TEST(VersionReading, PlaceholderReadsAsZeroWithBuild9999) {
    Numbers n = Read(PlaceholderText("version"));
    ASSERT_EQ(n.result, VersionOk);
    EXPECT_THAT(n.components, ::testing::ElementsAre(0, 0, 0, 0));
    EXPECT_EQ(n.build, 9999);
}

TEST(VersionReading, ReadsEveryComponentInItsPlace) {
    Numbers n = Read(SourceText("v", 12, 34, 56, 78, 4321));
    ASSERT_EQ(n.result, VersionOk);
    EXPECT_THAT(n.components, ::testing::ElementsAre(12, 34, 56, 78));
    EXPECT_EQ(n.build, 4321);
}

TEST(VersionReading, BareLineFeedsReadLikeCarriageReturnLineFeeds) {
    std::string crlf = SourceText("v", 1, 2, 3, 4, 5);
    std::string lf;
    for (char c : crlf)
        if (c != '\r') lf += c;
    Numbers a = Read(crlf), b = Read(lf);
    ASSERT_EQ(a.result, VersionOk);
    ASSERT_EQ(b.result, VersionOk);
    EXPECT_EQ(a.build, 5);
    EXPECT_EQ(b.build, 5);
    EXPECT_THAT(b.components, ::testing::ElementsAre(1, 2, 3, 4));
}

TEST(VersionReading, LoneCarriageReturnIsAnOrdinaryCharacter) {
    // A "\r" not followed by "\n" is kept: after the build digits it does
    // no harm, and it never ends a line.
    Numbers n = Read(WithLine6("char VersionString[]=\"Ver 01.02.03.04 - Build 0005\r\";\n"));
    ASSERT_EQ(n.result, VersionOk);
    EXPECT_EQ(n.build, 5);
    // And in the first lines it does not count as a line end.
    EXPECT_EQ(Read("a\rb\rc\rd\re\rf\r").result, VersionBadFormat);
}

TEST(VersionReading, FewerThanFiveLinesOrAnEmptyFileIsAFormatError) {
    EXPECT_EQ(Read("").result, VersionBadFormat);
    EXPECT_EQ(Read("1\n2\n3\n4\n").result, VersionBadFormat);
    EXPECT_EQ(Read("1\r\n2\r\n3\r\n4\r\nno line feed").result, VersionBadFormat);
    // Five complete lines and nothing more: the version line is missing.
    EXPECT_EQ(Read(FirstLines).result, VersionEndOfFile);
}

TEST(VersionReading, Line6WithoutItsLineFeedIsAnEndOfFile) {
    EXPECT_EQ(Read(WithLine6("char VersionString[]=\"Ver 00.00.00.01 - Build 0001\";")).result,
              VersionEndOfFile);
    EXPECT_EQ(Read(WithLine6("char VersionString[]=\"Ver 00.00.00.01 - Build 0001\";\r")).result,
              VersionEndOfFile);
}

TEST(VersionReading, LineLengthLimits) {
    // 34 characters before the line feed: too short whatever it says.
    std::string line34 = "char VersionString[]=\"Ver 00.00.00";
    ASSERT_EQ(line34.size(), 34u);
    EXPECT_EQ(Read(WithLine6(line34 + "\n")).result, VersionBadFormat);
    EXPECT_EQ(Read(WithLine6(line34 + "\r\n")).result, VersionBadFormat);
    // 35 characters are long enough to be judged by their content, which
    // then lacks the last component.
    EXPECT_EQ(Read(WithLine6(line34 + ".\n")).result, VersionBadFormat);

    std::string good = "char VersionString[]=\"Ver 01.02.03.04 - Build 0005\";";
    std::string line2047 = good + std::string(2047 - good.size(), ' ');
    Numbers n = Read(WithLine6(line2047 + "\n"));
    EXPECT_EQ(n.result, VersionOk);
    EXPECT_EQ(n.build, 5);
    EXPECT_EQ(Read(WithLine6(line2047 + " \n")).result, VersionLineTooLong);
    EXPECT_EQ(Read(WithLine6(line2047 + std::string(5000, 'x') + "\n")).result, VersionLineTooLong);
    // Even without a line feed at all, 2048 characters are too long.
    EXPECT_EQ(Read(WithLine6(line2047 + " ")).result, VersionLineTooLong);
    // CR LF is one line feed: 2047 characters and CR LF fit.
    EXPECT_EQ(Read(WithLine6(line2047 + "\r\n")).result, VersionOk);
}

TEST(VersionReading, EveryComponentHasExactlyTwoDigits) {
    EXPECT_EQ(Read(WithLine6("char VersionString[]=\"Ver 1.02.03.04 - Build 0001\";\n")).result,
              VersionBadFormat);
    EXPECT_EQ(Read(WithLine6("char VersionString[]=\"Ver 01.02.03.4 - Build 0001\";\n")).result,
              VersionBadFormat);
    EXPECT_EQ(Read(WithLine6("char VersionString[]=\"Ver 01.0x.03.04 - Build 0001\";\n")).result,
              VersionBadFormat);
    EXPECT_EQ(Read(WithLine6("char VersionString[]=\"Ver 01:02.03.04 - Build 0001\";\n")).result,
              VersionBadFormat);
    EXPECT_EQ(Read(WithLine6("char VersionString[]=\"Ver 01.02.03.04 - build 0001\";\n")).result,
              VersionBadFormat);
    EXPECT_EQ(Read(WithLine6("char VersionString[] = \"Ver 01.02.03.04 - Build 0001\";\n")).result,
              VersionBadFormat);
    EXPECT_EQ(Read(WithLine6("char VersionString[]=\"Ver +1.02.03.04 - Build 0001\";\n")).result,
              VersionBadFormat);
}

TEST(VersionReading, BuildNumberTakesEveryDigit) {
    Numbers n = Read(WithLine6("char VersionString[]=\"Ver 00.00.00.01 - Build 12345\";\n"));
    ASSERT_EQ(n.result, VersionOk);
    EXPECT_EQ(n.build, 12345);
    // Fewer than four digits: the quote stands where a digit must.
    EXPECT_EQ(Read(WithLine6("char VersionString[]=\"Ver 00.00.00.01 - Build 123\";\n")).result,
              VersionBadFormat);
}

TEST(VersionReading, BuildNumberTooLargeFor32BitsReadsAsTheLargest) {
    Numbers n = Read(WithLine6("char VersionString[]=\"Ver 00.00.00.01 - Build 2147483648\";\n"));
    ASSERT_EQ(n.result, VersionOk);
    EXPECT_EQ(n.build, 2147483647);
    n = Read(WithLine6("char VersionString[]=\"Ver 00.00.00.01 - Build " + std::string(600, '9') +
                       "\";\n"));
    ASSERT_EQ(n.result, VersionOk);
    EXPECT_EQ(n.build, 2147483647);
    n = Read(WithLine6("char VersionString[]=\"Ver 00.00.00.01 - Build 2147483647\";\n"));
    EXPECT_EQ(n.build, 2147483647);
}

TEST(VersionReading, NothingAfterTheBuildDigitsMatters) {
    Numbers n = Read(WithLine6("char VersionString[]=\"Ver 00.00.00.01 - Build 0007 garbage\n"));
    ASSERT_EQ(n.result, VersionOk);
    EXPECT_EQ(n.build, 7);
    EXPECT_EQ(Read(WithLine6("char VersionString[]=\"Ver 00.00.00.01 - Build 0007\n")).result,
              VersionOk);
}

TEST(VersionReading, OnlyLine6CarriesTheNumbers) {
    std::string text = SourceText("v", 1, 2, 3, 4, 5);
    std::size_t at = text.find("VersionBuild   = 5;");
    text.replace(at, 19, "VersionBuild   = 77;");
    at = text.find("VersionMSC     = 1;");
    text.replace(at, 19, "VersionMSC     = 42;");
    Numbers n = Read(text);
    ASSERT_EQ(n.result, VersionOk);
    EXPECT_THAT(n.components, ::testing::ElementsAre(1, 2, 3, 4));
    EXPECT_EQ(n.build, 5);
    // Lines 7 onward need not even exist.
    EXPECT_EQ(Read(WithLine6("char VersionString[]=\"Ver 01.02.03.04 - Build 0005\";\n")).result,
              VersionOk);
}

TEST(VersionReading, NumbersChangeOnlyWhenLine6ReadsWhole) {
    VersionNumbers kept{{7, 7, 7, 7}, 7};
    // The components are good, the build label is not.
    EXPECT_EQ(ReadVersionNumbers(
                  WithLine6("char VersionString[]=\"Ver 01.02.03.04 - Bild 0005\";\n"), &kept),
              VersionBadFormat);
    EXPECT_THAT(kept.components, ::testing::ElementsAre(7, 7, 7, 7));
    EXPECT_EQ(kept.build, 7);
}

TEST(VersionReading, Line6Of40CharactersAfterShortLines) {
    // Lines before line 6 may be empty or hold anything, CR LF or LF.
    EXPECT_EQ(
        Read("\r\n\n\r\nx\n\r\nchar VersionString[]=\"Ver 01.02.03.04 - Build 0005\";\n").build, 5);
    EXPECT_EQ(Read("ab\r\ncd").result, VersionBadFormat);
}

// ---- The files on disk ---------------------------------------------------------

using VersionFiles = VersionTest;

TEST_F(VersionFiles, TheThreeTextsByteForByte) {
    ASSERT_TRUE(WriteVersionFile("version", VersionFile::Source, PlaceholderSourceText("version")));
    EXPECT_EQ(ReadFile("version.c"), PlaceholderText("version"));
    EXPECT_EQ(CountLines(ReadFile("version.c")), 7);
    EXPECT_FALSE(Exists("version.h"));

    ASSERT_TRUE(WriteVersionFile("version", VersionFile::Source,
                                 VersionSourceText("version", {{0, 0, 0, 1}, 1})));
    std::string text = ReadFile("version.c");
    EXPECT_EQ(text, SourceText("version", 0, 0, 0, 1, 1));
    EXPECT_THAT(text, ::testing::HasSubstr("\"Ver 00.00.00.01 - Build 0001\";\r\n"
                                           "int  VersionBuild   = 1;\r\n"));
    EXPECT_EQ(CountLines(text), 13);

    ASSERT_TRUE(WriteVersionFile("version", VersionFile::Header, VersionHeaderText("version")));
    EXPECT_EQ(ReadFile("version.h"), HeaderText("version"));
    EXPECT_EQ(CountLines(ReadFile("version.h")), 16);
}

TEST_F(VersionFiles, NameIsUsedUnchangedInCaseAndWithItsDirectory) {
    ASSERT_EQ(::mkdir("Sub", 0755), 0);
    ASSERT_TRUE(
        WriteVersionFile("Sub/My-Ver", VersionFile::Header, VersionHeaderText("Sub/My-Ver")));
    std::string header = ReadFile("Sub/My-Ver.h");
    EXPECT_THAT(header, ::testing::HasSubstr("#ifndef __Sub/My-Ver_h__\r\n"));
    EXPECT_THAT(header, ::testing::EndsWith("#endif\t// __Sub/My-Ver_h__\r\n"));
    ASSERT_TRUE(
        WriteVersionFile("Sub/My-Ver", VersionFile::Source, PlaceholderSourceText("Sub/My-Ver")));
    EXPECT_THAT(ReadFile("Sub/My-Ver.c"), ::testing::HasSubstr("#include \"Sub/My-Ver.h\"\r\n"));
}

TEST_F(VersionFiles, NameOf1021CharactersIsTheLongest) {
    // Relative names of this length need a short directory; the file names
    // stay within the file system's 255-byte limit by using a directory chain.
    std::string name;
    while (name.size() + 100 <= VersionModuleNameMax) {
        name += std::string(99, 'd');
        ASSERT_EQ(::mkdir(name.c_str(), 0755), 0);
        name += '/';
    }
    name += std::string(VersionModuleNameMax - name.size(), 'n');
    ASSERT_EQ(name.size(), 1021u);
    EXPECT_TRUE(WriteVersionFile(name.c_str(), VersionFile::Source, PlaceholderSourceText(name)));
    std::string text;
    EXPECT_TRUE(ReadVersionFile(name.c_str(), VersionFile::Source, &text));

    std::string longer = name + "x";
    WriteFile(longer + ".c", PlaceholderText(longer));
    EXPECT_FALSE(CanWriteVersionFile(longer.c_str(), VersionFile::Source));
    EXPECT_FALSE(ReadVersionFile(longer.c_str(), VersionFile::Source, &text));
    EXPECT_FALSE(WriteVersionFile(longer.c_str(), VersionFile::Source, "x"));
    EXPECT_EQ(ReadFile(longer + ".c"), PlaceholderText(longer));
}

TEST_F(VersionFiles, ReadingFindsTheFileWholeAndAMissingOneMissing) {
    WriteFile("version.c", SourceText("version", 3, 2, 1, 0, 42));
    std::string text;
    ASSERT_TRUE(ReadVersionFile("version", VersionFile::Source, &text));
    EXPECT_EQ(text, SourceText("version", 3, 2, 1, 0, 42));
    EXPECT_FALSE(ReadVersionFile("version", VersionFile::Header, &text));
    EXPECT_FALSE(Exists("version.h"));
}

TEST_F(VersionFiles, ReadOnlyFileCountsAsMissingAndIsNeverReplaced) {
    WriteFile("version.c", SourceText("version", 0, 0, 0, 3, 7));
    ASSERT_EQ(::chmod("version.c", 0444), 0);
    std::string text;
    EXPECT_FALSE(ReadVersionFile("version", VersionFile::Source, &text));
    EXPECT_FALSE(CanWriteVersionFile("version", VersionFile::Source));
    EXPECT_FALSE(
        WriteVersionFile("version", VersionFile::Source, PlaceholderSourceText("version")));
    EXPECT_EQ(ReadFile("version.c"), SourceText("version", 0, 0, 0, 3, 7));
}

TEST_F(VersionFiles, FailedWriteKeepsTheOldFileAndIsReported) {
    WriteFile("version.c", SourceText("version", 0, 0, 0, 3, 7));
    headless::FailFileWrites(1);
    EXPECT_FALSE(WriteVersionFile("version", VersionFile::Source,
                                  VersionSourceText("version", {{0, 0, 0, 3}, 8})));
    EXPECT_EQ(ReadFile("version.c"), SourceText("version", 0, 0, 0, 3, 7));

    headless::FailFileWrites(1);
    EXPECT_FALSE(WriteVersionFile("version", VersionFile::Header, VersionHeaderText("version")));
    EXPECT_FALSE(Exists("version.h"));
}

TEST_F(VersionFiles, ReadOnlyDirectoryCreatesNothing) {
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    EXPECT_FALSE(CanWriteVersionFile("version", VersionFile::Source));
    EXPECT_FALSE(
        WriteVersionFile("version", VersionFile::Source, PlaceholderSourceText("version")));
    EXPECT_FALSE(Exists("version.c"));
}

} // namespace
} // namespace kelpin::testing
