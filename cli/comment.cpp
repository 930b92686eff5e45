// kelpin comment function FILE --line N, kelpin comment module FILE: what the
// comment dialogs do, on the file's text. The block is found as the dialog
// finds it, its fields read back as the dialog shows them, each field given
// on the command line (or in the editor form) replaces its own, and the new
// block takes the old one's place, as the dialog's OK does.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "cli.h"
#include "comment_form.h"
#include "comments/comments.h"
#include "function_records.h"
#include "host/editor_text.h"
#include "json_text.h"
#include "output.h"
#include "seam/platform.h"

namespace kelpin::cli {

namespace {

struct Field {
    const char* name; // option, form and JSON name
    const char* help;
};

// The four fields of each kind, in the order of the block.
constexpr Field FunctionFields[] = {
    {"synopsis", "Synopsis text"},
    {"input", "Input text"},
    {"output", "Output text"},
    {"errors", "Errors text (the dialog's \"Error Handling\")"},
};
constexpr Field ModuleFields[] = {
    {"author", "Author text"},
    {"project", "Project text"},
    {"status", "Status text"},
    {"abstract", "Abstract text"},
};

struct Request {
    bool module = false;
    std::string file;
    int line = 0;
    std::string name; // the module's, or the function's to comment
    std::string values[4];
    CLI::Option* given[4] = {};
    CLI::Option* nameOption = nullptr;
    CLI::Option* lineOption = nullptr;
    bool toStdout = false;
    bool show = false;
    bool json = false;
    bool addIn = false;

