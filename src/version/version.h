// Version stamping: the version module kept current at every build the host
// announces, and command 11's dialog for setting the numbers by hand.
// (StampVersionOnBuild and EditVersionCommand, the frame's entry into this
// subsystem, are declared in addin/commands.h.)
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "version/version_module.h"

namespace kelpin {

// The project symbol naming the version module.
inline constexpr char VersionSymbol[] = "VERSION";

// Sends HostMsgGetProjectSymbol for "VERSION" to window with buffer
// (HostSymbolBufferSize bytes, its capacity set in its first word) and returns
// the host's result; the value, if any, is NUL-terminated text in buffer.
std::intptr_t AskVersionSymbol(HostWindow window, char* buffer);

// ---- The build step ---------------------------------------------------------
// Asks the project window for the module name; 1 when versioning is on and a
// non-empty name is in buffer (HostSymbolBufferSize bytes), else 0.
int GetVersionModuleName(HostWindow window, char* buffer);
// Reads, increments and rewrites the module, creating the header when it is
// missing, with its lines in the output pane. 1 on success, 0 after an error
// box.
int UpdateVersionModule(HostWindow window, const char* name);
// Offers the current directory's NAME.c to the project: 1 when the host took
// it, else 0.
int AddVersionModuleToProject(HostWindow window, const char* name);
// The error box of a result code, caption "TALLIX ERROR".
void ShowVersionError(HostWindow owner, int code);
// The message of a result code from 1 to 5; empty for any other.
const char* VersionErrorMessage(int code);
// Increments the build number, carrying into the components: VersionOk, or
// VersionOverflow when 99.99.99.99 would be passed.
int IncrementVersion(std::int32_t components[4], std::int32_t* build);

// ---- Command 11 and dialog 1006 ----------------------------------------------
// The module name the dialog was opened with, read again by its OK.
extern char versionModuleName[1024];
// Opens dialog 1006 over the main window on module name; 1.
int ShowVersionDialog(const char* name);
std::intptr_t VersionDialogProc(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam);
// A dialog field's value: leading whitespace and a sign are taken, the digits
// up to the first other character are the number, text without digits is 0.
std::int32_t VersionFieldValue(const char* text);

} // namespace kelpin
