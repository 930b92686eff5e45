// The add-in frame: the process-wide state, the entry points the Host IDE
// calls, the command table and the editor helpers the commands share.
#pragma once

#include <cstdint>

#include "addin/host.h"
#include "platform/platform.h"
#include "scanner/lookup.h"

namespace kelpin {

enum : int {
    CmdFunctionPrototypes = 1,
    CmdCurrentFunction = 3,
    CmdFunctionComment = 5,
    CmdFindUsage = 7,
    CmdModuleComment = 9,
    CmdEditVersion = 11,
};

enum : std::uint32_t { OptVersioning = 1 };

// Flags of MoveCaret.
enum : unsigned { MoveCaretLine = 1, MoveCaretScroll = 2 };

// Everything the add-in keeps between calls. All of it is zero when the
// library is loaded; every call comes on the host's user-interface thread, so
// it is used by one operation at a time.
struct AddInState {
    ModuleHandle moduleInstance;
    HostWindow mainWindow;
    HostWindow projectWindow;
    HostWindow prototypeDialog;
    std::int32_t versionModuleCreated;
    char* documentText; // the running command's copy of the editor text
    std::uint32_t options;
    char helpPath[260];
    std::int32_t versionCommandRegistered;
    RegKey settingsKey;
    HostDocumentInfo documentInfo;
    kelpin::CurrentFunction currentFunction;
    std::int32_t caretLine;
};
extern AddInState addInState;

// Back to the state of a freshly loaded library (tests).
void ResetAddInState();

// The process-attach notification.
void AttachProcess(ModuleHandle module);

// The entry points.
std::int32_t AddInMain(HostWindow window, std::int32_t event);
std::int32_t AddInCommand(std::int32_t id);
std::int32_t AddInSetup(std::int32_t, std::int32_t);
std::int32_t AddInHelp(HostWindow window, std::int32_t kind, const char* keyword);

// The active editor of the host's main window, or 0.
HostWindow ActiveEditor();
// Puts the caret of the active editor at a position, or at the start of a
// 0-based line with MoveCaretLine; MoveCaretScroll scrolls it into view.
int MoveCaret(std::int32_t position, unsigned flags);
// The caret's 1-based line in the active source editor, or -1.
std::int32_t CaretLine();
// A fresh copy of the active source editor's text, NUL-terminated, to be
// released with delete[]; nullptr when there is none.
char* FetchEditorText();

// The add-in's own version, shown in the about line.
extern const char VersionString[];
extern const char VersionDate[];
extern const char VersionTime[];

} // namespace kelpin
