// The handlers the dispatcher hands commands and events to. Each lives in its
// own subsystem; the frame only knows these names.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace kelpin {

// Command 1: dialog 1001, the prototype listing (navigation).
std::intptr_t FunctionsDialog(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam);
// Command 3: dialog 1002 on addInState.currentFunction (navigation).
std::intptr_t FunctionDialog(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam);
// Command 7 (navigation).
std::int32_t FindElementUsage();
// Command 5: dialog 1003 on addInState.currentFunction (comments).
std::intptr_t FunctionCommentDialog(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                                    std::intptr_t lParam);
// Command 9: dialog 1004 on addInState.documentInfo (comments).
std::intptr_t ModuleCommentDialog(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                                  std::intptr_t lParam);
// Command 11 (version).
std::int32_t EditVersionCommand();
// The build event: regenerates the version module of the project window.
void StampVersionOnBuild(HostWindow project, char* buffer);
// The setup dialog 1005 (addin).
std::intptr_t SetupDialog(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                          std::intptr_t lParam);

} // namespace kelpin
