// Comment blocks on arbitrary input. The first byte picks what the rest is:
//   0, 1  an editor text in which a block is looked for (function or module
//         mode) in the host's editor and in the text alone, which must
//         agree, read back, and the function dialog run with OK or Cancel;
//   2     a field text that is wrapped into a block and read back.
// Besides the sanitizers, every invariant below aborts on a breach.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "comments/comments.h"
#include "doubles/headless.h"
#include "resources/resource.h"
#include "support/field_text_model.h"
#include "support/fuzz_require.h"

using namespace kelpin;
using namespace kelpin::testing;

namespace {

// Every line feed a control text holds comes with its carriage return.
bool LineFeedsPaired(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    return true;
}

bool IsBreakSpace(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

void FuzzFieldText(std::string_view text) {
    if (text.size() > 8192) return;
    std::string wrapped;
    WrapFieldText(wrapped, text);
    Require(wrapped.find("*/") == std::string::npos, "a comment end inside a field");

    // Line by line: further lines start with the 12-blank indent, and a line
    // is longer than 64 characters only when it is one long word.
    std::size_t start = 0;
    for (bool first = true; start <= wrapped.size(); first = false) {
        std::size_t end = wrapped.find('\n', start);
        if (end == std::string::npos) end = wrapped.size();
        std::string_view line(wrapped.data() + start, end - start);
        if (!first && start == wrapped.size()) {
            // A break on the text's very last character ends its line with
            // the line feed, and nothing follows it.
            Require(wrapped.size() >= 2 && IsBreakSpace(wrapped[wrapped.size() - 2]),
                    "a field ending in a line feed without a break before it");
            break;
        }
        if (!first) {
            Require(line.substr(0, BlockLabelLength) == std::string(BlockLabelLength, ' '),
                    "a wrapped line without its indent");
            line.remove_prefix(BlockLabelLength);
        }
        if (line.size() > BlockWrapWidth) {
            for (std::size_t i = 0; i < BlockWrapWidth; ++i)
                Require(!IsBreakSpace(line[i]), "a long line that could have been broken");
        }
        start = end + 1;
    }

    // Texts as an edit control holds them: carriage returns only before
    // line feeds, and no bare line feeds.
    bool controlText = LineFeedsPaired(text);
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) controlText = false;
    if (!controlText) return;
    Require(wrapped.find('\r') == std::string::npos, "a carriage return reached the block");
    std::string back = StoredToFieldText(wrapped);
    Require(LineFeedsPaired(back), "a bare line feed read back");
    Require(WithoutSoftBreaks(back) == WithoutSoftBreaks(Trimmed(Defused(text))),
            "the round trip lost or changed text");
    bool plain = text.find_first_of("\t\v\f") == std::string_view::npos &&
                 text.find(" \r\n") == std::string_view::npos &&
                 text.find("*/") == std::string_view::npos;
    if (plain) Require(back == Trimmed(text), "a plain text did not come back exactly");

    // The block built from it is found again and shows the same text, as
    // long as the text holds nothing that looks like the block's own marks.
    if (text.find("/*-@@+@@") != std::string_view::npos ||
        text.find(" : ") != std::string_view::npos)
        return;
    std::string block = BuildFunctionBlock("f", "", text, "", "", "");
    Require(block.find("*/") == block.size() - 3, "a built block with more than one comment end");
    std::vector<StoredField> fields = SplitFunctionBlock(block);
    Require(fields.size() == 6, "a built block lost a label");
    Require(StoredToFieldText(fields[2].value) == back,
            "the block's synopsis reads back otherwise");
}

void FuzzEditorText(bool module, std::uint16_t where, std::uint8_t choice, std::string text) {
    if (text.size() > 65536) return;
    headless::Reset();
    HostWindow main = headless::Host().AddMainWindow();
    static const char* Names[] = {"f", "foo", "main.c", "my file.c", ""};
    const char* name = Names[choice % 5];
    HostWindow editor = headless::Host().AddEditor(text, "C:\\src\\main.c");
    headless::Host().Main(main)->activeEditor = editor;

    std::string blockText = "stale";
    const char* label = module ? "Module" : "Procedure";
    std::int32_t position = module ? where : where % 64;
    unsigned flags = module ? LocateModule : LocateByLine;
    std::int32_t at = LocateCommentBlock(main, label, name, position, flags, &blockText);
    const auto& sel = headless::Host().Editor(editor)->selection;

    // The same search on the text alone (the CLI's) finds the same block and
    // leaves the same selection.
    HostSelection textSelection{where % 7, where % 5};
    std::string textBlock = "stale";
    Require(LocateCommentBlockInText(text, &textSelection, label, name, position, flags,
                                     &textBlock) == at,
            "the text search found another block");
    Require(textBlock == blockText, "the text search read another block");
    Require(textSelection.start == sel.start && textSelection.end == sel.end,
            "the text search left another selection");
    if (at < 0) {
        Require(blockText.empty(), "a refused block handed over text");
    } else {
        Require(sel.start == at, "the selection does not start at the block");
        Require(text.substr(at, sel.end - sel.start) == blockText,
                "the block text is not the selection");
        Require(blockText.starts_with(BlockStartMarker), "a block without its start marker");
        std::string_view tail = blockText;
        if (tail.ends_with("\r\n"))
            tail.remove_suffix(2);
        else if (tail.ends_with("\n"))
            tail.remove_suffix(1);
        Require(tail.ends_with(BlockEndMarker), "a block without its end marker");
        for (const StoredField& field :
             module ? SplitModuleBlock(blockText) : SplitFunctionBlock(blockText)) {
            Require(field.value.data() >= blockText.data() &&
                        field.value.data() + field.value.size() <=
                            blockText.data() + blockText.size(),
                    "a field outside its block");
            std::string shown = StoredToFieldText(field.value);
            Require(LineFeedsPaired(shown), "a bare line feed in a control text");
            if (field.control == IDC_CREATED || field.control == IDC_MODIFIED)
                Require(shown.size() <= BlockDateLength, "a date longer than 24 characters");
        }
    }

    // The function dialog on a record pointing anywhere: Cancel changes
    // nothing; OK replaces exactly the selection it left with the new block.
    CurrentFunction function{};
    std::snprintf(function.name, sizeof function.name, "%s", name);
    std::snprintf(function.declaration, sizeof function.declaration, "int %s(void)", name);
    function.startLine = where % 48;
    bool ok = (choice & 8) != 0;
    HostSelection atOk{-1, -1};
    std::string created;
    headless::ExpectDialog([&](headless::DialogDriver& dialog) {
        atOk = headless::Host().Editor(editor)->selection;
        created = dialog.Text(IDC_CREATED);
        dialog.Type(IDC_OUTPUT, "typed\r\ntext");
        dialog.Press(ok ? UiIdOk : UiIdCancel);
    });
    headless::Host().Editor(editor)->text = text;
    auto inside = [&](std::int32_t at) {
        return std::min<std::int32_t>(at, static_cast<std::int32_t>(text.size()));
    };
    headless::Host().Editor(editor)->selection = {inside(3), inside(5)};
    HostSelection saved = headless::Host().Editor(editor)->selection;
    ShowFunctionCommentDialog({0, main}, function);
    const std::string& after = headless::Host().Editor(editor)->text;
    Require(sel.start == saved.start && sel.end == saved.end, "the selection was not put back");
    // The CLI finds the same function's block where the dialog did, and
    // reads the same creation date from it.
    BlockSite site = FindFunctionBlock(text, function);
    Require(site.start == std::min(atOk.start, atOk.end) &&
                site.end == std::max(atOk.start, atOk.end),
            "the text's block site differs from the dialog's selection");
    Require(ReadBlockFields(BlockKind::Function, site.block).created == created,
            "the text's block reads another creation date");
    if (!ok) {
        Require(after == text, "Cancel changed the text");
        return;
    }
    Require(atOk.start >= 0 && atOk.start <= atOk.end, "no selection at OK");
    std::string prefix = text.substr(0, atOk.start), suffix = text.substr(atOk.end);
    Require(after.size() >= prefix.size() + suffix.size() && after.starts_with(prefix) &&
                after.ends_with(suffix),
            "OK wrote outside the selection");
    std::string_view block(after.data() + prefix.size(),
                           after.size() - prefix.size() - suffix.size());
    Require(block.starts_with(BlockHeaderLine) &&
                block.ends_with(std::string(BlockClosingLine) + "\n"),
            "OK wrote something else than a block");
    Require(created.empty() || block.find(" Created  : " + created + "\n") != std::string::npos,
            "OK did not keep the creation date");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    std::string rest(reinterpret_cast<const char*>(data) + 4, size - 4);
    switch (data[0] % 3) {
    case 0:
    case 1:
        FuzzEditorText(data[0] % 3 == 1, static_cast<std::uint16_t>(data[1] | (data[2] << 8)),
                       data[3], std::move(rest));
        break;
    default: FuzzFieldText(rest); break;
    }
    return 0;
}
