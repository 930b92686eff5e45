// kelpin comment, run as a user would: the binary on files in a scratch
// directory, and its editor form.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "comment_form.h"

namespace kelpin::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// Wed Sep  7 16:54:26 2005 and Tue Feb 14 09:01:02 2006 in UTC.
const std::string Epoch1 = "SOURCE_DATE_EPOCH=1126112066";
const std::string Epoch2 = "SOURCE_DATE_EPOCH=1139907662";
const std::string Utc = "TZ=UTC";

const std::string Source = "#include <stdio.h>\n"
                           "\n"
                           "int alpha(int a) {\n"
                           "    return a;\n"
                           "}\n";

std::size_t Count(const std::string& text, const std::string& piece) {
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

class CommentCli : public ::testing::Test {
  protected:
    void SetUp() override { WriteFile(file, Source); }
    CliResult Run(std::vector<std::string> args, const std::string& epoch = Epoch1) {
        args.insert(args.begin(), "comment");
        return RunCli(args, {.env = {epoch, Utc}});
    }
    TempDir dir;
    std::string file = dir / "ex.c";
};

TEST_F(CommentCli, FunctionBlockIsInsertedAboveTheHeader) {
    CliResult r = Run({"function", file, "--line", "4", "--synopsis", "Gives a back.\nThat is all.",
                       "--input", "a"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadFile(file),
              "#include <stdio.h>\n"
              "\n"
              "/*-@@+@@--------------------------------[Do not edit manually]------------\n"
              " Procedure: alpha\n"
              " Created  : Wed Sep  7 16:54:26 2005\n"
              " Modified : Wed Sep  7 16:54:26 2005\n"
              "\n"
              " Synopsys : Gives a back.\n"
              "            That is all.\n"
              " Input    : a\n"
              " Output   : \n"
              " Errors   : \n"
              " ------------------------------------------------------------------@@-@@-*/\n"
              "int alpha(int a) {\n"
              "    return a;\n"
              "}\n");
}

TEST_F(CommentCli, EditingTheSameBlockSeveralTimes) {
    ASSERT_EQ(Run({"function", file, "--line", "4", "--synopsis", "first"}).status, 0);
    // The body moves down by the block's lines: 10, then 12.
    ASSERT_EQ(Run({"function", file, "--line", "14", "--input", "x\n\ny"}, Epoch2).status, 0);
    ASSERT_EQ(Run({"function", file, "--line", "16", "--errors", "none"}, Epoch2).status, 0);
    std::string text = ReadFile(file);
    EXPECT_EQ(Count(text, "/*-@@+@@"), 1u);
    EXPECT_THAT(text, HasSubstr(" Created  : Wed Sep  7 16:54:26 2005\n"
                                " Modified : Tue Feb 14 09:01:02 2006\n\n"
                                " Synopsys : first\n"
                                " Input    : x\n"
                                "            \n"
                                "            y\n"
                                " Output   : \n"
                                " Errors   : none\n"));
    EXPECT_TRUE(text.ends_with("@@-@@-*/\nint alpha(int a) {\n    return a;\n}\n"));

    CliResult shown = Run({"function", file, "--line", "16", "--show", "--json"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out, "{\n"
                         "  \"found\": true,\n"
                         "  \"created\": \"Wed Sep  7 16:54:26 2005\",\n"
                         "  \"modified\": \"Tue Feb 14 09:01:02 2006\",\n"
                         "  \"synopsis\": \"first\",\n"
                         "  \"input\": \"x\\r\\n\\r\\ny\",\n"
                         "  \"output\": \"\",\n"
                         "  \"errors\": \"none\"\n"
                         "}\n");
    EXPECT_EQ(ReadFile(file), text); // --show writes nothing
}

// What --show --json prints for a field, turned back into bytes: each
// character is one byte of the same value.
std::string JsonFieldBytes(const std::string& json, const char* field) {
    std::string utf8 = nlohmann::json::parse(json).at(field).get<std::string>();
    std::string bytes;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            bytes += utf8[i];
        } else if ((b == 0xC2 || b == 0xC3) && i + 1 < utf8.size()) {
            bytes += static_cast<char>(((b & 0x03) << 6) | (utf8[++i] & 0x3F));
        } else {
            return "(not a Latin-1 character at " + std::to_string(bytes.size()) + ")";
        }
    }
    return bytes;
}

// A field holding every byte value but NUL (which ends the text, and which
// no command line can carry) comes back from --show --json byte for byte, and
// written back from there it gives the same block.
TEST_F(CommentCli, ShowJsonKeepsEveryByteOfAFieldThereAndBack) {
    std::string field;
    for (int b = 1; b < 256; ++b)
        field += static_cast<char>(b);
    ASSERT_EQ(
        Run({"function", file, "--line", "4", "--synopsis", field, "--errors", "caf\xE9"}).status,
        0);
    std::string written = ReadFile(file);
    std::string body =
        std::to_string(Count(written.substr(0, written.find("    return a;")), "\n") + 1);
    CliResult shown = Run({"function", file, "--line", body, "--show", "--json"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    // The line feed reads back as the edit control's "\r\n".
    std::string expected = field;
    expected.replace(expected.find('\n'), 1, "\r\n");
    EXPECT_EQ(JsonFieldBytes(shown.out, "synopsis"), expected);
    EXPECT_EQ(JsonFieldBytes(shown.out, "errors"), "caf\xE9");
    EXPECT_THAT(shown.out, HasSubstr("\"errors\": \"caf\xC3\xA9\""));

    ASSERT_EQ(
        Run({"function", file, "--line", body, "--synopsis", JsonFieldBytes(shown.out, "synopsis"),
             "--errors", JsonFieldBytes(shown.out, "errors")})
            .status,
        0);
    EXPECT_EQ(ReadFile(file), written);
}

TEST_F(CommentCli, ShowWithoutABlock) {
    CliResult r = Run({"function", file, "--line", "4", "--show"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "found: no\ncreated: \nmodified: \n[synopsis]\n[input]\n[output]\n[errors]\n");
    r = Run({"module", file, "--show", "--json"});
    EXPECT_THAT(r.out, HasSubstr("\"found\": false"));
    EXPECT_THAT(r.out, HasSubstr("\"abstract\": \"\""));
    EXPECT_EQ(ReadFile(file), Source);
}

TEST_F(CommentCli, ModuleBlockGoesOnTopWithTheFileName) {
    CliResult r = Run({"module", file, "--author", "Ann", "--abstract", "One.\nTwo."});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string text = ReadFile(file);
    EXPECT_THAT(text, StartsWith("/*-@@+@@--------------------------------[Do not edit "
                                 "manually]------------\n Module   : ex.c\n"));
    EXPECT_THAT(text, HasSubstr(" Author   : Ann\n"));
    EXPECT_THAT(text, HasSubstr(" Abstract : One.\n            Two.\n"));
    EXPECT_TRUE(text.ends_with("-*/\n" + Source));

    // Edited again: the same block, Created kept.
    ASSERT_EQ(Run({"module", file, "--status", "ok"}, Epoch2).status, 0);
    text = ReadFile(file);
    EXPECT_EQ(Count(text, "/*-@@+@@"), 1u);
    EXPECT_THAT(text, HasSubstr(" Created  : Wed Sep  7 16:54:26 2005\n"));
    EXPECT_THAT(text, HasSubstr(" Author   : Ann\n Project  : \n Status   : ok\n"));
}

TEST_F(CommentCli, ModuleNameCanBeGiven) {
    for (int edit = 0; edit < 2; ++edit)
        ASSERT_EQ(Run({"module", file, "--name", "my module.c", "--status", "ok"}).status, 0);
    std::string text = ReadFile(file);
    EXPECT_EQ(Count(text, " Module   : my module.c\n"), 1u);
    EXPECT_EQ(Count(text, "/*-@@+@@"), 1u);
    for (const char* bad : {"dir\\x.c", "x*/y.c", "two\nlines.c"}) {
        CliResult r = Run({"module", file, "--name", bad});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(ReadFile(file), text) << bad;
    }
}

TEST_F(CommentCli, StdoutLeavesTheFileAlone) {
    CliResult r = Run({"function", file, "--line", "4", "--stdout", "--input", "a"});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, StartsWith("#include <stdio.h>\n\n/*-@@+@@"));
    EXPECT_TRUE(r.out.ends_with("@@-@@-*/\n" + Source.substr(20)));
    EXPECT_EQ(ReadFile(file), Source);
}

TEST_F(CommentCli, CrLfFileStaysCrLfAndLfFileStaysLf) {
    std::string crlf;
    for (char c : Source)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    WriteFile(file, crlf);
    ASSERT_EQ(Run({"function", file, "--line", "4", "--synopsis", "a\nb"}).status, 0);
    ASSERT_EQ(Run({"function", file, "--line", "15", "--input", "c"}, Epoch2).status, 0);
    std::string text = ReadFile(file);
    EXPECT_EQ(Count(text, "\n"), Count(text, "\r\n"));
    EXPECT_EQ(Count(text, "/*-@@+@@"), 1u);
    EXPECT_THAT(text, HasSubstr(" Synopsys : a\r\n            b\r\n Input    : c\r\n"));
    EXPECT_TRUE(text.ends_with("-*/\r\nint alpha(int a) {\r\n    return a;\r\n}\r\n"));

    WriteFile(file, Source);
    ASSERT_EQ(Run({"function", file, "--line", "4", "--synopsis", "a\r\nb"}).status, 0);
    EXPECT_EQ(ReadFile(file).find('\r'), std::string::npos);
}

TEST_F(CommentCli, NoFunctionAtTheLine) {
    CliResult r = Run({"function", file, "--line", "1", "--synopsis", "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kelpin: " + file + ":1: You're not in a function body.\n");
    EXPECT_EQ(ReadFile(file), Source);
    r = Run({"function", file, "--line", "99", "--input", "x"});
    EXPECT_EQ(r.status, 1);
}

TEST_F(CommentCli, ErrorsLeaveTheFileAsItWas) {
    CliResult r = Run({"function", dir / "missing.c", "--line", "1"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);

    ::chmod(file.c_str(), 0444);
    r = Run({"function", file, "--line", "4", "--synopsis", "x"});
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.err, HasSubstr("left as it was"));
    EXPECT_EQ(ReadFile(file), Source);
    ::chmod(file.c_str(), 0644);

    WriteFile(file, "");
    EXPECT_EQ(Run({"module", file}).status, 1);
    EXPECT_EQ(ReadFile(file), "");
}

TEST_F(CommentCli, UsageErrors) {
    WriteFile(file, Source);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"function", file},                          // no --line
             {"function", file, "--line", "0"},           // not a line
             {"function", file, "--line", "4", "--json"}, // --json needs --show
             {"function", file, "--line", "4", "--show", "--input", "x"},
             {"function", file, "--line", "4", "--show", "--stdout"},
             {"module", file, "--synopsis", "x"}}) {
        EXPECT_EQ(Run(args).status, 2) << ::testing::PrintToString(args);
    }
    EXPECT_EQ(ReadFile(file), Source);
}

// With no field to write and nobody at a terminal to fill the form in,
// nothing is written into the file.
TEST_F(CommentCli, WithoutFieldsOrTerminalNothingIsWritten) {
    ASSERT_EQ(Run({"function", file, "--line", "4", "--output", "kept"}).status, 0);
    std::string text = ReadFile(file);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"function", file, "--line", "14"}, {"module", file}}) {
        CliResult r = Run(args, Epoch2);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err, HasSubstr("no terminal to edit the form in: nothing written"));
    }
    EXPECT_EQ(ReadFile(file), text);
    // To standard output: the block refreshed, its fields kept.
    CliResult r = Run({"function", file, "--name", "alpha", "--stdout"}, Epoch2);
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, HasSubstr(" Modified : Tue Feb 14 09:01:02 2006\n"));
    EXPECT_THAT(r.out, HasSubstr(" Output   : kept\n"));
    EXPECT_EQ(ReadFile(file), text);
}

