// The function and module comment dialogs.
#include "addin/addin.h"
#include "addin/commands.h"

namespace kelpin {

// Not yet built.
std::intptr_t FunctionCommentDialog(HostWindow, unsigned, std::uintptr_t, std::intptr_t) { return 0; }
std::intptr_t ModuleCommentDialog(HostWindow, unsigned, std::uintptr_t, std::intptr_t) { return 0; }

} // namespace kelpin
