// Writing comment blocks: the date text, the wrapping of free text and the
// two builders, byte for byte.
#include <gmock/gmock.h>

#include <clocale>
#include <string>

#include "comments/comments.h"
#include "fixture.h"

namespace kelpin::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// What WrapFieldText appends for one field.
std::string Wrapped(std::string_view text) {
    std::string block;
    WrapFieldText(block, text);
    return block;
}

const std::string Indent(12, ' ');

class BlockFormat : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        headless::SetClock(At(2005, 9, 7, 16, 54, 26, 3));
    }
};

TEST_F(BlockFormat, DateTextHasEnglishNamesAndABlankBeforeASingleDigitDay) {
    EXPECT_EQ(FormatBlockDate(At(2005, 9, 7, 16, 54, 26, 3)), "Wed Sep  7 16:54:26 2005");
    EXPECT_EQ(FormatBlockDate(At(2000, 1, 1, 0, 0, 0, 6)), "Sat Jan  1 00:00:00 2000");
    EXPECT_EQ(FormatBlockDate(At(2029, 12, 31, 23, 59, 59, 1)), "Mon Dec 31 23:59:59 2029");
    EXPECT_EQ(FormatBlockDate(), "Wed Sep  7 16:54:26 2005"); // the seam's clock
}

TEST_F(BlockFormat, DateTextIgnoresTheCLocale) {
    // Whatever locale the process runs in (the host's may be German or
    // French), the names stay English.
    const char* old = std::setlocale(LC_TIME, nullptr);
    std::string saved = old ? old : "C";
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "C.UTF-8"}) {
        std::setlocale(LC_TIME, name);
        EXPECT_EQ(FormatBlockDate(At(2024, 5, 2, 8, 5, 9, 4)), "Thu May  2 08:05:09 2024") << name;
    }
    std::setlocale(LC_TIME, saved.c_str());
}

TEST_F(BlockFormat, DateTextIsAlways24Characters) {
    std::tm odd = At(12345, 13, 40, 25, 61, 70, 9);
    odd.tm_mon = -3;
    EXPECT_EQ(FormatBlockDate(odd).size(), BlockDateLength);
}

TEST_F(BlockFormat, FunctionBlockOfTheReadConfigExample) {
    std::string block = BuildFunctionBlock(
        "ReadConfig", "",
        "Reads the configuration file named by the caller and fills the settings record.",
        "path of the file", "0 on success", "");
    EXPECT_EQ(block,
              "/*-@@+@@--------------------------------[Do not edit manually]------------\n"
              " Procedure: ReadConfig\n"
              " Created  : Wed Sep  7 16:54:26 2005\n"
              " Modified : Wed Sep  7 16:54:26 2005\n"
              "\n"
              " Synopsys : Reads the configuration file named by the caller and fills the \n"
              "            settings record.\n"
              " Input    : path of the file\n"
              " Output   : 0 on success\n"
              " Errors   : \n"
              " ------------------------------------------------------------------@@-@@-*/\n");
    std::size_t synopsys = block.find(" Synopsys");
    EXPECT_EQ(block.find('\n', synopsys) - synopsys, 75u);
}

TEST_F(BlockFormat, ModuleBlockPiecesInOrder) {
    std::string block = BuildModuleBlock("main.c", "Mon Jan  3 10:00:00 2005", "Ann", "Tools",
                                         "draft", "Line one\r\nLine two");
    EXPECT_EQ(block,
              "/*-@@+@@--------------------------------[Do not edit manually]------------\n"
              " Module   : main.c\n"
              " Created  : Mon Jan  3 10:00:00 2005\n"
              " Modified : Wed Sep  7 16:54:26 2005\n"
              "\n"
              " Author   : Ann\n"
              " Project  : Tools\n"
              " Status   : draft\n"
              " Abstract : Line one\n"
              "            Line two\n"
              " ------------------------------------------------------------------@@-@@-*/\n");
}

