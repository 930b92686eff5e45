// The stand-in Host IDE: real windows answering the host messages from the
// shared editor model, the add-in loaded from beside the exe, the settings
// key, the checks, and the scenario runner with its watchdog.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/wine/harness.h"
#include "tests/wine/internal.h"

namespace kelpin::wine {

namespace {

constexpr const char* HostClass = "KelpinStandInHost";
constexpr DWORD DefaultScenarioSeconds = 40;

std::map<std::string, ScenarioBody>& Scenarios() {
    static std::map<std::string, ScenarioBody> scenarios;
    return scenarios;
}

CRITICAL_SECTION failureLock;
std::vector<std::string> failures;

headless::HostModel model;
HostWindow mainWindow = 0;
AddInEntries addIn;
std::string scenarioName;
std::string scratch;

void RemoveTree(const std::string& directory) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = directory + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(path + "\\");
            RemoveDirectoryA(path.c_str());
        } else {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The host messages, whatever window of the host they reach, are answered
    // by the model under the real window handle.
    if (message >= HostMsgAddCommand && message <= HostMsgOutput)
        return model.Handle(reinterpret_cast<HostWindow>(window), message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateHostWindow(const char* title, HWND parent) {
    DWORD style = parent ? WS_CHILD | WS_VISIBLE | WS_BORDER : WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    HWND window = CreateWindowExA(0, HostClass, title, style, parent ? 0 : 40, parent ? 0 : 40,
                                  parent ? 200 : 640, parent ? 100 : 480, parent, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) Abort(__FILE__, __LINE__, std::string("cannot create window ") + title);
    return window;
}

void DeleteSettingsTree() {
    // The add-in's maker key and everything under it: each scenario starts
    // from a user who never ran the add-in.
    LONG error = RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Dravenor");
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
        Abort(__FILE__, __LINE__, "cannot clear the settings key: error " + std::to_string(error));
}

HKEY OpenSettings(REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeyPath, 0, access, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

DWORD WINAPI Watchdog(LPVOID parameter) {
    DWORD seconds = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(parameter));
    Sleep(seconds * 1000);
    EnterCriticalSection(&failureLock);
    for (const std::string& failure : failures)
        std::printf("%s\n", failure.c_str());
    std::printf("FAILED: the scenario did not end within %lu seconds (a window left open?)\n",
                static_cast<unsigned long>(seconds));
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return 0;
}

// A crash in the add-in or the harness ends the scenario with its code, not
// with Wine's crash dialog waiting for a click.
LONG WINAPI Crashed(EXCEPTION_POINTERS* exception) {
    EnterCriticalSection(&failureLock);
    for (const std::string& failure : failures)
        std::printf("%s\n", failure.c_str());
    std::printf("FAILED: crashed with exception 0x%08lX at %p\n",
                static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
                exception->ExceptionRecord->ExceptionAddress);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 4);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

bool RegisterScenario(const char* name, ScenarioBody body) {
    Scenarios()[name] = body;
    return true;
}

void Fail(const char* file, int line, const std::string& message) {
    const char* base = std::strrchr(file, '/');
    // Line 0: the harness's watcher speaks, not a line of a scenario.
    std::string entry = base ? base + 1 : file;
    if (line) {
        entry += ':';
        entry += std::to_string(line);
    }
    entry += ": ";
    entry += message;
    EnterCriticalSection(&failureLock);
    failures.push_back(entry);
    LeaveCriticalSection(&failureLock);
}

void Abort(const char* file, int line, const std::string& message) {
    Fail(file, line, message);
    throw ScenarioAborted{};
}

std::vector<std::string> TakeFailures() {
    EnterCriticalSection(&failureLock);
    std::vector<std::string> taken;
    taken.swap(failures);
    LeaveCriticalSection(&failureLock);
    return taken;
}

headless::HostModel& Model() {
    return model;
}
HostWindow Main() {
    return mainWindow;
}

headless::MainWindow& MainState() {
    return *model.Main(mainWindow);
}

HostWindow OpenEditor(const std::string& text, const std::string& path) {
    HWND window = CreateHostWindow("editor", reinterpret_cast<HWND>(mainWindow));
    HostWindow editor = model.AddEditor(text, path, reinterpret_cast<HostWindow>(window));
    SetActiveEditor(editor);
    return editor;
}

headless::EditorWindow& EditorState(HostWindow editor) {
    headless::EditorWindow* state = model.Editor(editor);
    if (state == nullptr) Abort(__FILE__, __LINE__, "not an editor window");
    return *state;
}

void SetActiveEditor(HostWindow editor) {
    MainState().activeEditor = editor;
}

HostWindow OpenProject() {
    HWND window = CreateHostWindow("project", reinterpret_cast<HWND>(mainWindow));
    return model.AddProjectWindow(reinterpret_cast<HostWindow>(window));
}

headless::ProjectWindow& ProjectState(HostWindow project) {
    headless::ProjectWindow* state = model.Project(project);
    if (state == nullptr) Abort(__FILE__, __LINE__, "not a project window");
    return *state;
}

Ids RegisteredIds() {
    Ids ids;
    for (const headless::RegisteredCommand& command : MainState().commands)
        ids.push_back(command.id);
    return ids;
}

std::vector<std::string> OutputLines() {
    return model.OutputLines(mainWindow);
}

std::string HostDirectory() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string directory(path, n);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

const AddInEntries& LoadAddIn() {
    if (addIn.module) return addIn;
    std::string path = HostDirectory() + "kelpin.dll";
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr)
        Abort(__FILE__, __LINE__,
              "LoadLibraryA(" + path + ") failed: error " + std::to_string(GetLastError()));
    auto resolve = [module](const char* name) {
        FARPROC entry = GetProcAddress(module, name);
        if (entry == nullptr) Abort(__FILE__, __LINE__, std::string("no export ") + name);
        return reinterpret_cast<void*>(entry);
    };
    AddInEntries entries;
    entries.module = module;
    entries.mainEntry = reinterpret_cast<decltype(entries.mainEntry)>(resolve(EntryNames.main));
    entries.commandEntry =
        reinterpret_cast<decltype(entries.commandEntry)>(resolve(EntryNames.command));
    entries.setupEntry = reinterpret_cast<decltype(entries.setupEntry)>(resolve(EntryNames.setup));
    entries.helpEntry = reinterpret_cast<decltype(entries.helpEntry)>(resolve(EntryNames.help));
    WatchAddIn(module);
    addIn = entries;
    return addIn;
}

const AddInEntries& AddIn() {
    if (!addIn.module) Abort(__FILE__, __LINE__, "the add-in is not loaded (call LoadAddIn first)");
    return addIn;
}

void StartAddIn() {
    LoadAddIn();
    if (addIn.Main(mainWindow, HostEventLoad) != 1)
        Abort(__FILE__, __LINE__, "AddInMain(main, HostEventLoad) did not succeed");
}

std::string ScratchDirectory() {
    if (!scratch.empty()) return scratch;
    std::string root = "C:\\kelpin-scenarios\\";
    CreateDirectoryA(root.c_str(), nullptr);
    std::string directory = root + scenarioName + "\\";
    RemoveTree(directory);
    CreateDirectoryA(directory.c_str(), nullptr);
    if (GetFileAttributesA(directory.c_str()) == INVALID_FILE_ATTRIBUTES)
        Abort(__FILE__, __LINE__, "cannot make the directory " + directory);
    scratch = directory;
    return scratch;
}

std::optional<std::string> ReadTextFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

void WriteTextFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    bool ok = file != INVALID_HANDLE_VALUE &&
              WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!ok) Abort(__FILE__, __LINE__, "cannot write " + path);
}

