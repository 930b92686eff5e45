// Dialog 1001: the prototype listing of the active source file, shown for the
// user to edit and saved as they ask.
#include <cstring>
#include <memory>
#include <string>

#include "navigation/navigation.h"
#include "resources/resource.h"

namespace kelpin {

namespace {

// The document's path as the host gives it; empty when it gives none.
std::string DocumentPath(HostWindow main) {
    HostDocumentInfo info;
    std::memset(&info, 0, sizeof info);
    info.size = HostDocumentInfoSize;
    // The reply is not examined: a request that fails leaves the path empty,
    // and the guard is then named "foo".
    PlatformSendMessage(ActiveEditor(main), HostMsgGetDocumentInfo, 0,
                        reinterpret_cast<std::intptr_t>(&info));
    info.path[sizeof info.path - 1] = '\0';
    return info.path;
}

// The dialog asks the host for its own copy of the editor's text, apart from
// the copy the command was dispatched with, which it is not given: the host
// sees the requests for the text (the active editor, the text's length, the
// text) a second time when the dialog opens, as the host has always seen
// them from this command.
void FillListing(HostWindow dialog, const AddInHost& host) {
    std::unique_ptr<char[]> text = FetchEditorText(host.main);
    if (text == nullptr) return;
    std::string listing = PrototypeListing(text.get(), DocumentPath(host.main).c_str());
    text.reset();
    // The whole text goes in at once: an edit control fed piece by piece
    // slows down with every piece on a file of thousands of functions.
    UiSetItemText(dialog, IDC_PROTOTYPE_TEXT, listing.c_str());
    UiFocusItemEnd(dialog, IDC_PROTOTYPE_TEXT);
}

void SaveAs(HostWindow dialog) {
    char fileName[HeaderFileNameSize] = {};
    if (ChooseHeaderFile(dialog, fileName) == 0) return;
    if (SaveEditText(dialog, IDC_PROTOTYPE_TEXT, fileName) == 0)
        UiMessageBox(dialog, "Save file failed.", "Error", UiBoxIconError);
}

} // namespace

int ChooseHeaderFile(HostWindow owner, char* fileName) {
    static const char filter[] = "Include file (.h)\0*.h\0File (*.*)\0*.*\0";
    FileChooser chooser{owner, filter, "h", UiChooserStandard, fileName, HeaderFileNameSize};
    return UiChooseSaveFile(chooser);
}

int SaveEditText(HostWindow dialog, int id, const char* fileName) {
    unsigned length = UiGetItemTextLength(dialog, id);
    std::string text(length, '\0');
    unsigned copied =
        length ? UiGetItemText(dialog, id, text.data(), static_cast<int>(length) + 1) : 0;
    if (copied == 0) {
        // Nothing to write: the file is still created (and emptied), but an
        // empty header is no success.
        FileWriteAll(fileName, {});
        return 0;
    }
    text.resize(copied);
    return FileWriteAll(fileName, text) ? 1 : 0;
}

namespace {

std::intptr_t FunctionsDialog(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam) {
    switch (message) {
    case UiMsgInitDialog:
        FillListing(dialog, *reinterpret_cast<const AddInHost*>(lParam));
        return 1;
    case UiMsgCommand:
        switch (UiLowWord(wParam)) {
        case IDC_SAVE_AS: SaveAs(dialog); return 1;
        case UiIdCancel: UiEndDialog(dialog, 1); return 1;
        default: return 0;
        }
    default: return EndOnClose(dialog, message);
    }
}

} // namespace

std::int32_t ShowPrototypeDialog(const AddInHost& host) {
    return ShowDialog(host, IDD_FUNCTIONS, FunctionsDialog, &host);
}

} // namespace kelpin