TEST_F(BlockFormat, MarkersAndFixedLinesHaveTheirLengths) {
    EXPECT_EQ(std::string(BlockHeaderLine).size(), 74u);
    EXPECT_EQ(std::string(BlockClosingLine).size(), 75u);
    EXPECT_TRUE(std::string(BlockHeaderLine).starts_with(BlockStartMarker));
    EXPECT_TRUE(std::string(BlockClosingLine).ends_with(BlockEndMarker));
}

TEST_F(BlockFormat, SixtyThreeCharactersStayOnTheLabelLine) {
    std::string text = std::string(30, 'a') + " " + std::string(32, 'b');
    ASSERT_EQ(text.size(), 63u);
    EXPECT_EQ(Wrapped(text), text);
}

TEST_F(BlockFormat, SixtyFourCharactersBreakAtTheLastBlank) {
    std::string text = std::string(30, 'a') + " " + std::string(33, 'b');
    ASSERT_EQ(text.size(), 64u);
    EXPECT_EQ(Wrapped(text), std::string(30, 'a') + " \n" + Indent + std::string(33, 'b'));
}

TEST_F(BlockFormat, UserLineBreaksBecomeIndentedLines) {
    EXPECT_EQ(Wrapped("first\r\nsecond"), "first\n" + Indent + "second");
    EXPECT_EQ(Wrapped("first\r\n\r\nlast"), "first\n" + Indent + "\n" + Indent + "last");
}

TEST_F(BlockFormat, TrailingBlanksAndBreaksVanish) {
    EXPECT_EQ(Wrapped("text  \r\n\r\n  "), "text");
    EXPECT_EQ(Wrapped("  \r\n \r\n"), "");
    EXPECT_EQ(Wrapped(""), "");
    // A tab is not trailing whitespace: it stays.
    EXPECT_EQ(Wrapped("text\t"), "text\t");
    // When the break falls on it, the line ends there like any broken line,
    // with its line feed and no indent after it.
    std::string tabbed = std::string(63, 'a') + "\t";
    EXPECT_EQ(Wrapped(tabbed), tabbed + "\n");
    EXPECT_EQ(Wrapped(std::string(80, 'b') + "\v"), std::string(80, 'b') + "\v\n");
    std::string block = BuildFunctionBlock("f", "", tabbed, "in", "", tabbed);
    EXPECT_THAT(block, HasSubstr(" Synopsys : " + tabbed + "\n\n Input    : in\n"));
    EXPECT_TRUE(block.ends_with(" Errors   : " + tabbed + "\n\n" + BlockClosingLine + "\n"));
}

TEST_F(BlockFormat, EmptyFieldLeavesTheLabelAlone) {
    std::string block = BuildFunctionBlock("f", "", "", "", "", "");
    EXPECT_THAT(block, HasSubstr("\n\n Synopsys : \n Input    : \n Output   : \n Errors   : \n -"));
}

TEST_F(BlockFormat, LongWordIsNeverSplit) {
    std::string word(70, 'w');
    // Runs on to the first blank after it, broken there as usual.
    EXPECT_EQ(Wrapped(word + " tail"), word + " \n" + Indent + "tail");
    // With no whitespace at all, the rest is appended.
    EXPECT_EQ(Wrapped(word + "/path"), word + "/path");
    // Up to the user's line break: nothing is dropped and no carriage return
    // reaches the block.
    EXPECT_EQ(Wrapped(word + "\r\nnext"), word + "\n" + Indent + "next");
    EXPECT_EQ(Wrapped(word + "\nnext"), word + "\n" + Indent + "next");
    // After a short first line the long word goes on a line of its own.
    EXPECT_EQ(Wrapped("see " + word + " x"), "see \n" + Indent + word + " \n" + Indent + "x");
}

