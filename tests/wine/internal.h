// What the harness's own files share and scenarios do not use.
#pragma once

#include <windows.h>

namespace kelpin::wine {

// Thrown by Abort: ends the running scenario or user script.
struct ScenarioAborted {};

// Patches the add-in's imports so the harness sees its dialogs, message
// boxes, choosers and help calls, and hooks window creation on this thread.
void WatchAddIn(HMODULE module);
// The user's thread: started before a scenario, stopped after it (closing
// whatever the add-in left open).
void StartUser();
void StopUser();

} // namespace kelpin::wine
