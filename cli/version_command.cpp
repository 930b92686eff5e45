// kelpin version: the project's version module from a Makefile or CI.
//
// bump runs the add-in's build step, set saves as the version dialog's OK
// does, and show reads the numbers back. Their files compile wherever they
// stand: DIR/NAME.c includes "NAME.h", whose guard is NAME made an
// identifier. With --add-in they are the add-in's own, the module name
// unchanged in the file names, the include line and the guard.
//
// Each error names the file it concerns, says what went wrong in the words
// of the add-in's own boxes, and then gives the system's reason or what to
// do about it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "output.h"
#include "version/version.h"

namespace kelpin::cli {

namespace {

struct VersionArgs {
    std::string name;
    std::string numbers; // A.B.C.D
    std::optional<int> build;
    bool json = false;
    bool addIn = false;
};

// The module a run works on, and how to name it back to the user.
struct Module {
    VersionModuleNames names;
    bool addIn;

    std::string Source() const { return names.path + ".c"; }
    std::string File(VersionFile file) const { return VersionFilePath(names.path.c_str(), file); }
    // "kelpin version COMMAND [--add-in] PATH", for a hint.
    std::string Command(const char* command) const;
};

// A word as the shell takes it back: in single quotes unless it is plain.
std::string ShellWord(const std::string& word) {
    if (!word.empty() &&
        word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                               "0123456789_./+-") == std::string::npos)
        return word;
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Module::Command(const char* command) const {
    return std::string("kelpin version ") + command + (addIn ? " --add-in " : " ") +
           ShellWord(names.path);
}

// One line of output.
void PrintOut(const std::string& line) {
    WriteStandardOutput(line + "\n");
}

// ---- Errors -------------------------------------------------------------------

// An error line about one of the module's files: "FILE: TEXT (NOTE)", the
// add-in's box text with its line breaks turned into blanks.
int ReportError(const std::string& file, std::string text, const std::string& note) {
    for (char& c : text)
        if (c == '\n') c = ' ';
    PrintError(file + ": " + text + (note.empty() ? "" : " (" + note + ")"));
    return ExitInput;
}

std::string Reason(int reason) {
    return std::strerror(reason != 0 ? reason : EIO);
}

// What to do about a source file whose line 6 cannot be read (codes 2, 4
// and 5), or whose numbers are at their end (3).
std::string Remedy(int code, const Module& module) {
    const std::string fresh = "; mend it, or delete " + module.Source() +
                              ": the next bump starts it again at 00.00.00.01 build 0001";
    switch (code) {
    case VersionBadFormat:
        return "line 6 must begin char VersionString[]=\"Ver NN.NN.NN.NN - Build NNNN, "
               "N a digit" +
               fresh;
    case VersionEndOfFile: return "the file ends before line 6 does" + fresh;
    case VersionLineTooLong: return "line 6 has 2048 characters or more" + fresh;
    case VersionOverflow:
        return "99.99.99.99 build 9999 is the last; lower the numbers with " +
               module.Command("set") + " A.B.C.D --build N";
    default: return "";
    }
}

// The error of a result code about one of the module's files: the add-in's
// message, then the system's reason or what to do.
int ReportResult(const Module& module, int code, VersionFile file, int reason) {
    return ReportError(module.File(file), VersionErrorMessage(code),
                       code == VersionCannotCreate ? Reason(reason) : Remedy(code, module));
}

// ---- Arguments ----------------------------------------------------------------

// The module of NAME: the add-in's names with --add-in, else files that
// compile. False, with the error printed, when NAME gives none.
bool ModuleOf(const VersionArgs& args, Module* module) {
    module->addIn = args.addIn;
    if (args.name.empty()) {
        PrintError("the module name is empty");
        return false;
    }
    if (args.addIn) {
        // Names beyond what the IDE hands over are cut as it cuts them.
        module->names = AddInModuleNames(args.name.substr(0, HostSymbolBufferSize - 1));
        return true;
    }
    module->names = CompilableModuleNames(args.name);
    if (IsIncludableName(module->names.include)) return true;
    PrintError(args.name + ": names no module: give DIR/NAME or DIR/NAME.c, where NAME is not "
                           "empty and holds no \", \\ or line break");
    return false;
}

// "A.B.C.D", each a decimal number of 0 to 99 ("007" is 7).
bool ParseComponents(const std::string& text, std::string components[4]) {
    std::size_t start = 0;
    for (int k = 0; k < 4; ++k) {
        std::size_t end = k < 3 ? text.find('.', start) : text.size();
        if (end == std::string::npos) return false;
        std::string field = text.substr(start, end - start);
        if (field.empty() || field.size() > 9 ||
            field.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(field) > VersionComponentMax)
            return false;
        components[k] = field;
        start = end + 1;
    }
    return true;
}

// ---- The commands ---------------------------------------------------------------

// The build step's lines: those the output pane shows, one a line; the
// output without text shows nothing.
void PrintLine(const char* line, void*) {
    if (line != nullptr) PrintOut(line);
}

int Bump(const Module& module) {
    VersionStepResult step = UpdateVersionModule(module.names, PrintLine, nullptr);
    if (step.error != VersionOk) return ReportResult(module, step.error, step.file, step.reason);
    return ExitOk;
}

int Show(const Module& module, bool json) {
    std::string path = module.Source();
    SourceText source;
    if (int error = ReadFileBytes(path, &source); error != 0)
        return ReportError(path, std::strerror(error),
                           error == ENOENT ? module.Command("bump") + " creates it" : "");
    VersionNumbers n{};
    if (int result = ReadVersionNumbers(source.view(), &n); result != VersionOk)
        return ReportResult(module, result, VersionFile::Source, 0);
    if (json) {
        const std::int32_t* c = n.components;
        PrintOut("{\"msc\":" + std::to_string(c[0]) + ",\"sc2\":" + std::to_string(c[1]) +
                 ",\"sc3\":" + std::to_string(c[2]) + ",\"lsc\":" + std::to_string(c[3]) +
                 ",\"build\":" + std::to_string(n.build) + "}");
    } else {
        PrintOut(VersionText(n));
    }
    return ExitOk;
}

int Set(const Module& module, const VersionArgs& args) {
    std::string components[4];
    if (!ParseComponents(args.numbers, components)) {
        PrintError("version " + args.numbers +
                   ": four numbers of 0 to 99 expected, as in 1.0.2.15");
        return ExitUsage;
    }
    // The numbers kept from the file and the ones written back belong
    // together: no build may count in between.
    std::string source = module.Source();
    FolderLockScope lock(source.c_str());
    VersionNumbers numbers{};
    int reason = 0;
    if (int result = LoadVersionNumbers(module.names.path.c_str(), &numbers, &reason);
        result != VersionOk) {
        if (result != VersionCannotCreate)
            return ReportError(source, VersionUnreadableMessage, Remedy(result, module));
        // The dialog takes a file it cannot open for writing for a missing one.
        std::string note = Reason(reason) + "; " +
                           (reason == ENOENT ? module.Command("bump") + " creates it"
                                             : "a file that cannot be written counts as missing");
        return ReportError(source, VersionMissingMessage, note);
    }
    for (int k = 0; k < 4; ++k)
        numbers.components[k] = VersionFieldValue(components[k].c_str());
    if (args.build) numbers.build = *args.build;
    if (SaveVersionNumbers(module.names, numbers, &reason) != VersionOk)
        return ReportResult(module, VersionCannotCreate, VersionFile::Source, reason);
    return Show(module, args.json);
}

// Runs one of the commands on the module of NAME.
template <typename Command> int Run(const VersionArgs& args, Command command) {
    Module module;
    if (!ModuleOf(args, &module)) return ExitUsage;
    return command(module);
}

} // namespace

void AddVersionCommand(CLI::App& app, Commands& commands) {
    CLI::App* version = AddCommandGroup(
        app, "version", "Keep the version module NAME.c and NAME.h that every build increments");
    const char* addInHelp = "write and read the files as the add-in does: NAME unchanged in the "
                            "file names, the include line and the guard";
    const char* nameHelp = "the module: DIR/NAME or DIR/NAME.c for DIR/NAME.c and DIR/NAME.h, "
                           "relative to the current directory";

    auto [bump, bumpArgs] = AddCommand<VersionArgs>(
        commands, *version,
        {"bump",
         "Increment the build number of NAME.c (creating NAME.c and NAME.h when missing) and "
         "print the lines the IDE's output pane would show; NAME.c includes \"NAME.h\", so it "
         "compiles from any directory"},
        [](const VersionArgs& args) { return Run(args, Bump); });
    bump->add_option("NAME", bumpArgs.name, nameHelp)->required();
    bump->add_flag("--add-in", bumpArgs.addIn, addInHelp);

    auto [show, showArgs] = AddCommand<VersionArgs>(
        commands, *version, {"show", "Print the version held in NAME.c"},
        [](const VersionArgs& args) {
            return Run(args, [&](const Module& module) { return Show(module, args.json); });
        });
    show->add_option("NAME", showArgs.name, nameHelp)->required();
    show->add_flag("--json", showArgs.json,
                   "print {\"msc\", \"sc2\", \"sc3\", \"lsc\", \"build\"}");
    show->add_flag("--add-in", showArgs.addIn, addInHelp);

    auto [set, setArgs] = AddCommand<VersionArgs>(
        commands, *version,
        {"set", "Save new numbers into NAME.c, as the Edit Version/Build dialog's OK does"},
        [](const VersionArgs& args) {
            return Run(args, [&](const Module& module) { return Set(module, args); });
        });
    set->add_option("NAME", setArgs.name, nameHelp)->required();
    set->add_option("VERSION", setArgs.numbers, "A.B.C.D, each 0 to 99")->required();
    set->add_option("--build", setArgs.build, "build number, 0 to 9999 (default: kept)")
        ->check(NumberIn(0, VersionBuildMax));
    set->add_flag("--add-in", setArgs.addIn, addInHelp);
}

} // namespace kelpin::cli
