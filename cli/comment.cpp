// kelpin comment.
#include "cli.h"

namespace kelpin::cli {

void AddCommentCommand(CLI::App&, int*) {}

} // namespace kelpin::cli