bool SettingsKeyExists() {
    HKEY key = OpenSettings(KEY_READ);
    if (key) RegCloseKey(key);
    return key != nullptr;
}

void CreateSettingsKey() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        Abort(__FILE__, __LINE__, "cannot create the settings key");
    RegCloseKey(key);
}

void WriteSetting(const char* name, DWORD value) {
    CreateSettingsKey();
    HKEY key = OpenSettings(KEY_ALL_ACCESS);
    LONG error = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS) Abort(__FILE__, __LINE__, std::string("cannot write ") + name);
}

void WriteSetting(const char* name, const std::string& text) {
    CreateSettingsKey();
    HKEY key = OpenSettings(KEY_ALL_ACCESS);
    LONG error = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    if (error != ERROR_SUCCESS) Abort(__FILE__, __LINE__, std::string("cannot write ") + name);
}

std::optional<RegistryValue> ReadSetting(const char* name) {
    HKEY key = OpenSettings(KEY_READ);
    if (key == nullptr) return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<RegistryValue> value;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::string data(size, '\0');
        if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                             &size) == ERROR_SUCCESS)
            value = RegistryValue{type, data.substr(0, size)};
    }
    RegCloseKey(key);
    return value;
}

} // namespace kelpin::wine

using namespace kelpin::wine;

int main(int argc, char** argv) {
    InitializeCriticalSection(&failureLock);
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
        for (const auto& [name, body] : Scenarios())
            std::printf("%s\n", name.c_str());
        return 0;
    }
    if (argc < 2 || (std::strcmp(argv[1], "--gallery") == 0 && argc != 4)) {
        std::fprintf(stderr, "usage: kelpin_wine_host.exe <scenario> [seconds] | --list\n"
                             "       kelpin_wine_host.exe --gallery <folder> <stock.c>\n");
        return 2;
    }
    const char* name = argv[1];
    ScenarioBody body = nullptr;
    if (std::strcmp(argv[1], "--gallery") == 0) {
        // Not a scenario of the suite: tests/wine/gallery.sh runs it.
        SetGalleryFolders(argv[2], argv[3]);
        name = "gallery";
        body = Gallery;
    } else {
        auto found = Scenarios().find(argv[1]);
        if (found == Scenarios().end()) {
            std::printf("FAILED: no scenario named %s\n", argv[1]);
            return 2;
        }
        body = found->second;
    }
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(Crashed);
    DWORD seconds = argc == 3 ? static_cast<DWORD>(std::atoi(argv[2])) : DefaultScenarioSeconds;
    HANDLE watchdog =
        CreateThread(nullptr, 0, Watchdog,
                     reinterpret_cast<LPVOID>(static_cast<std::uintptr_t>(seconds)), 0, nullptr);
    CloseHandle(watchdog);

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = HostClass;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&windowClass);

    scenarioName = name;
    try {
        DeleteSettingsTree();
        HWND main = CreateHostWindow("Stand-in Host IDE", nullptr);
        mainWindow = model.AddMainWindow(reinterpret_cast<kelpin::HostWindow>(main));
        StartUser();
        body();
    } catch (const ScenarioAborted&) {
        // Already recorded; what follows still closes what the add-in left open.
    }
    StopUser();

    EnterCriticalSection(&failureLock);
    for (const std::string& failure : failures)
        std::printf("%s\n", failure.c_str());
    std::printf("%s %s\n", failures.empty() ? "PASSED" : "FAILED", name);
    std::fflush(stdout);
    bool passed = failures.empty();
    LeaveCriticalSection(&failureLock);
    // Leave at once: the add-in stays loaded, as it does in a host that quits.
    ExitProcess(passed ? 0 : 1);
}
