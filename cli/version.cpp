// kelpin version: the project's version module from a Makefile or CI.
//
// bump runs the add-in's build step and set drives its version dialog, each
// on a headless host of its own with versioning on and a project whose
// VERSION symbol is the module name; show reads the numbers back.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "addin/addin.h"
#include "cli.h"
#include "platform/headless/headless.h"
#include "resources/resource.h"
#include "version/version.h"

namespace kelpin::cli {

namespace {

struct VersionArgs {
    std::string name;
    std::string numbers; // A.B.C.D
    std::optional<int> build;
    bool json = false;
};

// The session's host with a project whose VERSION symbol is name, handed
// over to the add-in, and versioning on (for this run only: the stored
// setting is left as it is).
HostWindow StartVersionProject(const std::string& name) {
    StartSession();
    headless::EchoMessageBoxes(false);
    HostWindow project = headless::Host().AddProjectWindow();
    headless::Host().Project(project)->symbols[VersionSymbol] = name;
    addInState.options |= OptVersioning;
    AddInMain(project, HostEventProject);
    return project;
}

// Every message box the add-in showed, as error lines; ExitInput if any.
int ReportBoxes(const std::string& name) {
    int status = ExitOk;
    for (const headless::MessageBoxRecord& box : headless::MessageBoxes()) {
        std::string text = box.text;
        for (char& c : text)
            if (c == '\n') c = ' ';
        PrintError(name + ": " + text);
        status = ExitInput;
    }
    return status;
}

bool CheckName(const std::string& name) {
    if (!name.empty()) return true;
    PrintError("the module name is empty");
    return false;
}

int Bump(const VersionArgs& args) {
    if (!CheckName(args.name)) return ExitUsage;
    HostWindow project = StartVersionProject(args.name);
    AddInMain(project, HostEventBuild);
    for (const std::string& line : headless::Host().OutputLines(addInState.mainWindow))
        std::printf("%s\n", line.c_str());
    return ReportBoxes(args.name);
}

int Show(const VersionArgs& args) {
    std::string path = args.name + ".c";
    VersionStream stream{path, {}};
    if (!ReadSourceFile(path, &stream.data)) return ExitInput;
    std::int32_t c[4] = {0, 0, 0, 0};
    std::int32_t build = 0;
    if (int result = ReadVersionNumbers(stream, c, &build); result != VersionOk) {
        PrintError(path + ": " + VersionErrorMessage(result));
        return ExitInput;
    }
    if (args.json) {
        nlohmann::ordered_json numbers{
            {"msc", c[0]}, {"sc2", c[1]}, {"sc3", c[2]}, {"lsc", c[3]}, {"build", build}};
        std::printf("%s\n", numbers.dump().c_str());
    } else {
        std::printf("%s\n", VersionText(c, build).c_str());
    }
    return ExitOk;
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

int Set(const VersionArgs& args) {
    if (!CheckName(args.name)) return ExitUsage;
    std::string components[4];
    if (!ParseComponents(args.numbers, components)) {
        PrintError("version " + args.numbers +
                   ": four numbers of 0 to 99 expected, as in 1.0.2.15");
        return ExitUsage;
    }
    // The numbers kept from the file and the ones written back belong
    // together: no build may count in between.
    FolderLockScope lock((args.name + ".c").c_str());
    StartVersionProject(args.name);
    // Command 11, like every command, runs only with a source editor open.
    OpenEditor(addInState.mainWindow, "\n", "C:\\kelpin.c");
    bool saved = false;
    headless::ExpectDialog([&](headless::DialogDriver& dialog) {
        const int ids[4] = {IDC_VERSION_MSC, IDC_VERSION_2SC, IDC_VERSION_3SC, IDC_VERSION_LSC};
        for (int k = 0; k < 4; ++k)
            dialog.Type(ids[k], components[k]);
        if (args.build) dialog.Type(IDC_VERSION_BUILD, std::to_string(*args.build));
        dialog.Press(UiIdOk);
        saved = dialog.Ended();
    });
    AddInCommand(CmdEditVersion);
    int status = ReportBoxes(args.name);
    if (status != ExitOk || !saved) return ExitInput;
    return Show(args);
}

} // namespace

void AddVersionCommand(CLI::App& app, int* status) {
    auto args = std::make_shared<VersionArgs>();
    CLI::App* version = app.add_subcommand(
        "version", "Keep the version module NAME.c and NAME.h that every build increments");
    version->require_subcommand(1);

    CLI::App* bump = version->add_subcommand(
        "bump", "Increment the build number of NAME.c (creating NAME.c and NAME.h when missing) "
                "and print the lines the IDE's output pane would show");
    bump->add_option("NAME", args->name, "module name, relative to the current directory")
        ->required();
    bump->callback([args, status] { *status = Bump(*args); });

    CLI::App* show = version->add_subcommand("show", "Print the version held in NAME.c");
    show->add_option("NAME", args->name, "module name")->required();
    show->add_flag("--json", args->json, "print {\"msc\", \"sc2\", \"sc3\", \"lsc\", \"build\"}");
    show->callback([args, status] { *status = Show(*args); });

    CLI::App* set = version->add_subcommand(
        "set", "Save new numbers into NAME.c, as the Edit Version/Build dialog's OK does");
    set->add_option("NAME", args->name, "module name")->required();
    set->add_option("VERSION", args->numbers, "A.B.C.D, each 0 to 99")->required();
    set->add_option("--build", args->build, "build number, 0 to 9999 (default: kept)")
        ->check(CLI::Range(0, VersionBuildMax));
    set->callback([args, status] { *status = Set(*args); });
}

} // namespace kelpin::cli