    const Field* Fields() const { return module ? ModuleFields : FunctionFields; }
    bool AnyFieldGiven() const {
        for (CLI::Option* option : given)
            if (option->count() > 0) return true;
        return false;
    }
};

// The block found for the request and its fields as the dialog shows them.
struct Found {
    std::string name; // the function's or the module's
    BlockSite site;
    BlockFields fields;
};

std::vector<std::string> FieldNames(const Request& request) {
    std::vector<std::string> names;
    for (int i = 0; i < 4; ++i)
        names.push_back(request.Fields()[i].name);
    return names;
}

// Lets the user edit the fields in the editor form. On success the form's
// fields replace the shown ones; false when the form came back empty (the
// user cancels) or could not be used, with *status set.
bool EditInForm(const Request& request, const Found& found, std::string* values, int* status) {
    std::vector<FormField> fields;
    for (int i = 0; i < 4; ++i)
        fields.push_back({request.Fields()[i].name, found.fields.texts[i]});
    const std::string& created = found.fields.created;
    std::vector<std::string> comments = {
        std::string(request.module ? "Module" : "Function") + " comment of " + request.file +
            (found.site.found ? "" : " (a new block)"),
        "Created:  " + (created.empty() ? std::string("now") : created),
        "Edit the text under each [name] line and save. Lines starting with",
        "\"#\" above the first field are ignored; an empty form writes nothing.",
    };
    ParsedForm parsed = EditCommentForm(comments, fields, FieldNames(request));
    if (parsed.outcome != FormOutcome::Fields) {
        PrintError(parsed.error);
        *status = parsed.outcome == FormOutcome::Empty ? ExitNothing : ExitInput;
        return false;
    }
    for (const FormField& field : parsed.fields)
        for (int i = 0; i < 4; ++i)
            if (field.name == request.Fields()[i].name) values[i] = field.text;
    return true;
}

// The block written has bare line feeds; in a file whose lines end in "\r\n"
// its lines take that ending too, and nothing else changes.
std::string KeepLineEndings(const std::string& before, std::string after, const BlockSite& site) {
    if (!EndsLinesWithCrlf(before)) return after;
    auto start = static_cast<std::size_t>(site.start);
    auto old = static_cast<std::size_t>(site.end - site.start);
    std::size_t length = after.size() - (before.size() - old);
    std::string block = ToControlText(after.substr(start, length));
    return after.replace(start, length, block);
}

// The document path the IDE would give: the file's own, or one whose file
// name is the module name asked for. The record holds 259 characters; the
// dialog only uses the file name, so a longer path is cut to it.
std::string ModulePath(const Request& request) {
    std::string path = DocumentPath(request.file);
    std::string name = request.nameOption->count() > 0
                           ? request.name
                           : std::filesystem::path(request.file).filename().string();
    path = path.substr(0, path.rfind('\\') + 1) + name;
    if (path.size() > 259) path = name;
    return path.substr(0, 259);
}

// The block of the function the request names, or of the module, and its
// fields; false (with the message and *status) when there is no such
// function.
bool FindBlock(const Request& request, const std::string& text, Found* found, int* status) {
    BlockKind kind = request.module ? BlockKind::Module : BlockKind::Function;
    if (request.module) {
        found->name = ModuleNameOf(ModulePath(request));
        found->site = FindModuleBlock(text, found->name.c_str());
    } else if (request.addIn) {
        CurrentFunction function =
            FindCurrentFunction(text.c_str(), CaretLineOf(text, request.line));
        if (function.declaration[0] == '\0') {
            NotInAFunction(request.file, request.line);
            *status = ExitNothing;
            return false;
        }
        found->name = function.name;
        found->site = FindFunctionBlock(text, function);
    } else {
        // The block stands above the definition's first line.
        std::vector<Listed> functions = PreciseFunctionsOf(text, false);
        const Listed* function = nullptr;
        if (!request.name.empty()) {
            function = FunctionNamed(request.file, request.name, functions, status);
        } else if (!(function = FunctionAtLine(text, functions, request.line))) {
            NotInAFunction(request.file, request.line);
            *status = ExitNothing;
        }
        if (function == nullptr) return false;
        found->name = function->name;
        found->site = FindFunctionBlockAt(text, found->name.c_str(), function->first - 1);
    }
    if (found->site.found) found->fields = ReadBlockFields(kind, found->site.block);
    return true;
}

void PrintShown(const Request& request, const Found& found) {
    const BlockFields& shown = found.fields;
    std::string out;
    if (request.json) {
        // The fields as the dialog shows them, line breaks "\r\n".
        JsonBytes bytes = request.addIn ? JsonBytes::Latin1 : JsonBytes::Utf8;
        out = std::string("{\n  \"found\": ") + (found.site.found ? "true" : "false");
        auto member = [&out, bytes](const char* name, const std::string& text) {
            out += ",\n  \"";
            out += name;
            out += "\": ";
            AppendJsonString(&out, text, bytes);
        };
        member("created", shown.created);
        member("modified", shown.modified);
        for (int i = 0; i < 4; ++i)
            member(request.Fields()[i].name, shown.texts[i]);
        out += "\n}\n";
    } else {
        out = std::string("found: ") + (found.site.found ? "yes" : "no") +
              "\ncreated: " + shown.created + "\nmodified: " + shown.modified + "\n";
        for (int i = 0; i < 4; ++i) {
            std::string text = FromControlText(shown.texts[i]);
            out += std::string("[") + request.Fields()[i].name + "]\n" + text +
                   (text.empty() || text.back() == '\n' ? "" : "\n");
        }
    }
    WriteStandardOutput(out);
}

int Run(const Request& request) {
    // A name the IDE could never give: a directory part, a comment end that
    // would close the block early and break the file, or a line break that
    // would split its name line.
    if (request.module && request.name.find_first_of("\\\r\n") != std::string::npos) {
        PrintError("--name: a module name holds no \"\\\" and no line break");
        return ExitUsage;
    }
    if (request.module && request.name.find("*/") != std::string::npos) {
        PrintError("--name: a module name holds no \"*/\"");
        return ExitUsage;
    }
    bool edits = !request.show && !request.toStdout;
    bool form = !request.show && !request.AnyFieldGiven();
    // A run that rewrites FILE holds its folder's lock from the read to the
    // replace, so that runs on one file at once each keep what the others
    // wrote. A link is edited where it leads.
    std::optional<FolderLockScope> lock;
    if (edits) lock.emplace(WriteTarget(request.file).c_str());
    std::string text;
    if (!ReadSourceFile(request.file, &text)) return ExitInput;
    if (text.empty()) {
        PrintError(request.file + ": the file is empty; nothing to comment");
        return ExitNothing;
    }
    if (!request.show && !CheckEditableText(request.file, text)) return ExitInput;
    // An editor shows no byte-order mark: the blocks go after it.
    std::string mark = text.substr(0, ByteOrderMarkLength(text));
    text.erase(0, mark.size());

    Found found;
    int status = ExitOk;
    if (!FindBlock(request, text, &found, &status)) return status;
    if (request.show) {
        PrintShown(request, found);
        return ExitOk;
    }

    std::string values[4];
    for (int i = 0; i < 4; ++i)
        values[i] = found.fields.texts[i];
    if (form && ::isatty(STDIN_FILENO)) {
        if (!EditInForm(request, found, values, &status)) return status;
    } else if (form && !request.toStdout) {
        // Nobody at a terminal to fill the form in: writing the block as it
        // stands would put an empty one into FILE. To standard output it is
        // the block refreshed (its name and Modified line), and FILE keeps
        // what it holds.
        PrintError("no field given, and no terminal to edit the form in: nothing written (give "
                   "the fields as options, see kelpin comment " +
                   std::string(request.module ? "module" : "function") + " --help)");
        return ExitUsage;
    } else {
        for (int i = 0; i < 4; ++i)
            if (request.given[i]->count() > 0) values[i] = ToControlText(request.values[i]);
    }
    std::string texts[4];
    for (int i = 0; i < 4; ++i)
        texts[i] = AsRead(values[i]);
    std::string block = BuildCommentBlock(request.module ? BlockKind::Module : BlockKind::Function,
                                          found.name, AsRead(found.fields.created), BlockDateNow(),
                                          {texts[0], texts[1], texts[2], texts[3]});

    const BlockSite& site = found.site;
    std::string result = text;
    result.replace(static_cast<std::size_t>(site.start),
                   static_cast<std::size_t>(site.end - site.start), block);
    result = mark + KeepLineEndings(text, std::move(result), site);
    return WriteResult(request.toStdout ? std::string() : request.file, result);
}

void AddCommon(CLI::App* command, Request& request) {
    AddFileArgument(command, &request.file);
    CLI::Option* show = command->add_flag(
        "--show", request.show, "print the fields read from the existing block; write nothing");
    command
        ->add_flag("--stdout", request.toStdout,
                   "write the resulting text to standard output; FILE is left untouched")
        ->excludes(show);
    command->add_flag("--json", request.json, "with --show: print them as JSON")->needs(show);
    for (int i = 0; i < 4; ++i) {
        const Field& field = request.Fields()[i];
        request.given[i] =
            command
                ->add_option(std::string("--") + field.name, request.values[i],
                             std::string(field.help) + "; a line feed in T starts a new line")
                ->option_text("T")
                ->excludes(show);
    }
}

// kelpin comment function: one of --line and --name is needed.
int RunFunctionComment(const Request& request) {
    if (request.lineOption->count() == 0 && request.nameOption->count() == 0) {
        PrintError("comment function: give --line N or --name NAME (see kelpin comment "
                   "function --help)");
        return ExitUsage;
    }
    return Run(request);
}

} // namespace

void AddCommentCommand(CLI::App& app, Commands& commands) {
    CLI::App* comment = AddCommandGroup(
        app, "comment", "Write or edit the marked comment block of a function or of a module");
    const std::string footer =
        "Each field option replaces that field; the others keep what the block holds.\n"
        "With no field option, $VISUAL or $EDITOR opens a form with the four fields when\n"
        "standard input is a terminal; without one, nothing is written to FILE (exit 2),\n"
        "and --stdout prints the block refreshed, its fields kept. Dates follow\n"
        "SOURCE_DATE_EPOCH when it is set. A file that starts with a byte-order mark\n"
        "keeps it first; a file with a NUL byte is not edited.\n";

    auto [fn, function] = AddCommand<Request>(
        commands, *comment,
        {"function",
         "The block above the function at line N or called NAME, in the format \"Edit function "
         "comment\" writes"},
        RunFunctionComment);
    fn->footer("One of --line and --name is needed. A function's lines run from the first "
               "line of its\ndeclaration to its closing brace, and its block stands above "
               "that first line.\n" +
               footer);
    AddCommon(fn, function);
    function.lineOption = AddLineOption(fn, &function.line,
                                        "a 1-based line of the function (with --add-in: of "
                                        "its body)");
    function.nameOption =
        fn->add_option("--name", function.name, "the function of that name")->option_text("NAME");
    function.lineOption->excludes(function.nameOption);
    CLI::Option* addIn = AddAddInFlag(
        fn, &function.addIn,
        "find the function and its block as \"Edit function comment\" does: the function "
        "whose body holds line N, the block above its header's last line");
    function.nameOption->excludes(addIn);

    auto [mod, module] = AddCommand<Request>(
        commands, *comment,
        {"module", "The block at the top of FILE, as \"Edit module comment\" writes it"}, Run);
    module.module = true;
    mod->footer(footer);
    AddCommon(mod, module);
    module.nameOption =
        mod->add_option("--name", module.name, "module name (default: FILE's file name)")
            ->option_text("NAME");
    AddAddInFlag(mod, &module.addIn,
                 "read the block's fields as the add-in does (JSON text a "
                 "byte a character)");
}

} // namespace kelpin::cli
