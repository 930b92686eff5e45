// The gallery: every dialog of the real add-in as a user sees it, opened by
// its command on examples/stock.c, filled as a user would fill it and
// captured from its own window, plus the output pane after two builds.
//
//     kelpin_wine_host.exe --gallery <folder> <stock.c>
//
// writes <folder>\<name>.bmp for each picture and <folder>\gallery.txt, one
// line a picture: "<name> <width> <height> <x> <y> <cx> <cy>", the window's
// size and its client area within it. For a dialog these come from its
// template (dialog units mapped through the dialog's own font, the frame
// its styles give), not from the window that was captured, so a capture of
// the wrong window or of part of it shows as a size that does not match.
// tests/wine/gallery.sh turns the bitmaps into PNGs and checks them.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/wine/harness.h"
#include "tests/wine/internal.h"

namespace kelpin::wine {

namespace {

std::string folder;  // ends in "\"
std::string example; // the example's path
std::string manifest;

// The document path the editor gives the example.
constexpr const char* ExamplePath = "C:\\work\\stores\\stock.c";

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n' && (out.empty() || out.back() != '\r')) out += '\r';
        out += c;
    }
    return out;
}

// The window's pixels as a 24-bit bottom-up BMP file.
void WriteBitmap(HWND window, const std::string& path) {
    RECT bounds;
    GetWindowRect(window, &bounds);
    int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    HDC source = GetWindowDC(window);
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<char> pixels(stride * static_cast<DWORD>(height));
    int rows = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                         reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, source);
    if (rows != height) Abort(__FILE__, __LINE__, "cannot read the pixels of " + path);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    bytes.append(pixels.data(), pixels.size());
    WriteTextFile(path, bytes);
}

// Captures window once it has painted itself and its controls, on the
// host's thread. The caret is hidden first: it blinks, and the pictures
// should not depend on when.
void CaptureNow(HWND window, const std::string& name, RECT client) {
    HideCaret(nullptr);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    WriteBitmap(window, folder + name + ".bmp");
    // The window's size with client at (0, 0): the frame is left of and
    // above it.
    RECT outer = client;
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
    char line[160];
    std::snprintf(line, sizeof line, "%s %ld %ld %ld %ld %ld %ld\n", name.c_str(),
                  outer.right - outer.left, outer.bottom - outer.top, client.left - outer.left,
                  client.top - outer.top, client.right - client.left, client.bottom - client.top);
    manifest += line;
}

// A dialog's client area as its template lays it out.
RECT TemplateClient(const Dialog& dialog) {
    RECT client{};
    OnHostThread([&] {
        HRSRC found = FindResourceA(AddIn().module, MAKEINTRESOURCEA(dialog.TemplateId()),
                                    reinterpret_cast<LPCSTR>(RT_DIALOG));
        const auto* data = found ? static_cast<const BYTE*>(
                                       LockResource(LoadResource(AddIn().module, found)))
                                 : nullptr;
        if (data == nullptr) return;
        // DLGTEMPLATE: style, extended style, item count, x, y, cx, cy; a
        // DLGTEMPLATEEX (version 1, signature 0xFFFF) has help id, extended
        // style, style and item count before x.
        const auto* words = reinterpret_cast<const WORD*>(data);
        bool extended = words[0] == 1 && words[1] == 0xFFFF;
        const auto* fields = reinterpret_cast<const short*>(data + (extended ? 18 : 10));
        client = {0, 0, fields[2], fields[3]};
        MapDialogRect(dialog.Handle(), &client);
    });
    if (client.right == 0)
        Abort(__FILE__, __LINE__, "no template " + std::to_string(dialog.TemplateId()));
    return client;
}

// From the user's script.
void CaptureDialog(const Dialog& dialog, const std::string& name, Where where = Where::current()) {
    RECT client = TemplateClient(dialog);
    OnHostThread([&] { CaptureNow(dialog.Handle(), name, client); }, where);
}

void CaretOnLine(HostWindow editor, const std::string& text, int line) {
    std::int32_t at = LineIndexOf(text, line - 1);
    EditorState(editor).selection = {at, at};
}

