// Reading a block back: splitting it at its labels, turning stored values
// back into typed text, and the round trip from a dialog's text through the
// block and back.
#include <gmock/gmock.h>

#include <random>
#include <string>

#include "comments/comments.h"
#include "resources/resource.h"
#include "support/field_text_model.h"

namespace kelpin::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

std::string Wrapped(std::string_view text) {
    std::string block;
    WrapFieldText(block, text);
    return block;
}

// The text a field shows again after OK wrote it: the value starts right
// after the label, whose blank ends the label line.
std::string RoundTrip(std::string_view text) {
    return StoredToFieldText(Wrapped(text));
}

// The values a split found, by control id, converted as the dialog shows them.
std::vector<std::pair<int, std::string>> Shown(const std::vector<StoredField>& fields) {
    std::vector<std::pair<int, std::string>> out;
    for (const StoredField& f : fields)
        out.emplace_back(f.control, StoredToFieldText(f.value));
    return out;
}

const std::string Indent(12, ' ');

TEST(StoredText, WritersBreakAtABlankJoinsAndUsersBreakComesBack) {
    EXPECT_EQ(StoredToFieldText("fills the \n" + Indent + "settings record."),
              "fills the settings record.");
    EXPECT_EQ(StoredToFieldText("first\n" + Indent + "second"), "first\r\nsecond");
    // A writer's break at a tab shows as a line break.
    EXPECT_EQ(StoredToFieldText("a\t\n" + Indent + "b"), "a\t\r\nb");
}

TEST(StoredText, EmptyLinesSurvive) {
    EXPECT_EQ(StoredToFieldText("first\n" + Indent + "\n" + Indent + "last"), "first\r\n\r\nlast");
    // An empty first line: the value starts with the line feed.
    EXPECT_EQ(StoredToFieldText("\n" + Indent + "text"), "\r\ntext");
    EXPECT_EQ(StoredToFieldText("\n" + Indent + "\n" + Indent + "text"), "\r\n\r\ntext");
    // Hand-edited: an empty line without any indent.
    EXPECT_EQ(StoredToFieldText("a\n\nb"), "a\r\n\r\nb");
}

TEST(StoredText, IndentSkipIsAtMostTwelveBlanksAndNeverPastTheEnd) {
    EXPECT_EQ(StoredToFieldText("a\nb"), "a\r\nb");
    EXPECT_EQ(StoredToFieldText("a\n   b"), "a\r\nb");
    EXPECT_EQ(StoredToFieldText("a\n" + Indent + "  b"), "a\r\n  b");
    EXPECT_EQ(StoredToFieldText("a\n\tb"), "a\r\n\tb");
    EXPECT_EQ(StoredToFieldText("a\n    "), "a\r\n");
    EXPECT_EQ(StoredToFieldText("a\n"), "a\r\n");
}

TEST(StoredText, CarriageReturnsOfAnEditorWithCrLfBelongToTheLineBreak) {
    EXPECT_EQ(StoredToFieldText("fills the \r\n" + Indent + "settings"), "fills the settings");
    EXPECT_EQ(StoredToFieldText("first\r\n" + Indent + "second\r"), "first\r\nsecond");
    EXPECT_EQ(StoredToFieldText("a\r\n" + Indent + "\r\n" + Indent + "b"), "a\r\n\r\nb");
    EXPECT_EQ(StoredToFieldText("\r\n" + Indent + "b"), "\r\nb");
    EXPECT_EQ(StoredToFieldText("\r"), "");
    // A carriage return inside a line is text.
    EXPECT_EQ(StoredToFieldText("a\rb"), "a\rb");
}

TEST(BlockSplit, FunctionBlockFieldsInControlOrder) {
    std::string block = "/*-@@+@@---\n Procedure: f\n Created  : Mon Jan  3 10:00:00 2005\n"
                        " Modified : Tue Jan  4 11:00:00 2005\n\n Synopsys : does \n" +
                        Indent + "things\n Input    : x\n Output   : \n Errors   : none\n" +
                        BlockClosingLine + "\n";
    EXPECT_THAT(Shown(SplitFunctionBlock(block)),
                ElementsAre(Pair(IDC_CREATED, "Mon Jan  3 10:00:00 2005"),
                            Pair(IDC_MODIFIED, "Tue Jan  4 11:00:00 2005"),
                            Pair(IDC_SYNOPSIS, "does things"), Pair(IDC_INPUT, "x"),
                            Pair(IDC_OUTPUT, ""), Pair(IDC_ERRORS, "none")));
}

