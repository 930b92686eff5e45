// Function navigation: the prototype listing (dialog 1001), the dialog of the
// function at the caret (dialog 1002) and the search for the selected text.
// The dialog procedures and the command are declared in addin/commands.h;
// these are the pieces they are built from.
#pragma once

#include <string>

#include "platform/platform.h"

namespace kelpin {

// The size of the save file name buffer, announced to the save chooser.
inline constexpr unsigned HeaderFileNameSize = 260;

// The name the include guard takes from a document path: upper-cased, cut at
// the last ".", the text after the last "\" before it; "foo" when either is
// missing.
std::string GuardName(const char* documentPath);

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
