// The current-function lookup in the real DLL: the editor's text with its
// carriage returns, the caret line from the editor, and the warning when no
// function body holds the caret.
#include <windows.h>

#include <string>

#include "tests/wine/harness.h"

using namespace kelpin;
using namespace kelpin::wine;

namespace {

const std::string Text = "int x;\r\n"          // 1
                         "int f(void)\r\n"     // 2
                         "{\r\n"               // 3
                         "    return x;\r\n"   // 4
                         "}\r\n"               // 5
                         "int g(void) {\r\n"   // 6
                         "    return 0; }\r\n" // 7
                         "\r\n";               // 8

void PutCaretOnLine(HostWindow editor, int line) {
    std::int32_t at = LineIndexOf(Text, line - 1);
    EditorState(editor).selection = {at, at};
}

// Runs command id with the caret on line and answers the warning.
void ExpectWarning(int id, int line) {
    HostWindow editor = OpenEditor(Text, "C:\\src\\lookup.c");
    PutCaretOnLine(editor, line);
    std::size_t boxes = MessageBoxes().size();
    WithUser([id] { return AddIn().Command(id); },
             [](User& user) {
                 MessageBoxSeen box = user.ExpectMessageBox();
                 CHECK_EQ(box.text, std::string("You're not in a function body.\n"));
                 CHECK_EQ(box.caption, std::string("Function"));
                 CHECK_EQ(box.flags & MB_ICONMASK, static_cast<unsigned>(MB_ICONWARNING));
                 box.Press(IDOK);
                 user.ExpectNothingMore();
             });
    REQUIRE(MessageBoxes().size() == boxes + 1);
    CHECK_EQ(MessageBoxes().back().owner, Main());
    CHECK(Dialogs().empty());
    // The caret stays where it was.
    CHECK_EQ(EditorState(editor).selection.start, LineIndexOf(Text, line - 1));
}

} // namespace

// Above the first function, on the last closing brace's line, and below it:
// no function holds the caret, for both commands that look it up.
KELPIN_SCENARIO(not_in_a_function_body) {
    StartAddIn();
    for (int line : {1, 7, 8}) {
        ExpectWarning(3, line);
        ExpectWarning(5, line);
    }
}
