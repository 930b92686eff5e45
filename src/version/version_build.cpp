// The build step: at every build the host announces while versioning is on,
// the project's version module gets its next number, and the host's pane and
// project hear of it.
#include <cstring>
#include <string>

#include "version/version.h"

namespace kelpin {

namespace {

// The path offered to the project must fit 260 bytes with its NUL.
constexpr std::size_t ProjectPathMax = 259;

void PaneLine(const char* line, void* context) {
    OutputLine(*static_cast<const HostWindow*>(context), line);
}

} // namespace

void ShowVersionError(HostWindow owner, int code) {
    UiMessageBox(owner, VersionErrorMessage(code), "TALLIX ERROR", UiBoxIconError);
}

std::intptr_t AskVersionSymbol(HostWindow window, char* buffer) {
    const std::uint32_t capacity = HostSymbolBufferSize - 1;
    std::memcpy(buffer, &capacity, sizeof capacity);
    std::intptr_t result = PlatformSendMessage(window, HostMsgGetProjectSymbol,
                                               reinterpret_cast<std::uintptr_t>(VersionSymbol),
                                               reinterpret_cast<std::intptr_t>(buffer));
    buffer[HostSymbolBufferSize - 1] = '\0';
    return result;
}

int GetVersionModuleName(HostWindow window, char* buffer) {
    return AskVersionSymbol(window, buffer) != 0 && buffer[0] != '\0' ? 1 : 0;
}

int AddVersionModuleToProject(HostWindow window, const char* name) {
    // Without a current directory there is no full path to offer.
    std::string directory;
    if (!ProcessCurrentDirectory(&directory)) return 0;
    // The backslash is added even after a root's own.
    if (directory.size() + std::strlen(name) + 3 > ProjectPathMax) return 0;
    std::string path = directory + "\\" + name + ".c";
    if (PlatformSendMessage(window, HostMsgAddProjectFile, 0,
                            reinterpret_cast<std::intptr_t>(path.c_str())) != 0)
        return 1;
    UiMessageBox(0, path.c_str(), "Cannot add file to project", UiBoxOk);
    return 0;
}

void StampVersionOnBuild(const AddInHost& host, HostWindow project) {
    char name[HostSymbolBufferSize];
    if (GetVersionModuleName(project, name) == 0) return;
    HostWindow main = host.main;
    VersionStepResult step = UpdateVersionModule(name, PaneLine, &main);
    // Build-time errors are shown over the build event's window.
    if (step.error != VersionOk) ShowVersionError(project, step.error);
    // Also after an error, once the module was created: it is offered to the
    // project exactly once.
    if (step.created) AddVersionModuleToProject(project, name);
}

} // namespace kelpin
