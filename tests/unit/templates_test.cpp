// The headless dialogs show what the real DLL's resource script describes:
// the same captions and, in template order, the same control ids and texts.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "platform/headless/templates.h"

namespace kelpin::headless {
namespace {

std::string ReadSourceFile(const std::string& relative) {
    std::ifstream in(std::string(KELPIN_SOURCE_DIR) + "/" + relative);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

std::map<std::string, int> ResourceIds() {
    std::map<std::string, int> ids{{"IDOK", 1}, {"IDCANCEL", 2}, {"-1", -1}};
    std::istringstream header(ReadSourceFile("resources/resource.h"));
    std::regex define(R"(#define\s+(\w+)\s+(\d+))");
    std::smatch m;
    for (std::string line; std::getline(header, line);)
        if (std::regex_search(line, m, define)) ids[m[1]] = std::stoi(m[2]);
    return ids;
}

struct ScriptControl {
    int id;
    std::string text;
};
struct ScriptDialog {
    std::string caption;
    std::vector<ScriptControl> controls;
};

// The dialogs of the resource script, by id.
std::map<int, ScriptDialog> ScriptDialogs() {
    std::map<std::string, int> ids = ResourceIds();
    std::map<int, ScriptDialog> dialogs;
    std::istringstream script(ReadSourceFile("resources/kelpin.rc"));
    std::regex begin(R"(^(\w+)\s+DIALOG\s)");
    std::regex caption(R"(^CAPTION\s+\"(.*)\")");
    std::regex textFirst(
        R"(^\s+(?:PUSHBUTTON|LTEXT|GROUPBOX|AUTOCHECKBOX|CONTROL)\s+\"(.*?)\",\s*([\w-]+))");
    std::regex edit(R"(^\s+EDITTEXT\s+([\w-]+))");
    ScriptDialog* current = nullptr;
    std::smatch m;
    for (std::string line; std::getline(script, line);) {
        if (std::regex_search(line, m, begin)) {
            current = &dialogs[ids.at(m[1])];
        } else if (current && std::regex_search(line, m, caption)) {
            current->caption = m[1];
        } else if (current && std::regex_search(line, m, textFirst)) {
            current->controls.push_back({ids.at(m[2]), m[1]});
        } else if (current && std::regex_search(line, m, edit)) {
            current->controls.push_back({ids.at(m[1]), ""});
        } else if (line == "END") {
            current = nullptr;
        }
    }
    return dialogs;
}

TEST(DialogTemplates, MatchTheResourceScript) {
    std::map<int, ScriptDialog> script = ScriptDialogs();
    ASSERT_EQ(script.size(), 6u);
    ASSERT_EQ(DialogTemplates().size(), 6u);
    for (const DialogTemplate& t : DialogTemplates()) {
        SCOPED_TRACE(t.id);
        ASSERT_TRUE(script.count(t.id));
        const ScriptDialog& s = script.at(t.id);
        EXPECT_EQ(s.caption, t.caption);
        ASSERT_EQ(s.controls.size(), t.controls.size());
        for (std::size_t i = 0; i < s.controls.size(); ++i) {
            EXPECT_EQ(s.controls[i].id, t.controls[i].id) << "control " << i;
            EXPECT_EQ(s.controls[i].text, t.controls[i].text) << "control " << i;
        }
    }
}

} // namespace
} // namespace kelpin::headless
