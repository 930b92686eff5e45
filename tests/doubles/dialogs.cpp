// The headless user interface: dialogs run from their templates and worked
// by a scripted user, recorded message boxes, choosers answered from a
// queue, help calls and icons.
#include <cstdio>
#include <cstring>

#include "doubles/state.h"

namespace kelpin::headless {

std::vector<MessageBoxRecord>& MessageBoxes() {
    return S().boxes;
}

void ExpectDialog(DialogScript script) {
    S().scripts.push_back(std::move(script));
}

std::vector<int>& OpenedDialogs() {
    return S().opened;
}

std::vector<ChooserRecord>& Choosers() {
    return S().choosers;
}

void AnswerChooser(std::optional<std::string> path) {
    S().chooserAnswers.push_back(std::move(path));
}

std::vector<HelpCall>& HelpCalls() {
    return S().helpCalls;
}

void SetHelpResult(int result) {
    S().helpResult = result;
}

IconHandle IconFor(int resourceId) {
    return 0x50000 + static_cast<IconHandle>(resourceId);
}

int DialogDriver::TemplateId() const {
    const Dialog* dialog = FindDialog(window_);
    return dialog ? dialog->templateId : 0;
}

HostWindow DialogDriver::Window() const {
    return window_;
}

std::string DialogDriver::Caption() const {
    const Dialog* dialog = FindDialog(window_);
    return dialog ? dialog->caption : std::string();
}

std::string DialogDriver::Text(int id) const {
    const Control* control = FindControl(window_, id);
    return control ? control->text : std::string();
}

bool DialogDriver::IsChecked(int id) const {
    const Control* control = FindControl(window_, id);
    return control && control->checked;
}

bool DialogDriver::Ended() const {
    const Dialog* dialog = FindDialog(window_);
    return dialog == nullptr || dialog->ended;
}

int DialogDriver::Focus() const {
    const Dialog* dialog = FindDialog(window_);
    return dialog ? dialog->focus : 0;
}

std::intptr_t DialogDriver::Result() const {
    const Dialog* dialog = FindDialog(window_);
    return dialog ? dialog->result : 0;
}

void DialogDriver::Type(int id, const std::string& text) {
    Control* control = FindControl(window_, id);
    if (control == nullptr || Ended()) return;
    control->previous = control->text;
    control->text = text;
    headless::Send(window_, UiMsgCommand, MakeWParam(id, UiNotifyUpdate), 0);
}

std::intptr_t DialogDriver::Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    return headless::Send(window_, message, wParam, lParam);
}

void DialogDriver::SetChecked(int id, bool checked) {
    Control* control = FindControl(window_, id);
    if (control == nullptr || Ended()) return;
    control->checked = checked;
    headless::Send(window_, UiMsgCommand, MakeWParam(id, 0), 0);
}

void DialogDriver::Press(int id) {
    if (Ended()) return;
    headless::Send(window_, UiMsgCommand, MakeWParam(id, 0), 0);
}

void DialogDriver::Close() {
    if (Ended()) return;
    // As the system's dialog procedure does, a close the dialog leaves alone
    // becomes its Cancel button.
    if (headless::Send(window_, UiMsgClose, 0, 0) == 0 && !Ended())
        headless::Send(window_, UiMsgCommand, MakeWParam(UiIdCancel, 0), 0);
}

} // namespace kelpin::headless

