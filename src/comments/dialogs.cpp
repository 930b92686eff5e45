// The function comment dialog (1003) and the module comment dialog (1004):
// one dialog procedure, told apart by the kind of block it was opened on.
//
// Each looks for the block that already belongs to its function or module and
// leaves it selected in the editor, so that OK replaces it; without one it
// leaves an empty selection where a new block goes. OK and Cancel both put the
// editor's selection back as it was when the dialog opened.
#include <string>

#include "comments/comments.h"
#include "comments/kind.h"
#include "comments/locate.h"
#include "resources/resource.h"

namespace kelpin {

namespace {

// The host's active editor, worked through its messages.
struct HostBlockEditor {
    HostWindow main;
    HostWindow editor;

    void MoveCaret(std::int32_t position, unsigned flags) {
        kelpin::MoveCaret(main, position, flags);
    }
    std::int32_t Find(unsigned flags, const char* text) {
        return static_cast<std::int32_t>(PlatformSendMessage(
            editor, HostMsgFindText, flags, reinterpret_cast<std::intptr_t>(text)));
    }
    void Select(std::int32_t start, std::int32_t end) { SetEditorSelection(editor, start, end); }
    std::intptr_t SelectedText(std::size_t size, std::string* text) {
        return EditorSelectedText(editor, size, text);
    }
    std::int32_t LineIndex(std::int32_t line) { return EditorLineIndex(editor, line); }
    std::int32_t TextLength() {
        return static_cast<std::int32_t>(PlatformSendMessage(editor, HostMsgGetTextLength, 0, 0));
    }
};
static_assert(BlockEditor<HostBlockEditor>);

// What one open comment dialog keeps, with the dialog as its param.
struct CommentDialogRecord {
    const BlockKindInfo& kind;
    const char* name;                // the function's or module's name
    const CurrentFunction* function; // the function's record; none for a module
    HostWindow main;
    HostWindow editor = 0;
    HostSelection savedSelection{0, 0};
};

CommentDialogRecord& RecordOf(HostWindow dialog) {
    return *reinterpret_cast<CommentDialogRecord*>(UiDialogParam(dialog));
}

std::intptr_t Close(HostWindow dialog, const CommentDialogRecord& record) {
    SetEditorSelection(record.editor, record.savedSelection.start, record.savedSelection.end);
    PlatformSendMessage(record.editor, HostMsgScrollCaret, 0, 0);
    UiEndDialog(dialog, -1);
    return 1;
}

std::string ItemText(HostWindow dialog, int id) {
    char buffer[FieldBufferSize];
    unsigned n = UiGetItemText(dialog, id, buffer, FieldBufferSize);
    return std::string(buffer, n);
}

void ShowFields(HostWindow dialog, const BlockKindInfo& kind, std::string_view block) {
    for (const StoredField& field : kind.split(block))
        UiSetItemText(dialog, field.control, StoredToFieldText(field.value).c_str());
}

// Fills the dialog from the block found, or leaves the insertion point where
// a new block goes.
void Initialise(HostWindow dialog, CommentDialogRecord& record) {
    HostBlockEditor editor{record.main, record.editor};
    if (record.function != nullptr)
        UiSetItemText(dialog, IDC_DECLARATION, record.function->declaration);
    UiSetCaption(dialog, record.name);
    std::int32_t position =
        record.function != nullptr ? FunctionBlockLine(editor, record.function->startLine) : 0;
    std::string block;
    if (LocateBlock(editor, record.kind.nameWord, record.name, position, record.kind.locateFlags,
                    &block) >= 0) {
        ShowFields(dialog, record.kind, block);
        return;
    }
    std::int32_t at = (record.kind.locateFlags & LocateByLine) ? editor.LineIndex(position) : 0;
    editor.Select(at, at);
}

// OK: the new block replaces the selection, which is the old block or the
// insertion point.
void Replace(HostWindow dialog, const CommentDialogRecord& record) {
    std::string texts[4];
    for (int i = 0; i < 4; ++i)
        texts[i] = ItemText(dialog, record.kind.textControls[i]);
    std::string created = ItemText(dialog, IDC_CREATED);
    std::string block =
        BuildCommentBlock(record.function ? BlockKind::Function : BlockKind::Module, record.name,
                          created, FormatBlockDate(), {texts[0], texts[1], texts[2], texts[3]});
    PlatformSendMessage(record.editor, HostMsgReplaceSelection, 0,
                        reinterpret_cast<std::intptr_t>(block.c_str()));
}

std::intptr_t CommentDialog(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                            std::intptr_t lParam) {
    switch (message) {
    case UiMsgInitDialog: {
        auto& record = *reinterpret_cast<CommentDialogRecord*>(lParam);
        record.editor = ActiveEditor(record.main);
        if (record.editor == 0) return Close(dialog, record);
        PlatformSendMessage(record.editor, HostMsgGetSelection, 0,
                            reinterpret_cast<std::intptr_t>(&record.savedSelection));
        Initialise(dialog, record);
        return 1;
    }
    case UiMsgSize: return 1;
    case UiMsgCommand:
        if (UiLowWord(wParam) == UiIdOk) {
            Replace(dialog, RecordOf(dialog));
            return Close(dialog, RecordOf(dialog));
        }
        if (UiLowWord(wParam) == UiIdCancel) return Close(dialog, RecordOf(dialog));
        return 0;
    default: return 0;
    }
}

std::int32_t Show(const AddInHost& host, CommentDialogRecord& record) {
    return ShowDialog(host, record.kind.templateId, CommentDialog, &record);
}

} // namespace

std::int32_t LocateCommentBlock(HostWindow main, const char* label, const char* name,
                                std::int32_t position, unsigned flags, std::string* blockText) {
    HostBlockEditor editor{main, ActiveEditor(main)};
    return LocateBlock(editor, label, name, position, flags, blockText);
}

std::int32_t ShowFunctionCommentDialog(const AddInHost& host, const CurrentFunction& function) {
    CommentDialogRecord record{KindInfo(BlockKind::Function), function.name, &function, host.main};
    return Show(host, record);
}

std::int32_t ShowModuleCommentDialog(const AddInHost& host, const char* moduleName) {
    CommentDialogRecord record{KindInfo(BlockKind::Module), moduleName, nullptr, host.main};
    return Show(host, record);
}

} // namespace kelpin
