// What the POSIX platform does for the seam's writes, clock and current
// directory, by names of its own: the seam's functions answer with these
// (seam.cpp), and the tests' doubles, which give those four functions a
// chosen clock, directory and failures, call them underneath their own. The
// platform's other files and locks are the seam's functions themselves
// (files.cpp), which the doubles take as they are.
//
// On a failure the reason is left in errno, for the CLI to tell.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "seam/platform.h"

namespace kelpin::posix {

bool WriteAll(const char* path, std::string_view contents);
bool Replace(const char* path, std::string_view contents);
bool LocalNow(std::tm* now);
bool CurrentDirectory(std::string* directory);

} // namespace kelpin::posix
