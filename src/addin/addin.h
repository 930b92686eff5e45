// The add-in frame: the entry points the Host IDE calls, the state the add-in
// keeps between those calls, and the command table they dispatch on.
#pragma once

#include <cstdint>

#include "addin/settings.h"
#include "host/editor.h"
#include "host/host.h"
#include "seam/platform.h"

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

// Everything the add-in keeps between the host's calls, and nothing that
// lives within one: a command's text, the function at the caret or a
// dialog's record are its own. All of it is zero when the library is loaded;
// every call comes on the host's user-interface thread, so it is used by one
// operation at a time.
struct AddInState {
    ModuleHandle moduleInstance; // where the dialog templates and icons are
    HostWindow mainWindow;       // the host's, from the load event
    HostWindow projectWindow;    // the last one handed over, for command 11
    Settings settings;           // as last read or accepted in the setup dialog
    std::int32_t versionCommandRegistered;
};
extern AddInState addInState;

// Back to the state of a freshly loaded library (tests).
void ResetAddIn();

// The process-attach notification.
void AttachProcess(ModuleHandle module);

// The entry points.
std::int32_t AddInMain(HostWindow window, std::int32_t event);
std::int32_t AddInCommand(std::int32_t id);
std::int32_t AddInSetup(std::int32_t, std::int32_t);
std::int32_t AddInHelp(HostWindow window, std::int32_t kind, const char* keyword);

// Command 11 follows the versioning bit, which it sets or clears. Registering
// gives 1 when the command is registered with the host's window main (now or
// before), 0 when the host refused it; removing asks the host whatever it
// holds.
int RegisterVersionCommand(HostWindow main);
// Settings that turn versioning on, as they are read: command 11 is
// registered with main, and a refusal is told in its pane.
void RegisterVersionCommandAsRead(HostWindow main);
void UnregisterVersionCommand(HostWindow main);

// The add-in's own version, shown in the about line.
extern const char VersionString[];
extern const char VersionDate[];
extern const char VersionTime[];

} // namespace kelpin
