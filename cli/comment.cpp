// kelpin comment function FILE --line N, kelpin comment module FILE: the
// comment dialogs' own flow on the headless host. The dialog opens on the
// file's text as the IDE would show it, each field given on the command line
// (or in the editor form) is typed into its box, and OK is pressed.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "addin/addin.h"
#include "cli.h"
#include "comment_form.h"
#include "json_text.h"
#include "platform/headless/headless.h"
#include "resources/resource.h"

namespace kelpin::cli {

namespace {

struct Field {
    const char* name; // option, form and JSON name
    int control;
    const char* help;
};

constexpr Field FunctionFields[] = {
    {"synopsis", IDC_SYNOPSIS, "Synopsis text"},
    {"input", IDC_INPUT, "Input text"},
    {"output", IDC_OUTPUT, "Output text"},
    {"errors", IDC_ERRORS, "Errors text (the dialog's \"Error Handling\")"},
};
constexpr Field ModuleFields[] = {
    {"author", IDC_AUTHOR, "Author text"},
    {"project", IDC_PROJECT, "Project text"},
    {"status", IDC_STATUS, "Status text"},
    {"abstract", IDC_ABSTRACT, "Abstract text"},
};

struct Request {
    bool module = false;
    std::string file;
    int line = 0;
    std::string name;
    std::string values[4];
    CLI::Option* given[4] = {};
    CLI::Option* nameOption = nullptr;
    bool toStdout = false;
    bool show = false;
    bool json = false;

