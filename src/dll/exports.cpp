// The DLL's face: the process-attach notification and the four entry points
// the Host IDE resolves by name: stdcall-decorated on i686 (kelpin-i686.def),
// plain on x86_64, which has one calling convention (kelpin-x86_64.def).
#include <windows.h>

#include "addin/addin.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        kelpin::AttachProcess(reinterpret_cast<kelpin::ModuleHandle>(instance));
    return TRUE;
}

extern "C" int WINAPI AddInMain(HWND window, int event) {
    return kelpin::AddInMain(reinterpret_cast<kelpin::HostWindow>(window), event);
}

extern "C" int WINAPI AddInCommand(int id) {
    return kelpin::AddInCommand(id);
}

extern "C" int WINAPI AddInSetup(int a, int b) {
    return kelpin::AddInSetup(a, b);
}

extern "C" int WINAPI AddInHelp(HWND window, int kind, const char* keyword) {
    return kelpin::AddInHelp(reinterpret_cast<kelpin::HostWindow>(window), kind, keyword);
}
