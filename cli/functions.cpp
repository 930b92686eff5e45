// kelpin functions, kelpin function.
#include "cli.h"

namespace kelpin::cli {

void AddFunctionsCommands(CLI::App&, int*) {}

} // namespace kelpin::cli
