// kelpin prototypes.
#include "cli.h"

namespace kelpin::cli {

void AddPrototypesCommand(CLI::App&, int*) {}

} // namespace kelpin::cli
