// The add-in's hands on the host: its active editor and its output pane.
//
// Every command is made of a few host messages (find the active editor, read
// its text, set its selection, write a line to the pane); they are written
// once here. Nothing is kept between calls: each helper is given the host's
// main window, or an editor, by its caller.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/host.h"
#include "seam/platform.h"

namespace kelpin {

// What a command needs of the add-in's surroundings: the module its dialog
// templates and icons come from, and the host's main window, which owns every
// dialog and holds the active editor and the output pane.
struct AddInHost {
    ModuleHandle module;
    HostWindow main;
};

// Runs dialog templateId of the add-in's module modally over the host's main
// window; its procedure is given record with UiMsgInitDialog, and later has
// it from UiDialogParam. The dialog's result, or -1 when it cannot be made.
std::int32_t ShowDialog(const AddInHost& host, int templateId, DialogProc proc, const void* record);

// Flags of MoveCaret.
enum : unsigned { MoveCaretLine = 1, MoveCaretScroll = 2 };

// The active editor of the host's main window, or 0.
HostWindow ActiveEditor(HostWindow main);
// Puts the caret of the active editor at a position, or at the start of a
// 0-based line with MoveCaretLine; MoveCaretScroll scrolls it into view.
int MoveCaret(HostWindow main, std::int32_t position, unsigned flags);
// The caret's 1-based line in the active source editor, or -1.
std::int32_t CaretLine(HostWindow main);
// A fresh copy of the active source editor's text, NUL-terminated; none when
// there is no source editor, its text is empty or cannot be had.
std::unique_ptr<char[]> FetchEditorText(HostWindow main);

// The editor's selection from start to end (start = end: a caret there).
void SetEditorSelection(HostWindow editor, std::int32_t start, std::int32_t end);
// The first position of a 0-based line; -1 past the last line.
std::int32_t EditorLineIndex(HostWindow editor, std::int32_t line);
// Reads the editor's selected text with a buffer of size bytes (the host is
// told size - 1) into *text, up to its first NUL. Returns the host's answer,
// which callers judge by their own rule.
std::intptr_t EditorSelectedText(HostWindow editor, std::size_t size, std::string* text);

// One line in the output pane; nullptr sends the output without text.
void OutputLine(HostWindow main, const char* text);

} // namespace kelpin
