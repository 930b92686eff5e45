// The add-in's own version, which the about line shows. Apart from the frame,
// so that a program that shows it (the CLI's --version) links nothing else.
#include "addin/addin.h"

namespace kelpin {

const char VersionString[] = "Ver 00.00.00.01 - Build 0426";
const char VersionDate[] = "Sep 27 2005";
const char VersionTime[] = "16:57:50";

} // namespace kelpin