namespace kelpin {

using namespace headless;

namespace {

int Choose(bool save, const FileChooser& chooser) {
    ChooserRecord record{save,
                         chooser.owner,
                         {},
                         chooser.defaultExtension ? chooser.defaultExtension : "",
                         chooser.flags,
                         chooser.fileCapacity,
                         chooser.file ? chooser.file : ""};
    for (const char* p = chooser.filter; p && *p; p += std::strlen(p) + 1)
        record.filter.push_back(p);
    S().choosers.push_back(record);
    std::optional<std::string> answer;
    if (!S().chooserAnswers.empty()) {
        answer = std::move(S().chooserAnswers.front());
        S().chooserAnswers.pop_front();
    }
    if (!answer || chooser.file == nullptr || answer->size() >= chooser.fileCapacity) return 0;
    std::memcpy(chooser.file, answer->c_str(), answer->size() + 1);
    return 1;
}

} // namespace

IconHandle UiLoadIcon(ModuleHandle, int resourceId) {
    return IconFor(resourceId);
}

std::intptr_t UiDialogBox(ModuleHandle, int templateId, HostWindow, DialogProc proc,
                          std::intptr_t param) {
    const DialogTemplate* tmpl = FindDialogTemplate(templateId);
    if (tmpl == nullptr || proc == nullptr) return -1;
    HostWindow window = S().nextDialog++;
    Dialog dialog{templateId, proc, param, tmpl->caption, {}, false, 0, 0};
    for (const ControlTemplate& c : tmpl->controls)
        dialog.controls.push_back({c.id, c.kind, c.text, {}, false});
    S().dialogs.emplace(window, std::move(dialog));
    S().opened.push_back(templateId);

    proc(window, UiMsgInitDialog, 0, param);
    DialogDriver driver(window);
    if (!driver.Ended() && !S().scripts.empty()) {
        DialogScript script = std::move(S().scripts.front());
        S().scripts.pop_front();
        script(driver);
    }
    if (!driver.Ended()) driver.Press(UiIdCancel);
    if (!driver.Ended()) UiEndDialog(window, 0);
    std::intptr_t result = FindDialog(window)->result;
    S().dialogs.erase(window);
    return result;
}

std::intptr_t UiDialogParam(HostWindow window) {
    const Dialog* dialog = FindDialog(window);
    return dialog ? dialog->param : 0;
}

void UiEndDialog(HostWindow window, std::intptr_t result) {
    if (Dialog* dialog = FindDialog(window)) {
        if (dialog->ended) return;
        dialog->ended = true;
        dialog->result = result;
    }
}

void UiSetCaption(HostWindow window, const char* text) {
    if (Dialog* dialog = FindDialog(window)) dialog->caption = text ? text : "";
}

unsigned UiGetItemText(HostWindow window, int id, char* buffer, int size) {
    if (size <= 0) return 0;
    Control* control = FindControl(window, id);
    std::size_t n = control ? std::min<std::size_t>(control->text.size(), size - 1) : 0;
    if (n) std::memcpy(buffer, control->text.data(), n);
    buffer[n] = '\0';
    return static_cast<unsigned>(n);
}

unsigned UiGetItemTextLength(HostWindow window, int id) {
    Control* control = FindControl(window, id);
    return control ? static_cast<unsigned>(control->text.size()) : 0;
}

void UiSetItemText(HostWindow window, int id, const char* text) {
    if (Control* control = FindControl(window, id)) {
        control->previous = control->text;
        control->text = text ? text : "";
    }
}

void UiCheckItem(HostWindow window, int id, bool checked) {
    if (Control* control = FindControl(window, id)) control->checked = checked;
}

bool UiIsItemChecked(HostWindow window, int id) {
    Control* control = FindControl(window, id);
    return control && control->checked;
}

void UiUndoItem(HostWindow window, int id) {
    if (Control* control = FindControl(window, id)) std::swap(control->text, control->previous);
}

void UiFocusItemEnd(HostWindow window, int id) {
    if (Dialog* dialog = FindDialog(window)) dialog->focus = id;
}

int UiMessageBox(HostWindow owner, const char* text, const char* caption, unsigned flags) {
    S().boxes.push_back({owner, text ? text : "", caption ? caption : "", flags});
    return 1; // IDOK
}

int UiChooseOpenFile(const FileChooser& chooser) {
    return Choose(false, chooser);
}

int UiChooseSaveFile(const FileChooser& chooser) {
    return Choose(true, chooser);
}

int UiWinHelp(HostWindow window, const char* helpFile, unsigned command, std::uintptr_t data) {
    const char* keyword = reinterpret_cast<const char*>(data);
    S().helpCalls.push_back({window, helpFile ? helpFile : "", command, keyword ? keyword : ""});
    return S().helpResult;
}

} // namespace kelpin
