// The editable form of `kelpin comment`.
#include "comment_form.h"

#include <algorithm>
#include <sstream>

namespace kelpin::cli {

std::string ToControlText(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

std::string FromControlText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

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

} // namespace kelpin::cli
