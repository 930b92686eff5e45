// The POSIX platform's files, folder locks, clock and current directory, by
// their own names: the seam's functions of the same purpose answer with
// these (seam.cpp), and a platform that wraps this one (the tests' doubles,
// which inject failures) calls them underneath its own.
//
// On a failure the reason is left in errno, for the CLI to tell.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "seam/platform.h"

namespace kelpin::posix {

bool ReadAll(const char* path, std::string* contents);
bool IsWritable(const char* path);
bool CanCreate(const char* path);
bool WriteAll(const char* path, std::string_view contents);
bool Replace(const char* path, std::string_view contents);
FolderLock LockFolder(const char* path);
void UnlockFolder(FolderLock lock);
bool LocalNow(std::tm* now);
bool CurrentDirectory(std::string* directory);

} // namespace kelpin::posix