// ---- The editor form ----------------------------------------------------------

// Runs kelpin comment ARGS in dir with a terminal on standard input and
// VISUAL set to a shell script of ours.
int RunWithTerminal(const TempDir& dir, const std::string& editorScript,
                    const std::vector<std::string>& args) {
    std::string editor = dir / "editor.sh";
    WriteFile(editor, "#!/bin/sh\n" + editorScript);
    ::chmod(editor.c_str(), 0755);
    std::vector<std::string> command = {"comment"};
    command.insert(command.end(), args.begin(), args.end());
    CliResult r = RunCli(
        command, {.env = {"VISUAL=" + editor, Epoch1, Utc}, .cwd = dir.path(), .terminal = true});
    return r.status;
}

TEST_F(CommentCli, EditorFormFillsTheFields) {
    ASSERT_EQ(Run({"function", file, "--line", "4", "--errors", "old errors"}).status, 0);
    // The editor sees the fields as the block holds them, and writes new ones.
    int status = RunWithTerminal(dir,
                                 "cp \"$1\" seen.txt\n"
                                 "printf '# note\\n[synopsis]\\nfrom the form\\n#define X 1\\n"
                                 "[input]\\n\\n' > \"$1\"\n",
                                 {"function", "ex.c", "--line", "14"});
    EXPECT_EQ(status, 0);
    std::string seen = ReadFile(dir / "seen.txt");
    EXPECT_THAT(seen, HasSubstr("[synopsis]\n[input]\n[output]\n[errors]\nold errors\n"));
    std::string text = ReadFile(file);
    EXPECT_THAT(text, HasSubstr(" Synopsys : from the form\n            #define X 1\n"
                                " Input    : \n Output   : \n Errors   : old errors\n"));

    // An empty form writes nothing.
    status = RunWithTerminal(dir, ": > \"$1\"\n", {"function", "ex.c", "--line", "14"});
    EXPECT_EQ(status, 1);
    EXPECT_EQ(ReadFile(file), text);
}