TEST(BlockSplit, ModuleBlockFieldsInControlOrder) {
    std::string block = "/*-@@+@@---\n Module   : m.c\n Created  : Mon Jan  3 10:00:00 2005\n"
                        " Modified : Tue Jan  4 11:00:00 2005\n\n Author   : Ann\n"
                        " Project  : P\n Status   : s\n Abstract : one\n" +
                        Indent + "two\n" + BlockClosingLine + "\n";
    EXPECT_THAT(Shown(SplitModuleBlock(block)),
                ElementsAre(Pair(IDC_CREATED, "Mon Jan  3 10:00:00 2005"),
                            Pair(IDC_MODIFIED, "Tue Jan  4 11:00:00 2005"), Pair(IDC_AUTHOR, "Ann"),
                            Pair(IDC_PROJECT, "P"), Pair(IDC_STATUS, "s"),
                            Pair(IDC_ABSTRACT, "one\r\ntwo")));
}

TEST(BlockSplit, DatesAreCutAtTwentyFourCharactersOrAtTheLineEnd) {
    std::string block = "/*-@@+@@\n Procedure: f\n Created  : yesterday\n"
                        " Modified : Tue Jan  4 11:00:00 2005 and more\n\n Synopsys : s\n" +
                        std::string(BlockClosingLine);
    EXPECT_THAT(Shown(SplitFunctionBlock(block)),
                ElementsAre(Pair(IDC_CREATED, "yesterday"),
                            Pair(IDC_MODIFIED, "Tue Jan  4 11:00:00 2005"),
                            Pair(IDC_SYNOPSIS, "s")));
    std::string crlf = "/*-@@+@@\r\n Module   : m\r\n Created  : today\r\n"
                       " Modified : now\r\n\r\n Author   : me\r\n" +
                       std::string(BlockClosingLine);
    EXPECT_THAT(
        Shown(SplitModuleBlock(crlf)),
        ElementsAre(Pair(IDC_CREATED, "today"), Pair(IDC_MODIFIED, "now"), Pair(IDC_AUTHOR, "me")));
}

TEST(BlockSplit, MissingLabelsLeaveTheirControlsAlone) {
    std::string block = "/*-@@+@@\n Procedure: f\n Input    : in\n Errors   : err\n" +
                        std::string(BlockClosingLine);
    EXPECT_THAT(Shown(SplitFunctionBlock(block)),
                ElementsAre(Pair(IDC_INPUT, "in"), Pair(IDC_ERRORS, "err")));
    // Without the closing line the last value runs to the end of the text.
    EXPECT_THAT(Shown(SplitFunctionBlock("/*-@@+@@\n Errors   : tail @@-@@-*/")),
                ElementsAre(Pair(IDC_ERRORS, "tail @@-@@-*/")));
    EXPECT_TRUE(SplitModuleBlock("nothing here").empty());
}

// ---- The round trip ---------------------------------------------------------

// Random field texts as a user types them: words, runs of blanks, line breaks
// as "\r\n", empty lines, long words and paths. `plain` leaves out what the
// block cannot carry exactly (a blank right before a line break, tabs, "*/").
std::string RandomText(std::mt19937& rng, bool plain) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::string text;
    int pieces = pick(10) == 0 ? 600 : pick(60);
    for (int i = 0; i < pieces && text.size() < 3900; ++i) {
        int kind = pick(plain ? 8 : 12);
        if (kind <= 2) {
            text += std::string(1 + pick(9), static_cast<char>('a' + pick(26)));
        } else if (kind == 3) {
            text += std::string(60 + pick(40), 'L'); // a long word
        } else if (kind == 4) {
            text += std::string(1 + pick(3), ' ');
        } else if (kind <= 6) {
            if (plain && !text.empty() && text.back() == ' ') text += 'w';
            text += "\r\n";
            if (pick(3) == 0) text += std::string(pick(14), ' ');
        } else if (kind == 7) {
            text += "*";
        } else if (kind == 8) {
            text += "*/";
        } else if (kind == 9) {
            text += " \r\n";
        } else {
            text += "\t\v\f"[pick(3)];
        }
        if (plain && !text.empty() && text.back() == ' ' && pick(4) == 0) text += "x";
    }
    return text;
}

