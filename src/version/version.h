// Version stamping: the version module kept current at every build the host
// announces, and command 11's dialog for setting the numbers by hand.
//
// The build step and the dialog's save are plain functions over the module's
// files, so the CLI runs them as the add-in does; what they tell the user
// comes back as result codes and lines, for the caller to show.
#pragma once

#include <cstdint>
#include <string>

#include "host/editor.h"
#include "version/version_module.h"

namespace kelpin {

// The project symbol naming the version module.
inline constexpr char VersionSymbol[] = "VERSION";

// ---- The module's files -------------------------------------------------------
enum class VersionFile { Source, Header };

// NAME.c or NAME.h.
std::string VersionFilePath(const char* name, VersionFile file);
// The three operations below leave the reason of a failure in errno, as the
// platform's files give it (ENAMETOOLONG for a name that is too long).
// Reads one of the module's files whole. False when the name is too long
// (VersionModuleNameMax) or the file is missing or cannot be opened for
// reading and writing: a read-only file counts as missing.
bool ReadVersionFile(const char* name, VersionFile file, std::string* text);
// True when one of the module's files could be written now (FileCanCreate),
// and its name is not too long.
bool CanWriteVersionFile(const char* name, VersionFile file);
// Replaces one of the module's files with text (lines ending in LF; CR LF on
// disk), in one step. False, and the old file as it was, when it cannot be.
bool WriteVersionFile(const char* name, VersionFile file, std::string_view text);

// ---- The build step -------------------------------------------------------------

// Where the build step's lines go: the output pane, or standard output. A
// null line is the output without text.
using VersionLineSink = void (*)(const char* line, void* context);

struct VersionStepResult {
    int error;    // VersionOk, or the code whose message ends the step
    bool created; // the source file was created by this step (offered to the project)
    // With an error: the file it concerns and, for VersionCannotCreate, the
    // errno value of the failure (0 when none was given). The add-in shows
    // neither; the CLI names both.
    VersionFile file;
    int reason;
};
// Reads, increments and rewrites the module, creating the header when it is
// missing, with its lines sent to sink; the lines name the module by its
// path. Holds the folder's lock throughout, so that builds running at once
// each count.
VersionStepResult UpdateVersionModule(const VersionModuleNames& module, VersionLineSink sink,
                                      void* context);
// The same for the add-in's module name (AddInModuleNames).
VersionStepResult UpdateVersionModule(const char* name, VersionLineSink sink, void* context);

// Sends HostMsgGetProjectSymbol for "VERSION" to window with buffer
// (HostSymbolBufferSize bytes, its capacity set in its first word) and returns
// the host's result; the value, if any, is NUL-terminated text in buffer.
std::intptr_t AskVersionSymbol(HostWindow window, char* buffer);
// Asks the project window for the module name: 1 when a non-empty name is
// in buffer (HostSymbolBufferSize bytes), else 0.
int GetVersionModuleName(HostWindow window, char* buffer);
// Offers the current directory's NAME.c to the project: 1 when the host took
// it, else 0.
int AddVersionModuleToProject(HostWindow window, const char* name);
// The error box of a result code, caption "TALLIX ERROR".
void ShowVersionError(HostWindow owner, int code);
// The build event with versioning on: the version step over the project
// window's module, its lines in the pane, a new module offered to the project.
void StampVersionOnBuild(const AddInHost& host, HostWindow project);

// ---- Command 11 and dialog 1006 ---------------------------------------------------

// Why the dialog cannot open, shown with the module name as caption.
inline constexpr char VersionMissingMessage[] = "The file doesn't exist.\nCompile project before!";
inline constexpr char VersionUnreadableMessage[] =
    "Can't read version data.\nMaybe file format is uncorrect!";

// The numbers of NAME.c, as the dialog opens on them: VersionOk;
// VersionCannotCreate when the file is missing (VersionMissingMessage), with
// the errno value of the failure in *reason when reason is given; any other
// code when its line 6 cannot be read (VersionUnreadableMessage).
int LoadVersionNumbers(const char* name, VersionNumbers* numbers, int* reason = nullptr);
// Saves the numbers as the dialog's OK does: only NAME.c, written whole; the
// header stays. VersionOk or VersionCannotCreate, with the errno value of the
// failure in *reason when reason is given.
int SaveVersionNumbers(const VersionModuleNames& module, const VersionNumbers& numbers,
                       int* reason = nullptr);
// The same for the add-in's module name (AddInModuleNames).
int SaveVersionNumbers(const char* name, const VersionNumbers& numbers);

// Command 11: dialog 1006 on the project's module, when versioning is on and
// a project window is known; else one line in the pane.
std::int32_t EditVersionCommand(const AddInHost& host, bool versioning, HostWindow project);
// Opens dialog 1006 over the main window on module name; 1.
int ShowVersionDialog(const AddInHost& host, const char* name);
// A dialog field's value: leading whitespace and a sign are taken, the digits
// up to the first other character are the number, text without digits is 0.
std::int32_t VersionFieldValue(const char* text);

} // namespace kelpin