// The 1-based line of the first line of text that starts with start.
int LineStarting(const std::string& text, const std::string& start) {
    int line = 1;
    for (std::size_t at = 0; at < text.size(); ++line) {
        if (text.compare(at, start.size(), start) == 0) return line;
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    Abort(__FILE__, __LINE__, "no line starts with " + start);
}

// The pane the Host IDE shows its output in: a list of the lines the add-in
// wrote, in order, blank entries as blank lines and a line feed within an
// entry (the about line has one) as a line break.
void CaptureOutputPane() {
    std::vector<std::string> rows;
    for (const headless::OutputEntry& entry : MainState().output) {
        std::string text = entry.hasText ? entry.text : "";
        for (std::size_t end; (end = text.find('\n')) != std::string::npos; text.erase(0, end + 1))
            rows.push_back(text.substr(0, end));
        rows.push_back(text);
    }
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    int rowHeight = metrics.tmHeight + 2;
    RECT client{0, 0, 620, rowHeight * static_cast<int>(rows.size()) + 8};

    DWORD style = WS_CAPTION | WS_VISIBLE | WS_POPUP;
    DWORD exStyle = WS_EX_TOOLWINDOW;
    RECT outer = client;
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    HWND pane = CreateWindowExA(exStyle, "STATIC", "Output", style, 60, 60, outer.right - outer.left,
                                outer.bottom - outer.top, reinterpret_cast<HWND>(Main()), nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    REQUIRE(pane != nullptr);
    HWND list = CreateWindowExA(0, "LISTBOX", "",
                                WS_CHILD | WS_VISIBLE | LBS_NOINTEGRALHEIGHT | LBS_NOSEL, 0, 0,
                                client.right, client.bottom, pane, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageA(list, LB_SETITEMHEIGHT, 0, rowHeight);
    for (const std::string& row : rows)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
    CaptureNow(pane, "output", client);
    DestroyWindow(pane);
}

} // namespace

void SetGalleryFolders(const std::string& out, const std::string& source) {
    folder = out.empty() || out.back() == '\\' ? out : out + "\\";
    example = source;
}

void Gallery() {
    std::optional<std::string> read = ReadTextFile(example);
    if (!read) Abort(__FILE__, __LINE__, "cannot read the example " + example);
    const std::string text = WithCrLf(*read);

    // Versioning on and a help file chosen, as the setup dialog will show;
    // a project whose version module is "version" in a folder of its own.
    WriteSetting("flag", 1);
    WriteSetting("W32hlpPath", std::string("C:\\sdk\\help\\win32.hlp"));
    REQUIRE(SetCurrentDirectoryA(ScratchDirectory().c_str()));
    StartAddIn();
    HostWindow editor = OpenEditor(text, ExamplePath);

    // Function prototypes: the listing of all twelve.
    WithUser([] { return AddIn().Command(1); },
             [](User& user) {
                 Dialog listing = user.ExpectDialog(IDD_FUNCTIONS);
                 std::string shown = listing.Text(IDC_PROTOTYPE_TEXT);
                 int prototypes = 0;
                 for (std::size_t at = shown.find(");\r\n"); at != std::string::npos;
                      at = shown.find(");\r\n", at + 1))
                     ++prototypes;
                 CHECK_EQ(prototypes, 12);
                 CaptureDialog(listing, "functions");
                 listing.Press(IDCANCEL);
             });

    // Current function, inside stock_add's body.
    int body = LineStarting(text, "int stock_add(") + 2;
    CaretOnLine(editor, text, body);
    WithUser([] { return AddIn().Command(3); },
             [](User& user) {
                 Dialog function = user.ExpectDialog(IDD_FUNCTION);
                 CHECK_EQ(function.Text(IDC_DECLARATION),
                          std::string(
                              "int stock_add(struct stock *s, const char *name, int count, double price)"));
                 CaptureDialog(function, "function");
                 function.Press(IDCANCEL);
             });

    // The function comment, its fields read back from the block above.
    CaretOnLine(editor, text, body);
    WithUser([] { return AddIn().Command(5); },
             [](User& user) {
                 Dialog comment = user.ExpectDialog(IDD_FUNCTION_COMMENT);
                 CHECK_EQ(comment.Caption(), std::string("stock_add"));
                 CHECK_EQ(comment.Text(IDC_SYNOPSIS),
                          std::string("Adds count pieces of the item called name.\r\n"
                                      "An item already held gains the pieces."));
                 CHECK_EQ(comment.Text(IDC_CREATED), std::string("Sat Jun  1 12:00:00 2024"));
                 CaptureDialog(comment, "function-comment");
                 comment.Press(IDCANCEL);
             });

    // The module comment, from the block at the top.
    WithUser([] { return AddIn().Command(9); },
             [](User& user) {
                 Dialog comment = user.ExpectDialog(IDD_MODULE_COMMENT);
                 CHECK_EQ(comment.Caption(), std::string("stock.c"));
                 CHECK_EQ(comment.Text(IDC_AUTHOR), std::string("J. Tamsin"));
                 CaptureDialog(comment, "module-comment");
                 comment.Press(IDCANCEL);
             });

    // Setup, showing what is stored.
    WithUser([] { return AddIn().Setup(0, 0); },
             [](User& user) {
                 Dialog setup = user.ExpectDialog(IDD_SETUP);
                 CHECK(setup.IsChecked(IDC_ENABLE_VERSION));
                 CHECK_EQ(setup.Text(IDC_HELP_PATH), std::string("C:\\sdk\\help\\win32.hlp"));
                 CaptureDialog(setup, "setup");
                 setup.Press(IDCANCEL);
             });

    // Two builds of the project, then Edit Version/Build: a third digit
    // typed into the first component, taken back by the dialog at once.
    HostWindow project = OpenProject();
    ProjectState(project).symbols["VERSION"] = "version";
    CHECK_EQ(AddIn().Main(project, HostEventProject), 1);
    CHECK_EQ(AddIn().Main(project, HostEventBuild), 1);
    CHECK_EQ(AddIn().Main(project, HostEventBuild), 1);
    SetActiveEditor(editor);
    WithUser([] { return AddIn().Command(11); },
             [](User& user) {
                 Dialog version = user.ExpectDialog(IDD_VERSION);
                 version.Type(IDC_VERSION_MSC, "12");
                 version.Type(IDC_VERSION_MSC, "123");
                 CHECK_EQ(version.Text(IDC_VERSION_MSC), std::string("12"));
                 CHECK_EQ(version.Text(IDC_VERSION_BUILD), std::string("2"));
                 CaptureDialog(version, "version");
                 version.Press(IDCANCEL);
             });

    CaptureOutputPane();
    WriteTextFile(folder + "gallery.txt", manifest);
    for (const char* file : {"version.c", "version.h"})
        DeleteFileA(file);
}

} // namespace kelpin::wine