TEST(FieldRoundTrip, PlainTextsComeBackExactly) {
    std::mt19937 rng(20051);
    for (int n = 0; n < 2000; ++n) {
        std::string text = RandomText(rng, true);
        ASSERT_EQ(RoundTrip(text), Trimmed(text)) << ::testing::PrintToString(text);
    }
}

TEST(FieldRoundTrip, AnyTextComesBackButForTheDocumentedCases) {
    std::mt19937 rng(7);
    for (int n = 0; n < 2000; ++n) {
        std::string text = RandomText(rng, false);
        std::string back = RoundTrip(text);
        ASSERT_EQ(WithoutSoftBreaks(back), WithoutSoftBreaks(Trimmed(Defused(text))))
            << ::testing::PrintToString(text);
        // A "*/" never survives into the block.
        ASSERT_EQ(Wrapped(text).find("*/"), std::string::npos);
    }
}

TEST(FieldRoundTrip, EditingAgainNeverGrowsTheText) {
    // Without tabs the only change an edit may make is a join; with them a
    // writer's break at a tab may turn into a line break, and nothing else.
    std::mt19937 rng(99);
    for (int n = 0; n < 800; ++n) {
        std::string typed = RandomText(rng, n % 2 == 0);
        bool tabs = typed.find_first_of("\t\v\f") != std::string::npos;
        std::string text = RoundTrip(typed);
        for (int edit = 0; edit < 4; ++edit) {
            std::string again = RoundTrip(text);
            if (!tabs) {
                ASSERT_LE(again.size(), text.size()) << ::testing::PrintToString(text);
            }
            ASSERT_EQ(WithoutSoftBreaks(again), WithoutSoftBreaks(text))
                << ::testing::PrintToString(text);
            text = again;
        }
    }
    // These settle at once: a tab before a break, a
    // 63-character line before the user's break, an empty line.
    for (std::string text : {std::string(10, 'a') + " " + std::string(52, 'b') + "\t\r\nnext",
                             std::string(63, 'c') + "\r\nnext", std::string("a\r\n\r\nb")}) {
        std::string once = RoundTrip(text);
        EXPECT_EQ(once, text);
        EXPECT_EQ(Wrapped(once), Wrapped(text));
    }
}

TEST(FieldRoundTrip, BreakOnTheLastCharacterShowsAsALineBreakAndTheBlockStays) {
    // 63 characters and a tab: the writer breaks on the tab, the text's last
    // character. The dialog shows that break as a line break, which the next
    // OK trims, so the block comes out the same every time.
    std::string tabbed = std::string(63, 'a') + "\t";
    std::string block = BuildFunctionBlock("f", "Mon Jan  3 10:00:00 2005", tabbed, "", "", tabbed);
    for (int edit = 0; edit < 2; ++edit) {
        std::vector<std::pair<int, std::string>> shown = Shown(SplitFunctionBlock(block));
        ASSERT_EQ(shown.size(), 6u);
        EXPECT_EQ(shown[2].second, tabbed + "\r\n");
        EXPECT_EQ(shown[5].second, tabbed + "\r\n");
        std::string again = BuildFunctionBlock("f", shown[0].second, shown[2].second,
                                               shown[3].second, shown[4].second, shown[5].second);
        EXPECT_EQ(again.substr(again.find(" Synopsys")), block.substr(block.find(" Synopsys")));
        block = again;
    }
}

TEST(FieldRoundTrip, WorksInAnEditorThatKeepsCrLf) {
    std::mt19937 rng(4242);
    for (int n = 0; n < 600; ++n) {
        std::string text = RandomText(rng, true);
        std::string stored = Wrapped(text), crlf;
        for (char c : stored)
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        ASSERT_EQ(StoredToFieldText(crlf), Trimmed(text)) << ::testing::PrintToString(text);
    }
}

} // namespace
} // namespace kelpin::testing
