// Prototype listing, the current-function dialog and element-usage search.
#include "addin/addin.h"
#include "addin/commands.h"

namespace kelpin {

// Not yet built.
std::intptr_t FunctionsDialog(HostWindow, unsigned, std::uintptr_t, std::intptr_t) { return 0; }
std::intptr_t FunctionDialog(HostWindow, unsigned, std::uintptr_t, std::intptr_t) { return 0; }
std::int32_t FindElementUsage() { return 0; }

} // namespace kelpin
