#include "blocks.h"

#include "block_text.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "comments/comments.h"
#include "host/editor_text.h"
#include "navigation/navigation.h"
#include "scanner/lookup.h"
#include "scanner/precise.h"
#include "text.h"

namespace kelpin::lsp {

using cli::AsRead;
using cli::CaretLineOf;
using cli::DocumentPath;
using cli::EndsLinesWithCrlf;
using cli::ToControlText;

namespace {

// The module name "kelpin comment module FILE" gives: FILE's file name, as
// the record of 259 characters holds it.
std::string ModuleNameOfPath(const std::string& path) {
    std::string document = DocumentPath(path);
    std::string name = std::filesystem::path(path).filename().string();
    document = document.substr(0, document.rfind('\\') + 1) + name;
    if (document.size() > 259) document = name;
    return ModuleNameOf(document.substr(0, 259));
}

const char* const FunctionLabels[] = {"Synopsis", "Input", "Output", "Errors"};

} // namespace

CommentAction CommentActionAt(const std::string& text, const std::string& path, int line,
                              std::string_view now) {
    CommentAction action;
    if (text.empty()) return action;
    CurrentFunction function = FindCurrentFunction(text.c_str(), CaretLineOf(text, line));
    std::string name;
    BlockSite site;
    action.function = function.declaration[0] != '\0';
    if (action.function) {
        name = function.name;
        site = FindFunctionBlock(text, function);
    } else {
        name = ModuleNameOfPath(path);
        if (name.find_first_of("\r\n") != std::string::npos || name.find("*/") != std::string::npos)
            return action;
        site = FindModuleBlock(text, name.c_str());
    }
    BlockKind kind = action.function ? BlockKind::Function : BlockKind::Module;
    BlockFields fields;
    if (site.found) fields = ReadBlockFields(kind, site.block);
    std::string texts[4];
    for (int i = 0; i < 4; ++i)
        texts[i] = AsRead(fields.texts[i]);
    std::string block = BuildCommentBlock(kind, name, AsRead(fields.created), now,
                                          {texts[0], texts[1], texts[2], texts[3]});
    if (EndsLinesWithCrlf(text)) block = ToControlText(block);
    action.available = true;
    action.update = site.found;
    action.title = std::string(site.found ? "Update " : "Add ") +
                   (action.function ? "function comment" : "module comment");
    action.change = {static_cast<std::size_t>(site.start), static_cast<std::size_t>(site.end),
                     std::move(block)};
    return action;
}

std::string PrototypesHeader(std::string_view text, const std::string& path) {
    std::string guard = GuardName(DocumentPath(path).c_str());
    for (char& c : guard)
        if (!IsIdentifierByte(static_cast<unsigned char>(c))) c = '_';
    const char* eol = EndsLinesWithCrlf(text) ? "\r\n" : "\n";
    std::string header =
        "#ifndef __" + guard + "_H__" + eol + "#define __" + guard + "_H__" + eol + eol;
    PreciseScan scan;
    ScanPrecise(text, &scan);
    for (const PreciseFunction& f : scan.functions)
        ((header += PreciseDeclaration(text, scan, f)) += ";") += eol;
    header += eol;
    header += "#endif\t// " + guard + "_H__" + eol;
    return header;
}

std::string DescribeFunction(const std::string& text, std::string_view name, std::size_t line) {
    PreciseScan scan;
    ScanPrecise(text, &scan);
    const PreciseFunction* found = nullptr;
    for (const PreciseFunction& f : scan.functions)
        if (static_cast<std::size_t>(f.start) == line + 1 && PreciseName(text, f) == name) {
            found = &f;
            break;
        }
    if (found == nullptr) return {};
    std::string markdown = "```c\n" + PreciseDeclaration(text, scan, *found) + "\n```";
    // The block the add-in finds for the function, asked from a line of its
    // body as the add-in's scan sees it: the one before the closing brace,
    // else the closing or the opening lines of a short one.
    std::int32_t last = found->end > 0
                            ? found->end
                            : LineOfPosition(text, static_cast<std::int32_t>(text.size())) + 1;
    CurrentFunction function{};
    bool same = false;
    for (std::int32_t caret : {last - 1, last, found->start + 1, found->start}) {
        if (caret < 1) continue;
        function = FindCurrentFunction(text.c_str(), caret);
        same = function.declaration[0] != '\0' && name == function.name;
        if (same) break;
    }
    if (!same) return markdown;
    BlockSite site = FindFunctionBlock(text, function);
    if (!site.found) return markdown;
    BlockFields fields = ReadBlockFields(BlockKind::Function, site.block);
    markdown += "\n\n---\n";
    for (int i = 0; i < 4; ++i) {
        std::string value;
        for (char c : fields.texts[i])
            if (c != '\r') value += c;
        if (value.empty()) continue;
        // Each line of the field a line of its own in Markdown.
        std::string shown;
        for (char c : value)
            shown += c == '\n' ? std::string("  \n") : std::string(1, c);
        markdown += "\n**" + std::string(FunctionLabels[i]) + ":** " + shown + "\n";
    }
    if (!fields.created.empty()) markdown += "\n*Created* " + fields.created;
    if (!fields.modified.empty()) markdown += " · *Modified* " + fields.modified;
    return markdown;
}

} // namespace kelpin::lsp
