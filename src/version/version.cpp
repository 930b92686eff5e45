// Version stamping at build time and the version dialog.
#include "addin/addin.h"
#include "addin/commands.h"

namespace kelpin {

// Not yet built.
std::int32_t EditVersionCommand() { return 0; }
void StampVersionOnBuild(HostWindow, char*) {}

} // namespace kelpin
