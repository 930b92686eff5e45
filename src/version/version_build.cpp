// The build step: at every build the host announces while versioning is on,
// the project's version module gets its next number.
#include <cstdio>
#include <cstring>
#include <string>

#include "addin/addin.h"
#include "addin/commands.h"
#include "version/version.h"

namespace kelpin {

namespace {

// Pane lines are formatted in a buffer of this size; a longer line is cut.
constexpr int OutputLineSize = 2048;
// The path offered to the project must fit 260 bytes with its NUL.
constexpr std::size_t ProjectPathMax = 259;

void Output(const char* text) {
    PlatformSendMessage(addInState.mainWindow, HostMsgOutput, 0,
                        reinterpret_cast<std::intptr_t>(text));
}

void OutputModuleLine(const char* format, const char* name) {
    char line[OutputLineSize];
    std::snprintf(line, sizeof line, format, name);
    Output(line);
}

} // namespace

const char* VersionErrorMessage(int code) {
    switch (code) {
    case VersionCannotCreate: return "Cannot create output file!";
    case VersionBadFormat: return "Wrong internal format!";
    // The message as users have always seen it, misspelling and all.
    case VersionOverflow: return "Exeeded maximum versioning";
    case VersionEndOfFile: return "Unexpected EOF or read error";
    case VersionLineTooLong: return "Error: File line too long";
    default: return "";
    }
}

void ShowVersionError(HostWindow owner, int code) {
    UiMessageBox(owner, VersionErrorMessage(code), "TALLIX ERROR", UiBoxIconError);
}

int IncrementVersion(std::int32_t components[4], std::int32_t* build) {
    // Compared before adding, so that no number ever overflows: a build number
    // of 9999 or more restarts at 1 (not 0) and carries into the last
    // component, and so on up to the first.
    if (*build < VersionBuildMax) {
        ++*build;
        return VersionOk;
    }
    *build = 1;
    for (int k = 3; k >= 0; --k) {
        if (components[k] < VersionComponentMax) {
            ++components[k];
            return VersionOk;
        }
        if (k > 0) components[k] = 0;
    }
    return VersionOverflow;
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
    if (!(addInState.options & OptVersioning)) return 0;
    return AskVersionSymbol(window, buffer) != 0 && buffer[0] != '\0' ? 1 : 0;
}

int UpdateVersionModule(HostWindow window, const char* name) {
    PlatformSendMessage(addInState.mainWindow, HostMsgOutput, 0, 0);
    OutputModuleLine("Creating version source file \"%s.c\"", name);

    // A missing source file is created with the placeholder numbers and read
    // like any other.
    std::optional<VersionStream> source =
        OpenVersionFile(name, VersionFileSource | VersionFileCreate | VersionFilePlaceholder);
    if (!source) {
        ShowVersionError(window, VersionCannotCreate);
        return 0;
    }
    std::int32_t components[4] = {0, 0, 0, 0};
    std::int32_t build = 0;
    int result = ReadVersionNumbers(*source, components, &build);
    CloseVersionFile(*source);
    if (result != VersionOk) {
        ShowVersionError(window, result);
        return 0;
    }
    // On overflow nothing is written: the source keeps its old numbers.
    if (IncrementVersion(components, &build) != VersionOk) {
        ShowVersionError(window, VersionOverflow);
        return 0;
    }

    VersionStream stream;
    if (CreateVersionFile(name, VersionFileSource | VersionFileKeepOpen, &stream) == 0 ||
        WriteVersionNumbers(stream, components, build) == 0) {
        ShowVersionError(window, VersionCannotCreate);
        return 0;
    }

    // An existing header is never rewritten, whatever it holds.
    if (std::optional<VersionStream> header = OpenVersionFile(name, 0)) {
        CloseVersionFile(*header);
    } else {
        if (CreateVersionFile(name, VersionFileKeepOpen, &stream) == 0) {
            ShowVersionError(window, VersionCannotCreate);
            return 0;
        }
        OutputModuleLine("Creating version header file \"%s.h\"", name);
        if (WriteVersionHeader(stream, name) == 0) {
            ShowVersionError(window, VersionCannotCreate);
            return 0;
        }
    }

    // The add-in's own build time and date, time first: not the project's.
    char line[OutputLineSize];
    std::snprintf(line, sizeof line,
                  "VersionString[] = \"Ver %02d.%02d.%02d.%02d - Build %04d\"; - %s, %s",
                  components[0], components[1], components[2], components[3], build, AddInBuildTime,
                  AddInBuildDate);
    Output(line);
    return 1;
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

void StampVersionOnBuild(HostWindow window, char* buffer) {
    if (GetVersionModuleName(window, buffer) == 0) return;
    {
        // Builds run in parallel (another IDE, a script, make -j): the module
        // is read, incremented and rewritten by one of them at a time, so
        // that every build counts.
        FolderLockScope lock((std::string(buffer) + ".c").c_str());
        UpdateVersionModule(window, buffer);
    }
    // Also after an error, once the module was created: it is offered to the
    // project exactly once.
    if (addInState.versionModuleCreated) {
        AddVersionModuleToProject(window, buffer);
        addInState.versionModuleCreated = 0;
    }
}

} // namespace kelpin