TEST_F(BlockFormat, BreakPointOnTheUsersCarriageReturnTakesTheWholeLineBreak) {
    std::string line = std::string(40, 'a') + " " + std::string(22, 'b');
    ASSERT_EQ(line.size(), 63u);
    EXPECT_EQ(Wrapped(line + "\r\nmore"), line + "\n" + Indent + "more");
}

TEST_F(BlockFormat, BareLineFeedDropsNothing) {
    EXPECT_EQ(Wrapped("ab\ncd"), "ab\n" + Indent + "cd");
    EXPECT_EQ(Wrapped("\nx"), "\n" + Indent + "x");
}

TEST_F(BlockFormat, TabRightBeforeALineBreakTakesThePair) {
    for (char tab : {'\t', '\v', '\f'}) {
        std::string line = std::string(10, 'a') + " " + std::string(52, 'b') + tab;
        ASSERT_EQ(line.size(), 64u);
        EXPECT_EQ(Wrapped(line + "\r\nnext"), line + "\n" + Indent + "next") << int(tab);
    }
    // A blank before the pair keeps the pair: it reads back as the user's
    // break once the joined lines are taken apart.
    std::string line = std::string(63, 'a') + " ";
    EXPECT_EQ(Wrapped(line + "\r\nnext"), line + "\n" + Indent + "\n" + Indent + "next");
}

TEST_F(BlockFormat, CommentEndInsideAFieldIsDefused) {
    EXPECT_EQ(Wrapped("a */ b */"), "a * / b * /");
    EXPECT_EQ(Wrapped("**/*/"), "** /* /");
    std::string block = BuildFunctionBlock("f", "", "x */ y", "*/", "@@-@@-*/", "*/*/");
    // One comment end only: the closing line's.
    EXPECT_EQ(block.find("*/"), block.size() - 3);
    // The blank it adds counts toward the 64 columns and may be the break.
    std::string text = std::string(62, 'a') + "*/b";
    EXPECT_EQ(Wrapped(text), std::string(62, 'a') + "* \n" + Indent + "/b");
}

TEST_F(BlockFormat, NoLineIsLongerThan64AfterItsLabelExceptALongWord) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += (i % 7 == 0 ? "lengthy-words " : "w ");
    std::string wrapped = Wrapped(text);
    std::size_t start = 0;
    while (start < wrapped.size()) {
        std::size_t end = std::min(wrapped.find('\n', start), wrapped.size());
        std::size_t content = end - start - (start == 0 ? 0 : 12);
        EXPECT_LE(content, 64u);
        start = end + 1;
    }
}

TEST_F(BlockFormat, BlockHasNoFixedSize) {
    std::string many;
    for (int i = 0; i < 1300; ++i)
        many += "a\r\n";
    many += "z";
    ASSERT_LE(many.size(), 4094u);
    std::string block = BuildFunctionBlock("f", "", many, many, many, many);
    EXPECT_GT(block.size(), 20480u);
    EXPECT_TRUE(block.ends_with(std::string(BlockClosingLine) + "\n"));
    // Every line break of the user's became a line of its own.
    EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), 4 * 1300 + 10);
}

TEST_F(BlockFormat, NewBlockHasEqualDatesAndARebuildKeepsCreated) {
    std::string first = BuildFunctionBlock("f", "", "", "", "", "");
    EXPECT_THAT(first, HasSubstr(" Created  : Wed Sep  7 16:54:26 2005\n"
                                 " Modified : Wed Sep  7 16:54:26 2005\n"));
    headless::SetClock(At(2006, 2, 14, 9, 1, 2, 2));
    std::string again = BuildFunctionBlock("f", "Wed Sep  7 16:54:26 2005", "", "", "", "");
    EXPECT_THAT(again, HasSubstr(" Created  : Wed Sep  7 16:54:26 2005\n"
                                 " Modified : Tue Feb 14 09:01:02 2006\n"));
    EXPECT_THAT(again, Not(HasSubstr("\r")));
}

} // namespace
} // namespace kelpin::testing