    const Field* Fields() const { return module ? ModuleFields : FunctionFields; }
    bool AnyFieldGiven() const {
        for (CLI::Option* option : given)
            if (option->count() > 0) return true;
        return false;
    }
};

// What the dialog showed and what became of it.
struct Session {
    bool opened = false;
    bool found = false;
    std::string created, modified;
    std::string shown[4];
    bool pressedOk = false;
    HostSelection replaced{0, 0}; // the block's old range, or the insertion point
    int status = ExitOk;
};

std::vector<std::string> FieldNames(const Request& request) {
    std::vector<std::string> names;
    for (int i = 0; i < 4; ++i)
        names.push_back(request.Fields()[i].name);
    return names;
}

// Runs $VISUAL or $EDITOR (else vi) on a file, as git does: through the
// shell, so that the variable may carry arguments.
bool RunEditor(const std::string& path) {
    const char* editor = std::getenv("VISUAL");
    if (editor == nullptr || *editor == '\0') editor = std::getenv("EDITOR");
    if (editor == nullptr || *editor == '\0') editor = "vi";
    std::string command = std::string(editor) + " \"$@\"";
    pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), editor, path.c_str(), nullptr);
        std::_Exit(127);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Lets the user edit the fields in the editor form. On success the form's
// fields replace the shown ones; false when the form came back empty (the
// user cancels) or could not be used, with *status set.
bool EditInForm(const Request& request, const Session& session, std::string* values, int* status) {
    std::vector<FormField> fields;
    for (int i = 0; i < 4; ++i)
        fields.push_back({request.Fields()[i].name, session.shown[i]});
    std::vector<std::string> comments = {
        std::string(request.module ? "Module" : "Function") + " comment of " + request.file +
            (session.found ? "" : " (a new block)"),
        "Created:  " + (session.created.empty() ? std::string("now") : session.created),
        "Edit the text under each [name] line and save. Lines starting with",
        "\"#\" above the first field are ignored; an empty form writes nothing.",
    };
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kelpin-comment-XXXXXX.txt").string();
    int fd = ::mkstemps(pattern.data(), 4);
    if (fd < 0) {
        PrintError("cannot create the form file");
        *status = ExitInput;
        return false;
    }
    ::close(fd);
    struct RemoveOnReturn {
        std::string path;
        ~RemoveOnReturn() { ::unlink(path.c_str()); }
    } removeForm{pattern};
    std::string form;
    if (!FileWriteAll(pattern.c_str(), FormatCommentForm(comments, fields)) ||
        !RunEditor(pattern) || !FileReadAll(pattern.c_str(), &form)) {
        PrintError("the editor failed; nothing written");
        *status = ExitInput;
        return false;
    }
    ParsedForm parsed = ParseCommentForm(form, FieldNames(request));
    if (parsed.outcome == FormOutcome::Empty) {
        PrintError("empty form; nothing written");
        *status = ExitNothing;
        return false;
    }
    if (parsed.outcome == FormOutcome::Broken) {
        PrintError(parsed.error + "; nothing written");
        *status = ExitInput;
        return false;
    }
    for (const FormField& field : parsed.fields)
        for (int i = 0; i < 4; ++i)
            if (field.name == request.Fields()[i].name) values[i] = field.text;
    return true;
}

// The dialog as the user sees it: note what it shows, then type and press.
void WorkDialog(const Request& request, HostWindow editor, headless::DialogDriver& dialog,
                Session& session) {
    session.opened = true;
    HostSelection selection = headless::Host().Editor(editor)->selection;
    session.found = selection.start != selection.end;
    session.replaced = selection;
    session.created = dialog.Text(IDC_CREATED);
    session.modified = dialog.Text(IDC_MODIFIED);
    for (int i = 0; i < 4; ++i)
        session.shown[i] = dialog.Text(request.Fields()[i].control);
    if (request.show) return; // left open: the host cancels it

    std::string values[4];
    for (int i = 0; i < 4; ++i)
        values[i] = session.shown[i];
    if (!request.AnyFieldGiven() && ::isatty(STDIN_FILENO)) {
        if (!EditInForm(request, session, values, &session.status)) return;
    } else {
        for (int i = 0; i < 4; ++i)
            if (request.given[i]->count() > 0) values[i] = ToControlText(request.values[i]);
    }
    for (int i = 0; i < 4; ++i)
        if (values[i] != session.shown[i]) dialog.Type(request.Fields()[i].control, values[i]);
    dialog.Press(UiIdOk);
    session.pressedOk = true;
}

// The block the dialog wrote has bare line feeds; in a file whose lines end
// in "\r\n" its lines take that ending too, and nothing else changes.
std::string KeepLineEndings(const std::string& before, std::string after, const Session& session) {
    std::size_t crlf = 0, bare = 0;
    for (std::size_t i = 0; i < before.size(); ++i)
        if (before[i] == '\n') ++(i > 0 && before[i - 1] == '\r' ? crlf : bare);
    if (crlf <= bare) return after;
    auto start = static_cast<std::size_t>(std::min(session.replaced.start, session.replaced.end));
    auto old = static_cast<std::size_t>(std::abs(session.replaced.end - session.replaced.start));
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
    return path;
}

void PrintShown(const Request& request, const Session& session) {
    if (request.json) {
        // The fields as the dialog shows them, line breaks "\r\n".
        std::string out = std::string("{\n  \"found\": ") + (session.found ? "true" : "false");
        auto member = [&out](const char* name, const std::string& text) {
            out += ",\n  \"";
            out += name;
            out += "\": ";
            AppendJsonString(&out, text);
        };
        member("created", session.created);
        member("modified", session.modified);
        for (int i = 0; i < 4; ++i)
            member(request.Fields()[i].name, session.shown[i]);
        out += "\n}\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        return;
    }
    std::printf("found: %s\ncreated: %s\nmodified: %s\n", session.found ? "yes" : "no",
                session.created.c_str(), session.modified.c_str());
    for (int i = 0; i < 4; ++i) {
        std::string text = FromControlText(session.shown[i]);
        std::printf("[%s]\n%s%s", request.Fields()[i].name, text.c_str(),
                    text.empty() || text.back() == '\n' ? "" : "\n");
    }
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
    // A run that rewrites FILE holds its folder's lock from the read to the
    // replace, so that runs on one file at once each keep what the others
    // wrote.
    std::optional<FolderLockScope> lock;
    if (!request.show && !request.toStdout) lock.emplace(request.file.c_str());
    std::string text;
    if (!ReadSourceFile(request.file, &text)) return ExitInput;
    if (text.empty()) {
        PrintError(request.file + ": the file is empty; nothing to comment");
        return ExitNothing;
    }

    HostWindow main = StartSession();
    headless::EchoMessageBoxes(false);
    HostWindow editor =
        OpenEditor(main, text, request.module ? ModulePath(request) : DocumentPath(request.file),
                   request.module ? 0 : request.line);
    Session session;
    headless::ExpectDialog(
        [&](headless::DialogDriver& dialog) { WorkDialog(request, editor, dialog, session); });
    AddInCommand(request.module ? CmdModuleComment : CmdFunctionComment);

    if (!session.opened) {
        if (!headless::MessageBoxes().empty()) {
            std::string message = headless::MessageBoxes().front().text;
            while (!message.empty() && message.back() == '\n')
                message.pop_back();
            PrintError(message);
        } else {
            PrintError(request.file + ": the comment dialog did not open");
        }
        return ExitNothing;
    }
    if (request.show) {
        PrintShown(request, session);
        return ExitOk;
    }
    if (!session.pressedOk) return session.status;

    std::string result = KeepLineEndings(text, headless::Host().Editor(editor)->text, session);
    if (request.toStdout) {
        std::fwrite(result.data(), 1, result.size(), stdout);
        return std::fflush(stdout) == 0 ? ExitOk : ExitInput;
    }
    if (!FileReplace(request.file.c_str(), result)) {
        PrintError(request.file + ": cannot write the file; it is left as it was");
        return ExitInput;
    }
    return ExitOk;
}

void AddCommon(CLI::App* command, Request& request) {
    command->add_option("FILE", request.file, "C source file")->required();
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

} // namespace

void AddCommentCommand(CLI::App& app, int* status) {
    CLI::App* comment = app.add_subcommand(
        "comment", "Write or edit the marked comment block of a function or of a module");
    comment->require_subcommand(1);
    static const char* Footer =
        "Each field option replaces that field; the others keep what the block holds.\n"
        "With no field option and a terminal on stdin, $VISUAL or $EDITOR opens a form\n"
        "with the four fields. Dates follow SOURCE_DATE_EPOCH when it is set.\n";

    auto function = std::make_shared<Request>();
    CLI::App* fn = comment->add_subcommand(
        "function", "The block above the function whose body holds line N, as \"Edit "
                    "function comment\" writes it");
    fn->footer(Footer);
    AddCommon(fn, *function);
    fn->add_option("--line", function->line, "1-based line inside the function's body")
        ->option_text("N")
        ->required()
        ->check(CLI::PositiveNumber);
    fn->callback([function, status] { *status = Run(*function); });

    auto module = std::make_shared<Request>();
    module->module = true;
    CLI::App* mod = comment->add_subcommand(
        "module", "The block at the top of FILE, as \"Edit module comment\" writes it");
    mod->footer(Footer);
    AddCommon(mod, *module);
    module->nameOption =
        mod->add_option("--name", module->name, "module name (default: FILE's file name)")
            ->option_text("NAME");
    mod->callback([module, status] { *status = Run(*module); });
}

} // namespace kelpin::cli
