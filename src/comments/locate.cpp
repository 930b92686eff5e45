// Finding the block of a function or module. The search (comments/locate.h)
// runs on the host's editor in the dialogs; here it runs on a text whose
// selection is kept the way an edit control keeps its own.
#include "comments/locate.h"

#include <algorithm>
#include <cstring>

#include "comments/kind.h"
#include "host/editor_text.h"
#include "scanner/chars.h"

namespace kelpin {

namespace {

// The name line examines at most this many characters after the label.
constexpr std::size_t NameValueLimit = 4096;

std::string WithoutSpaces(std::string_view text) {
    std::string out;
    for (char c : text)
        if (!IsWhitespace(c)) out += c;
    return out;
}

// A text and its selection, answering as the host's source editor does.
struct TextBlockEditor {
    std::string_view text;
    HostSelection selection;

    std::int32_t Low() const { return std::min(selection.start, selection.end); }
    std::int32_t High() const { return std::max(selection.start, selection.end); }

    void MoveCaret(std::int32_t position, unsigned flags) {
        if (flags & MoveCaretLine) position = LineIndex(position);
        Select(position, position);
    }
    std::int32_t Find(unsigned flags, const char* needle) {
        return FindInText(text, needle, (flags & HostFindDown) ? High() : Low(), flags);
    }
    void Select(std::int32_t start, std::int32_t end) {
        selection = {ClampToText(start, text), ClampToText(end, text)};
    }
    std::intptr_t SelectedText(std::size_t size, std::string* out) {
        std::string_view selected =
            text.substr(static_cast<std::size_t>(Low()), static_cast<std::size_t>(High() - Low()));
        selected = selected.substr(0, std::min(selected.size(), size - 1));
        out->assign(selected.substr(0, std::min(selected.find('\0'), selected.size())));
        return static_cast<std::intptr_t>(selected.size());
    }
    std::int32_t LineIndex(std::int32_t line) {
        // As an edit control does, line -1 means the caret's line.
        if (line == -1) line = LineOfPosition(text, selection.start);
        return LineIndexOf(text, line);
    }
    std::int32_t TextLength() { return static_cast<std::int32_t>(text.size()); }
};
static_assert(BlockEditor<TextBlockEditor>);

BlockSite SiteOf(const TextBlockEditor& editor, std::int32_t found, std::string block) {
    return {found >= 0, editor.Low(), editor.High(), std::move(block)};
}

} // namespace

bool BlockNameMatches(std::string_view block, const char* label, const char* name) {
    std::size_t at = block.find(label);
    if (at == std::string_view::npos) return false;
    std::string_view line = block.substr(at + std::strlen(label), NameValueLimit);
    line = line.substr(0, line.find('\n'));
    std::string value = WithoutSpaces(line);
    return !value.empty() && value[0] == ':' &&
           value.compare(1, std::string::npos, WithoutSpaces(name)) == 0;
}

std::int32_t LocateCommentBlockInText(std::string_view text, HostSelection* selection,
                                      const char* label, const char* name, std::int32_t position,
                                      unsigned flags, std::string* blockText) {
    TextBlockEditor editor{text, *selection};
    std::int32_t found = LocateBlock(editor, label, name, position, flags, blockText);
    *selection = editor.selection;
    return found;
}

BlockSite FindFunctionBlock(std::string_view text, const CurrentFunction& function) {
    TextBlockEditor editor{text, {0, 0}};
    return FindFunctionBlockAt(text, function.name, FunctionBlockLine(editor, function.startLine));
}

BlockSite FindFunctionBlockAt(std::string_view text, const char* name, std::int32_t line) {
    const BlockKindInfo& kind = KindInfo(BlockKind::Function);
    TextBlockEditor editor{text, {0, 0}};
    std::string block;
    std::int32_t found = LocateBlock(editor, kind.nameWord, name, line, kind.locateFlags, &block);
    if (found < 0) {
        std::int32_t at = editor.LineIndex(line);
        editor.Select(at, at);
    }
    return SiteOf(editor, found, std::move(block));
}

BlockSite FindModuleBlock(std::string_view text, const char* moduleName) {
    const BlockKindInfo& kind = KindInfo(BlockKind::Module);
    TextBlockEditor editor{text, {0, 0}};
    std::string block;
    std::int32_t found =
        LocateBlock(editor, kind.nameWord, moduleName, 0, kind.locateFlags, &block);
    if (found < 0) editor.Select(0, 0);
    return SiteOf(editor, found, std::move(block));
}

std::string ModuleNameOf(std::string_view documentPath) {
    if (documentPath.empty()) return {};
    std::size_t last = documentPath.rfind('\\');
    if (last == std::string_view::npos || last == 0) return std::string(documentPath);
    return std::string(documentPath.substr(last + 1));
}

} // namespace kelpin
