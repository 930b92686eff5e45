// The editable form of `kelpin comment`.
#include "comment_form.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "seam/platform.h"

namespace kelpin::cli {

std::string FormatCommentForm(const std::vector<std::string>& comments,
                              const std::vector<FormField>& fields) {
    std::string form;
    for (const std::string& line : comments)
        form += line.empty() ? "#\n" : "# " + line + "\n";
    for (const FormField& field : fields) {
        form += "[" + field.name + "]\n";
        std::string text = FromControlText(field.text);
        form += text;
        if (!text.empty() && text.back() != '\n') form += '\n';
    }
    return form;
}

ParsedForm ParseCommentForm(const std::string& form, const std::vector<std::string>& names) {
    ParsedForm parsed{FormOutcome::Empty, {}, {}};
    std::istringstream in(form);
    std::string line;
    FormField* current = nullptr;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            std::string name = line.substr(1, line.size() - 2);
            if (std::find(names.begin(), names.end(), name) != names.end()) {
                auto known = std::find_if(parsed.fields.begin(), parsed.fields.end(),
                                          [&](const FormField& f) { return f.name == name; });
                if (known != parsed.fields.end()) {
                    parsed = {FormOutcome::Broken, {}, "[" + name + "] stands twice in the form"};
                    return parsed;
                }
                parsed.fields.push_back({name, {}});
                current = &parsed.fields.back();
                continue;
            }
        }
        if (current == nullptr) {
            if (line.empty() || line.front() == '#') continue;
            if (line.find_first_not_of(" \t") == std::string::npos) continue;
            parsed = {FormOutcome::Broken,
                      {},
                      "line " + std::to_string(number) + " of the form belongs to no field"};
            return parsed;
        }
        current->text += line + "\n";
    }
    if (parsed.fields.empty()) return parsed;
    parsed.outcome = FormOutcome::Fields;
    for (FormField& field : parsed.fields) {
        while (!field.text.empty() && field.text.back() == '\n')
            field.text.pop_back();
        field.text = ToControlText(field.text);
    }
    return parsed;
}

namespace {

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

ParsedForm Broken(std::string error) {
    return {FormOutcome::Broken, {}, std::move(error)};
}

} // namespace

ParsedForm EditCommentForm(const std::vector<std::string>& comments,
                           const std::vector<FormField>& fields,
                           const std::vector<std::string>& names) {
    std::error_code noTemp;
    std::filesystem::path temp = std::filesystem::temp_directory_path(noTemp);
    if (noTemp) temp = "/tmp";
    std::string pattern = (temp / "kelpin-comment-XXXXXX.txt").string();
    int fd = ::mkstemps(pattern.data(), 4);
    if (fd < 0)
        return Broken(temp.string() + ": cannot create the form there: " + std::strerror(errno) +
                      "; nothing written");
    ::close(fd);
    struct RemoveOnReturn {
        std::string path;
        ~RemoveOnReturn() { ::unlink(path.c_str()); }
    } removeForm{pattern};
    std::string form;
    if (!FileWriteAll(pattern.c_str(), FormatCommentForm(comments, fields)))
        return Broken(pattern + ": cannot write the form: " + std::strerror(errno) +
                      "; nothing written");
    if (!RunEditor(pattern)) return Broken("the editor failed; nothing written");
    if (!FileReadAll(pattern.c_str(), &form))
        return Broken(pattern + ": cannot read the form back: " + std::strerror(errno) +
                      "; nothing written");
    if (form.find('\0') != std::string::npos)
        return Broken("the form holds a NUL byte; nothing written");
    ParsedForm parsed = ParseCommentForm(form, names);
    if (parsed.outcome == FormOutcome::Empty) parsed.error = "empty form";
    if (parsed.outcome != FormOutcome::Fields) parsed.error += "; nothing written";
    return parsed;
}

} // namespace kelpin::cli
