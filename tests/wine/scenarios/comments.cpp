// The comment dialogs in the real DLL: command 5 writes a block above a
// function and shows it back the next time, command 9 writes the module
// block at the very top, and Cancel writes nothing.
#include <windows.h>

#include <string>

#include "tests/wine/harness.h"

using namespace kelpin;
using namespace kelpin::wine;

namespace {

const char Header[] =
    "/*-@@+@@--------------------------------[Do not edit manually]------------\n";
const char Closing[] =
    " ------------------------------------------------------------------@@-@@-*/\n";

std::size_t Count(const std::string& text, const std::string& piece) {
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

// The value of a date line (" Created  : ...") of the block in text.
std::string DateAfter(const std::string& text, const std::string& label) {
    std::size_t at = text.find(label);
    if (at == std::string::npos) return "(missing)";
    at += label.size();
    return text.substr(at, text.find('\n', at) - at);
}

// Puts the caret right after the first occurrence of piece.
void CaretAfter(HostWindow editor, const std::string& piece) {
    auto at = static_cast<std::int32_t>(EditorState(editor).text.find(piece) + piece.size());
    EditorState(editor).selection = {at, at};
}

const std::string Function = "int x;\n"
                             "\n"
                             "int alpha(int a)\n"
                             "{\n"
                             "    return a;\n"
                             "}\n";

} // namespace

// A function without a block: the block goes right above its header, with
// what the user typed, and the selection comes back where it was.
KELPIN_SCENARIO(function_comment_inserts_block) {
    StartAddIn();
    HostWindow editor = OpenEditor(Function, "C:\\src\\main.c");
    CaretAfter(editor, "return");
    HostSelection saved = EditorState(editor).selection;
    std::intptr_t result =
        WithUser([] { return AddIn().Command(5); },
                 [](User& user) {
                     Dialog d = user.ExpectDialog(IDD_FUNCTION_COMMENT);
                     CHECK_EQ(d.Caption(), std::string("alpha"));
                     CHECK_EQ(d.Text(IDC_DECLARATION), std::string("int alpha(int a)"));
                     CHECK_EQ(d.Text(IDC_SYNOPSIS), std::string(""));
                     CHECK_EQ(d.Text(IDC_CREATED), std::string(""));
                     d.Type(IDC_SYNOPSIS, "Gives a back.\r\nNothing more.");
                     d.Type(IDC_INPUT, "a: any int");
                     d.Press(IDOK);
                     CHECK_EQ(d.Result(), -1);
                     user.ExpectNothingMore();
                 });
    CHECK_EQ(result, -1);
    const std::string& text = EditorState(editor).text;
    std::string created = DateAfter(text, " Created  : ");
    CHECK_EQ(created.size(), 24u);
    CHECK_EQ(DateAfter(text, " Modified : "), created);
    CHECK_EQ(text, "int x;\n\n" + std::string(Header) +
                       " Procedure: alpha\n Created  : " + created + "\n Modified : " + created +
                       "\n\n Synopsys : Gives a back.\n            Nothing more.\n"
                       " Input    : a: any int\n Output   : \n Errors   : \n" +
                       Closing + "int alpha(int a)\n{\n    return a;\n}\n");
    CHECK_EQ(EditorState(editor).selection.start, saved.start);
    CHECK_EQ(EditorState(editor).selection.end, saved.end);
}

// Again on the same function: the dialog shows the fields back, OK keeps
// Created and the block is replaced in place, not added.
KELPIN_SCENARIO(function_comment_edits_block) {
    StartAddIn();
    HostWindow editor = OpenEditor(Function, "C:\\src\\main.c");
    CaretAfter(editor, "return");
    WithUser([] { return AddIn().Command(5); },
             [](User& user) {
                 Dialog d = user.ExpectDialog(IDD_FUNCTION_COMMENT);
                 d.Type(IDC_SYNOPSIS,
                        "Gives a back, in words enough to need a second line of its own.");
                 d.Type(IDC_ERRORS, "none\r\n\r\nat all");
                 d.Press(IDOK);
                 CHECK_EQ(d.Result(), -1);
             });
    std::string created = DateAfter(EditorState(editor).text, " Created  : ");
    // Let the clock move on, so that a renewed Created would show.
    Sleep(1100);
    CaretAfter(editor, "return");
    WithUser([] { return AddIn().Command(5); },
             [created](User& user) {
                 Dialog d = user.ExpectDialog(IDD_FUNCTION_COMMENT);
                 CHECK_EQ(d.Text(IDC_CREATED), created);
                 CHECK_EQ(d.Text(IDC_MODIFIED), created);
                 CHECK_EQ(d.Text(IDC_SYNOPSIS),
                          std::string(
                              "Gives a back, in words enough to need a second line of its own."));
                 CHECK_EQ(d.Text(IDC_ERRORS), std::string("none\r\n\r\nat all"));
                 CHECK_EQ(d.Text(IDC_INPUT), std::string(""));
                 d.Type(IDC_OUTPUT, "a");
                 d.Press(IDOK);
                 CHECK_EQ(d.Result(), -1);
             });
    const std::string& text = EditorState(editor).text;
    CHECK_EQ(Count(text, "/*-@@+@@"), 1u);
    CHECK_EQ(DateAfter(text, " Created  : "), created);
    CHECK(DateAfter(text, " Modified : ") != created);
    CHECK(text.find(" Output   : a\n Errors   : none\n            \n            at all\n") !=
          std::string::npos);
    CHECK(text.ends_with(std::string(Closing) + "int alpha(int a)\n{\n    return a;\n}\n"));
}

// The module block: at the very top, named by the file name alone.
KELPIN_SCENARIO(module_comment_at_top) {
    StartAddIn();
    HostWindow editor = OpenEditor(Function, "C:\\work\\src\\main.c");
    EditorState(editor).selection = {4, 6};
    WithUser([] { return AddIn().Command(9); },
             [](User& user) {
                 Dialog d = user.ExpectDialog(IDD_MODULE_COMMENT);
                 CHECK_EQ(d.Caption(), std::string("main.c"));
                 d.Type(IDC_AUTHOR, "Ann");
                 d.Type(IDC_ABSTRACT, "The program.");
                 d.Press(IDOK);
                 CHECK_EQ(d.Result(), -1);
             });
    const std::string& text = EditorState(editor).text;
    CHECK(text.starts_with(std::string(Header) + " Module   : main.c\n Created  : "));
    CHECK(
        text.find("\n\n Author   : Ann\n Project  : \n Status   : \n Abstract : The program.\n") !=
        std::string::npos);
    CHECK(text.ends_with(std::string(Closing) + Function));
    CHECK_EQ(EditorState(editor).selection.start, 4);
    CHECK_EQ(EditorState(editor).selection.end, 6);

    // Shown back the next time.
    WithUser([] { return AddIn().Command(9); },
             [](User& user) {
                 Dialog d = user.ExpectDialog(IDD_MODULE_COMMENT);
                 CHECK_EQ(d.Text(IDC_AUTHOR), std::string("Ann"));
                 CHECK_EQ(d.Text(IDC_ABSTRACT), std::string("The program."));
                 d.Press(IDCANCEL);
             });
}

// Cancel, in both dialogs, over an existing block: nothing changes.
KELPIN_SCENARIO(cancel_changes_nothing) {
    StartAddIn();
    HostWindow editor = OpenEditor(Function, "C:\\src\\main.c");
    CaretAfter(editor, "return");
    WithUser([] { return AddIn().Command(5); },
             [](User& user) {
                 Dialog d = user.ExpectDialog(IDD_FUNCTION_COMMENT);
                 d.Type(IDC_SYNOPSIS, "kept");
                 d.Press(IDOK);
             });
    std::string before = EditorState(editor).text;
    CaretAfter(editor, "return");
    EditorState(editor).selection.end += 2;
    HostSelection saved = EditorState(editor).selection;
    WithUser([] { return AddIn().Command(5); },
             [](User& user) {
                 Dialog d = user.ExpectDialog(IDD_FUNCTION_COMMENT);
                 CHECK_EQ(d.Text(IDC_SYNOPSIS), std::string("kept"));
                 d.Type(IDC_SYNOPSIS, "thrown away");
                 d.Press(IDCANCEL);
                 CHECK_EQ(d.Result(), -1);
             });
    WithUser([] { return AddIn().Command(9); },
             [](User& user) {
                 Dialog d = user.ExpectDialog(IDD_MODULE_COMMENT);
                 d.Type(IDC_AUTHOR, "nobody");
                 d.Close();
             });
    CHECK_EQ(EditorState(editor).text, before);
    CHECK_EQ(EditorState(editor).selection.start, saved.start);
    CHECK_EQ(EditorState(editor).selection.end, saved.end);
}
