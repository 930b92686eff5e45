// kelpin version.
#include "cli.h"

namespace kelpin::cli {

void AddVersionCommand(CLI::App&, int*) {}

} // namespace kelpin::cli
