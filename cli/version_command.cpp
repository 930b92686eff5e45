// kelpin version: the project's version module from a Makefile or CI.
//
// bump runs the add-in's build step, set saves as the version dialog's OK
// does, and show reads the numbers back; each says what went wrong in the
// words of the add-in's own boxes.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "version/version.h"

namespace kelpin::cli {

namespace {

struct VersionArgs {
    std::string name;
    std::string numbers; // A.B.C.D
    std::optional<int> build;
    bool json = false;
};

// A box's text as one error line: "NAME: " and the text, its line breaks
// turned into blanks.
int ReportError(const std::string& name, std::string text) {
    for (char& c : text)
        if (c == '\n') c = ' ';
    PrintError(name + ": " + text);
    return ExitInput;
}

// The build step's lines: those the output pane shows, one a line; the
// output without text shows nothing.
void PrintLine(const char* line, void*) {
    if (line != nullptr) std::printf("%s\n", line);
}

bool CheckName(const std::string& name) {
    if (!name.empty()) return true;
    PrintError("the module name is empty");
    return false;
}

int Bump(const VersionArgs& args) {
    if (!CheckName(args.name)) return ExitUsage;
    // Names beyond what the IDE hands over are cut as it cuts them.
    std::string name = args.name.substr(0, HostSymbolBufferSize - 1);
    VersionStepResult step = UpdateVersionModule(name.c_str(), PrintLine, nullptr);
    if (step.error != VersionOk) return ReportError(args.name, VersionErrorMessage(step.error));
    return ExitOk;
}

int Show(const VersionArgs& args) {
    std::string path = args.name + ".c";
    std::string source;
    if (!ReadSourceFile(path, &source)) return ExitInput;
    VersionNumbers n{};
    if (int result = ReadVersionNumbers(source, &n); result != VersionOk) {
        PrintError(path + ": " + VersionErrorMessage(result));
        return ExitInput;
    }
    if (args.json) {
        const std::int32_t* c = n.components;
        nlohmann::ordered_json numbers{
            {"msc", c[0]}, {"sc2", c[1]}, {"sc3", c[2]}, {"lsc", c[3]}, {"build", n.build}};
        std::printf("%s\n", numbers.dump().c_str());
    } else {
        std::printf("%s\n", VersionText(n).c_str());
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
    VersionNumbers numbers{};
    if (int result = LoadVersionNumbers(args.name.c_str(), &numbers); result != VersionOk)
        return ReportError(args.name, result == VersionCannotCreate ? VersionMissingMessage
                                                                    : VersionUnreadableMessage);
    for (int k = 0; k < 4; ++k)
        numbers.components[k] = VersionFieldValue(components[k].c_str());
    if (args.build) numbers.build = *args.build;
    if (SaveVersionNumbers(args.name.c_str(), numbers) != VersionOk)
        return ReportError(args.name, VersionErrorMessage(VersionCannotCreate));
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
