// Function navigation: the prototype listing (command 1, dialog 1001), the
// dialog of the function at the caret (command 3, dialog 1002) and the search
// for the selected text (command 7).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/editor.h"
#include "scanner/lookup.h"

namespace kelpin {

// Command 1: dialog 1001 over the main window, showing the active editor's
// prototype listing; the dialog's result.
std::int32_t ShowPrototypeDialog(const AddInHost& host);
// Command 3: dialog 1002 on the function at the caret. Its result is the
// 1-based line to go to, or 0 or -1 for none.
std::int32_t ShowFunctionDialog(const AddInHost& host, const CurrentFunction& function);
// What both navigation dialogs do with a message their own cases leave:
// closing the window ends the dialog with 0, a size message is handled and
// nothing done, and anything else is left to the system (0).
std::intptr_t EndOnClose(HostWindow dialog, unsigned message);
// Command 7: selects the next occurrence of the selected text; 1 when it
// selected one, else 0.
std::int32_t FindElementUsage(HostWindow main);

// The size of the save file name buffer, announced to the save chooser.
inline constexpr unsigned HeaderFileNameSize = 260;

// The name the include guard takes from a document path: upper-cased, cut at
// the last ".", the text after the last "\" before it; "foo" when either is
// missing.
std::string GuardName(const char* documentPath);

// GuardName with every character that cannot stand in a C identifier made
// "_", so that the guard the header defines is the whole name ("CRC_CCITT",
// not "CRC" followed by a stray "-CCITT").
std::string IdentifierGuardName(const char* documentPath);

// A prototype header's lines around its declarations, each line ended by
// lineEnd: "#ifndef __GUARD_H__", "#define __GUARD_H__" and an empty line
// before them; an empty line and "#endif\t// GUARD_H__" after them.
std::string PrototypeHeaderOpening(std::string_view guard, std::string_view lineEnd);
std::string PrototypeHeaderClosing(std::string_view guard, std::string_view lineEnd);

// The header text dialog 1001 shows for a source text: the guard lines, one
// "declaration;" line per function the scanner reports, and the guard's end.
// Lines end in "\r\n".
std::string PrototypeListing(const char* text, const char* documentPath);

// The save chooser over owner; 1 with the chosen path in fileName (which holds
// HeaderFileNameSize bytes), 0 when the user cancelled or it failed.
int ChooseHeaderFile(HostWindow owner, char* fileName);

// Writes the text of the edit control id of dialog to fileName, replacing the
// file. 1 when every byte was written; 0 otherwise, and for an empty text,
// which still leaves the file created and empty.
int SaveEditText(HostWindow dialog, int id, const char* fileName);

} // namespace kelpin