TEST(CommentForm, ReadsFieldsBackAndKeepsHashLinesInsideThem) {
    std::vector<std::string> names = {"author", "project", "status", "abstract"};
    std::string form = cli::FormatCommentForm(
        {"edit me", ""},
        {{"author", "Ann"}, {"project", ""}, {"status", "a\r\n\r\nb"}, {"abstract", "#x"}});
    EXPECT_EQ(form, "# edit me\n#\n[author]\nAnn\n[project]\n[status]\na\n\nb\n[abstract]\n#x\n");
    cli::ParsedForm parsed = cli::ParseCommentForm(form, names);
    ASSERT_EQ(parsed.outcome, cli::FormOutcome::Fields);
    ASSERT_EQ(parsed.fields.size(), 4u);
    EXPECT_EQ(parsed.fields[2].text, "a\r\n\r\nb");
    EXPECT_EQ(parsed.fields[3].text, "#x");

    EXPECT_EQ(cli::ParseCommentForm("# only\n\n  \n", names).outcome, cli::FormOutcome::Empty);
    EXPECT_EQ(cli::ParseCommentForm("stray\n[author]\nx\n", names).outcome,
              cli::FormOutcome::Broken);
    EXPECT_EQ(cli::ParseCommentForm("[author]\nx\n[author]\ny\n", names).outcome,
              cli::FormOutcome::Broken);
    // A field whose line was taken out keeps its text: it is not in the list.
    parsed = cli::ParseCommentForm("[status]\r\ndone\r\n\r\n\r\n[unknown]\r\n", names);
    ASSERT_EQ(parsed.fields.size(), 1u);
    EXPECT_EQ(parsed.fields[0].text, "done\r\n\r\n\r\n[unknown]");
}

TEST(CommentForm, LineFeedsBecomeCrLfOnce) {
    EXPECT_EQ(cli::ToControlText("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(cli::FromControlText("a\r\nb\rc"), "a\nb\rc");
}

} // namespace
} // namespace kelpin::testing
