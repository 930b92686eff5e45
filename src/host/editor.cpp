// The editor helpers: each is one or a few host messages.
#include "host/editor.h"

#include <cstring>
#include <new>
#include <vector>

namespace kelpin {

HostWindow ActiveEditor(HostWindow main) {
    return static_cast<HostWindow>(PlatformSendMessage(main, HostMsgGetActiveEditor, 0, 0));
}

int MoveCaret(HostWindow main, std::int32_t position, unsigned flags) {
    // No check for a missing editor: messages to no window do nothing.
    HostWindow editor = ActiveEditor(main);
    if (flags & MoveCaretLine) position = EditorLineIndex(editor, position);
    SetEditorSelection(editor, position, position);
    if (flags & MoveCaretScroll) PlatformSendMessage(editor, HostMsgScrollCaret, 0, 0);
    return 1;
}

std::int32_t CaretLine(HostWindow main) {
    HostWindow editor = ActiveEditor(main);
    if (editor == 0) return -1;
    if (PlatformSendMessage(editor, HostMsgGetEditorKind, 0, 0) != HostKindSource) return -1;
    HostSelection selection{0, 0};
    if (PlatformSendMessage(editor, HostMsgGetSelection, 0,
                            reinterpret_cast<std::intptr_t>(&selection)) == 0)
        return -1;
    return static_cast<std::int32_t>(PlatformSendMessage(
               editor, HostMsgLineFromChar, static_cast<std::uintptr_t>(selection.start), 0)) +
           1;
}

std::unique_ptr<char[]> FetchEditorText(HostWindow main) {
    HostWindow editor = ActiveEditor(main);
    if (editor == 0) return nullptr;
    if (PlatformSendMessage(editor, HostMsgGetEditorKind, 0, 0) != HostKindSource) return nullptr;
    std::intptr_t length = PlatformSendMessage(editor, HostMsgGetTextLength, 0, 0);
    if (length <= 0) return nullptr;
    std::unique_ptr<char[]> text(new (std::nothrow) char[static_cast<std::size_t>(length) + 1]);
    if (text == nullptr) return nullptr;
    text[length] = '\0';
    if (PlatformSendMessage(editor, HostMsgGetText, static_cast<std::uintptr_t>(length),
                            reinterpret_cast<std::intptr_t>(text.get())) <= 0)
        return nullptr;
    return text;
}

void SetEditorSelection(HostWindow editor, std::int32_t start, std::int32_t end) {
    HostSelection selection{start, end};
    PlatformSendMessage(editor, HostMsgSetSelection, 0,
                        reinterpret_cast<std::intptr_t>(&selection));
}

std::int32_t EditorLineIndex(HostWindow editor, std::int32_t line) {
    return static_cast<std::int32_t>(
        PlatformSendMessage(editor, HostMsgLineIndex, static_cast<std::uintptr_t>(line), 0));
}

std::intptr_t EditorSelectedText(HostWindow editor, std::size_t size, std::string* text) {
    std::vector<char> buffer(size, '\0');
    std::intptr_t result = PlatformSendMessage(editor, HostMsgGetSelectedText, size - 1,
                                               reinterpret_cast<std::intptr_t>(buffer.data()));
    // The host was told size - 1 characters: a byte past them is not the text.
    text->assign(buffer.data(), strnlen(buffer.data(), size - 1));
    return result;
}

void OutputLine(HostWindow main, const char* text) {
    PlatformSendMessage(main, HostMsgOutput, 0, reinterpret_cast<std::intptr_t>(text));
}

std::int32_t ShowDialog(const AddInHost& host, int templateId, DialogProc proc,
                        const void* record) {
    return static_cast<std::int32_t>(UiDialogBox(host.module, templateId, host.main, proc,
                                                 reinterpret_cast<std::intptr_t>(record)));
}

} // namespace kelpin
