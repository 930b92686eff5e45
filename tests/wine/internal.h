// What the harness's own files share and scenarios do not use.
#pragma once

#include <windows.h>
// commdlg.h builds on windows.h.
#include <commdlg.h>

#include <string>
#include <vector>

namespace kelpin::wine {

// Thrown by Abort: ends the running scenario or user script.
struct ScenarioAborted {};

// Patches a module's imports so the harness sees its dialogs, message
// boxes, choosers and help calls.
void WatchAddIn(HMODULE module);
// The user's thread: started before a scenario, stopped after it (closing
// whatever the add-in left open).
void StartUser();
void StopUser();

// The harness's own self-test opens windows through the same hooks the
// add-in's calls go through.
INT_PTR TrackedDialogBox(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param);
int TrackedMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
BOOL TrackedOpenFileName(OPENFILENAMEA* ofn);
BOOL TrackedSaveFileName(OPENFILENAMEA* ofn);
// The failures recorded so far, taken out of the scenario's record.
std::vector<std::string> TakeFailures();

// The gallery (gallery.cpp), run like a scenario by --gallery: where its
// pictures go and the example it opens.
void SetGalleryFolders(const std::string& out, const std::string& source);
void Gallery();

} // namespace kelpin::wine
