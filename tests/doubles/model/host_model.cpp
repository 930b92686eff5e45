#include "doubles/model/host_model.h"

#include "host/editor_text.h"

#include <algorithm>
#include <cstring>

namespace kelpin::headless {

namespace {

// Copies text into a caller's buffer of capacity bytes (terminator included),
// cut as the host cuts it.
void CopyOut(const std::string& text, char* buffer, std::size_t capacity) {
    if (capacity == 0) return;
    std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

} // namespace

HostWindow HostModel::Allocate(HostWindow handle) {
    if (handle == 0) handle = next_++;
    return handle;
}

HostWindow HostModel::AddMainWindow(HostWindow handle) {
    handle = Allocate(handle);
    mains_[handle] = MainWindow{};
    return handle;
}

HostWindow HostModel::AddProjectWindow(HostWindow handle) {
    handle = Allocate(handle);
    projects_[handle] = ProjectWindow{};
    return handle;
}

HostWindow HostModel::AddEditor(std::string text, std::string path, HostWindow handle) {
    handle = Allocate(handle);
    EditorWindow editor;
    editor.text = std::move(text);
    editor.path = std::move(path);
    editors_[handle] = std::move(editor);
    return handle;
}

MainWindow* HostModel::Main(HostWindow window) {
    auto it = mains_.find(window);
    return it == mains_.end() ? nullptr : &it->second;
}

ProjectWindow* HostModel::Project(HostWindow window) {
    auto it = projects_.find(window);
    return it == projects_.end() ? nullptr : &it->second;
}

EditorWindow* HostModel::Editor(HostWindow window) {
    auto it = editors_.find(window);
    return it == editors_.end() ? nullptr : &it->second;
}

std::vector<std::string> HostModel::OutputLines(HostWindow main) const {
    std::vector<std::string> lines;
    auto it = mains_.find(main);
    if (it == mains_.end()) return lines;
    for (const OutputEntry& entry : it->second.output)
        if (entry.hasText) lines.push_back(entry.text);
    return lines;
}

std::intptr_t HostModel::Handle(HostWindow window, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
    if (window == 0) return 0;
    if (MainWindow* main = Main(window)) return HandleMain(*main, message, wParam, lParam);
    if (ProjectWindow* project = Project(window))
        return HandleProject(*project, message, wParam, lParam);
    if (EditorWindow* editor = Editor(window))
        return HandleEditor(*editor, message, wParam, lParam);
    return 0;
}

std::intptr_t HostModel::HandleMain(MainWindow& main, unsigned message, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
    switch (message) {
    case HostMsgAddCommand: {
        const auto* info = reinterpret_cast<const HostCommandInfo*>(lParam);
        if (info == nullptr || info->size != HostCommandInfoSize) return 0;
        main.addRequests.push_back(info->id);
        if (main.refuseAdd.count(info->id)) return 0;
        main.commands.push_back({info->id, info->name ? info->name : "", info->icon, info->flags});
        return main.addResult;
    }
    case HostMsgRemoveCommand: {
        auto id = static_cast<std::int32_t>(wParam);
        main.removeRequests.push_back(id);
        if (main.refuseRemove.count(id)) return 0;
        std::erase_if(main.commands, [id](const RegisteredCommand& c) { return c.id == id; });
        return 1;
    }
    case HostMsgGetActiveEditor: return static_cast<std::intptr_t>(main.activeEditor);
    case HostMsgOutput:
        if (lParam == 0)
            main.output.push_back({false, {}});
        else
            main.output.push_back({true, reinterpret_cast<const char*>(lParam)});
        return 1;
    default: return 0;
    }
}

std::intptr_t HostModel::HandleProject(ProjectWindow& project, unsigned message,
                                       std::uintptr_t wParam, std::intptr_t lParam) {
    switch (message) {
    case HostMsgGetProjectSymbol: {
        const char* name = reinterpret_cast<const char*>(wParam);
        char* buffer = reinterpret_cast<char*>(lParam);
        if (name == nullptr || buffer == nullptr) return 0;
        std::uint32_t capacity;
        std::memcpy(&capacity, buffer, sizeof capacity);
        auto it = project.symbols.find(name);
        if (it == project.symbols.end()) return 0;
        CopyOut(it->second, buffer, std::min<std::size_t>(capacity + 1u, HostSymbolBufferSize));
        return 1;
    }
    case HostMsgAddProjectFile: {
        const char* path = reinterpret_cast<const char*>(lParam);
        if (path == nullptr || project.refuseAddFile) return 0;
        project.addedFiles.push_back(path);
        return 1;
    }
    default: return 0;
    }
}

std::intptr_t HostModel::HandleEditor(EditorWindow& editor, unsigned message, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
    std::string& text = editor.text;
    HostSelection& sel = editor.selection;
    auto low = [&] { return std::min(sel.start, sel.end); };
    auto high = [&] { return std::max(sel.start, sel.end); };
    switch (message) {
    case HostMsgGetEditorKind: return editor.kind;
    case HostMsgGetDocumentInfo: {
        auto* info = reinterpret_cast<HostDocumentInfo*>(lParam);
        if (info == nullptr || editor.refuseDocumentInfo || info->size != HostDocumentInfoSize)
            return 0;
        info->kind = static_cast<std::uint32_t>(editor.kind);
        CopyOut(editor.path, info->path, sizeof info->path);
        return 1;
    }
    case HostMsgGetText: {
        char* buffer = reinterpret_cast<char*>(lParam);
        if (buffer == nullptr) return 0;
        CopyOut(text, buffer, wParam + 1);
        return static_cast<std::intptr_t>(std::min<std::size_t>(text.size(), wParam));
    }
    case HostMsgGetTextLength: return static_cast<std::intptr_t>(text.size());
    case HostMsgGetSelectedText: {
        char* buffer = reinterpret_cast<char*>(lParam);
        if (buffer == nullptr) return 0;
        std::string selected = text.substr(low(), high() - low());
        CopyOut(selected, buffer, wParam + 1);
        return static_cast<std::intptr_t>(std::min<std::size_t>(selected.size(), wParam));
    }
    case HostMsgReplaceSelection: {
        const char* replacement = reinterpret_cast<const char*>(lParam);
        if (replacement == nullptr) return 0;
        std::int32_t at = low();
        text.replace(at, high() - at, replacement);
        sel.start = sel.end = at + static_cast<std::int32_t>(std::strlen(replacement));
        return 1;
    }
    case HostMsgGetSelection: {
        auto* out = reinterpret_cast<HostSelection*>(lParam);
        if (out == nullptr || editor.refuseSelection) return 0;
        *out = sel;
        return 1;
    }
    case HostMsgSetSelection: {
        const auto* in = reinterpret_cast<const HostSelection*>(lParam);
        if (in == nullptr) return 0;
        sel.start = ClampToText(in->start, text);
        sel.end = ClampToText(in->end, text);
        return 1;
    }
    case HostMsgLineIndex: {
        auto line = static_cast<std::int32_t>(wParam);
        // As an edit control does, line -1 means the caret's line.
        if (line == -1) line = LineOfPosition(text, sel.start);
        return LineIndexOf(text, line);
    }
    case HostMsgLineFromChar: {
        auto position = static_cast<std::int32_t>(wParam);
        if (position == -1) position = sel.start;
        return LineOfPosition(text, position);
    }
    case HostMsgScrollCaret: ++editor.scrolls; return 1;
    case HostMsgFindText: {
        const char* needle = reinterpret_cast<const char*>(lParam);
        if (needle == nullptr) return -1;
        auto flags = static_cast<unsigned>(wParam);
        std::int32_t from = (flags & HostFindDown) ? high() : low();
        return FindInText(text, needle, from, flags);
    }
    default: return 0;
    }
}

} // namespace kelpin::headless
