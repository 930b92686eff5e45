// The requests on documents and the workspace: symbols, navigation, hover
// and the code actions that write the add-in's blocks.
#include <algorithm>
#include <filesystem>
#include <unordered_map>

#include "blocks.h"
#include "json_text.h"
#include "scanner/symbols.h"
#include "server.h"
#include "symbols.h"

namespace kelpin::lsp {

using cli::AppendJsonNumber;
using cli::AppendJsonString;
using cli::JsonBytes;

namespace {

constexpr std::size_t MaxWorkspaceSymbols = 1000;

// The LSP SymbolKind of a kind letter. C has no kind of its own for macros,
// typedefs or unions: they go as constants, classes (what C and C++ servers
// call a type alias) and structs.
int KindNumber(char kind) {
    switch (kind) {
    case SymbolMacro: return 14;      // Constant
    case SymbolEnumerator: return 22; // EnumMember
    case SymbolEnum: return 10;       // Enum
    case SymbolMember: return 8;      // Field
    case SymbolStruct: return 23;     // Struct
    case SymbolUnion: return 23;      // Struct
    case SymbolTypedef: return 5;     // Class
    case SymbolVariable: return 13;   // Variable
    default: return 12;               // Function
    }
}

// A text to answer from: an open document's, or a file's read for the
// request.
struct Source {
    std::string key;
    std::string uri;
    const std::string* text = nullptr;
    const LineIndex* lines = nullptr;
    std::string owned;
    LineIndex ownedLines;
};

bool LoadKey(Server* s, const std::string& key, Source* source) {
    source->key = key;
    auto it = s->documents.find(key);
    if (it != s->documents.end()) {
        source->uri = it->second.uri;
        source->text = &it->second.text;
        source->lines = &it->second.lines;
        return true;
    }
    if (!s->options.useDisk || key.empty() || key[0] != '/' || !ReadWholeFile(key, &source->owned))
        return false;
    source->uri = UriOfPath(key);
    source->ownedLines = IndexLines(source->owned);
    source->text = &source->owned;
    source->lines = &source->ownedLines;
    return true;
}

bool LoadUri(Server* s, const Json& params, Source* source) {
    std::string uri = params.at("textDocument").at("uri").get<std::string>();
    if (!LoadKey(s, KeyOfUri(uri), source)) return false;
    source->uri = uri;
    return true;
}

Json PositionJson(Position p) {
    return {{"line", p.line}, {"character", p.character}};
}

Json RangeOf(Server* s, const Source& source, std::size_t a, std::size_t b) {
    return {{"start", PositionJson(PositionOf(*source.text, *source.lines, a, s->encoding))},
            {"end", PositionJson(PositionOf(*source.text, *source.lines, b, s->encoding))}};
}

std::size_t OffsetAt(Server* s, const Source& source, const Json& params) {
    const Json& p = params.at("position");
    return OffsetOf(*source.text, *source.lines, PositionOfJson(p), s->encoding);
}

// Where a 0-based line's text ends.
std::size_t EndOfLine(const Source& source, std::size_t line) {
    const std::vector<std::size_t>& starts = source.lines->starts;
    if (line + 1 >= starts.size()) return source.text->size();
    std::size_t end = starts[line + 1] - 1;
    if (end > starts[line] && (*source.text)[end - 1] == '\r') --end;
    return end;
}

Json FoundLocation(Server* s, const Found& found) {
    Json start = {{"line", found.line}, {"character", found.column}};
    Json end = {{"line", found.line}, {"character", found.column + found.name.size()}};
    return {{"uri", UriOfKey(*s, std::string(found.path))},
            {"range", {{"start", start}, {"end", end}}}};
}

// The definitions of name, those in the file of key first, then by path
// and place.
std::vector<Found> DefinitionsOf(Server* s, std::string_view name, const std::string& key) {
    RefreshIndex(s);
    std::vector<Found> found = FindDefinitions(s->index, name);
    std::stable_partition(found.begin(), found.end(),
                          [&key](const Found& f) { return f.path == key; });
    return found;
}

void AppendPosition(std::string* out, Position p) {
    out->append("{\"character\":");
    AppendJsonNumber(out, static_cast<std::size_t>(p.character));
    out->append(",\"line\":");
    AppendJsonNumber(out, static_cast<std::size_t>(p.line));
    out->push_back('}');
}

void AppendRange(Server* s, std::string* out, const Source& source, std::size_t a, std::size_t b) {
    out->append("{\"end\":");
    AppendPosition(out, PositionOf(*source.text, *source.lines, b, s->encoding));
    out->append(",\"start\":");
    AppendPosition(out, PositionOf(*source.text, *source.lines, a, s->encoding));
    out->push_back('}');
}

// One entry of a document's outline: a symbol, or a struct, union or enum
// that holds some and no symbol stands for (an anonymous one).
struct OutlineNode {
    std::string_view name; // empty: an anonymous scope
    char kind;
    bool made;                      // a scope's node, with no symbol of its own
    std::size_t begin, end;         // the range, as offsets
    std::size_t nameBegin, nameEnd; // the name's
    std::string detail;
    std::string_view container; // for a flat list
    std::size_t parent;         // SIZE_MAX at the top
    std::vector<std::size_t> children;
};

// The outline of a text: its symbols of the default kinds in text order,
// each under the node of the struct, union or enum it belongs to. The
// returned list holds the nodes at the top.
std::vector<std::size_t> Outline(const Source& source, const PreciseSymbols& found,
                                 std::vector<OutlineNode>* nodes) {
    const std::string& text = *source.text;
    std::vector<std::size_t> top;
    // The node of each scope: the symbol that names it, or one made when a
    // symbol first belongs to it.
    std::vector<std::size_t> scopeNode(found.scopes.size(), SIZE_MAX);
    std::unordered_map<std::size_t, std::size_t> namedScope; // name offset -> scope
    for (std::size_t k = 0; k < found.scopes.size(); ++k)
        if (found.scopes[k].nameLength > 0) namedScope.emplace(found.scopes[k].nameOffset, k);
    auto attach = [&](auto&& self, std::int32_t scope, std::size_t node) -> void {
        if (scope < 0 || static_cast<std::size_t>(scope) >= found.scopes.size()) {
            (*nodes)[node].parent = SIZE_MAX;
            top.push_back(node);
            return;
        }
        auto k = static_cast<std::size_t>(scope);
        if (scopeNode[k] == SIZE_MAX) {
            const PreciseScope& sc = found.scopes[k];
            OutlineNode made{};
            made.name = std::string_view(text).substr(sc.nameOffset, sc.nameLength);
            made.kind = sc.kind;
            made.made = true;
            made.begin = made.nameBegin = made.nameEnd = (*nodes)[node].begin;
            made.end = (*nodes)[node].end;
            scopeNode[k] = nodes->size();
            nodes->push_back(std::move(made));
            self(self, sc.parent < scope ? sc.parent : -1, scopeNode[k]);
        }
        (*nodes)[node].parent = scopeNode[k];
        (*nodes)[scopeNode[k]].children.push_back(node);
        // A made node reaches as far as what it holds.
        for (std::size_t p = scopeNode[k]; p != SIZE_MAX && (*nodes)[p].made;
             p = (*nodes)[p].parent)
            (*nodes)[p].end = std::max((*nodes)[p].end, (*nodes)[node].end);
    };
    auto function = found.scan.functions.begin(); // functions and symbols both in text order
    for (const PreciseSymbol& symbol : found.symbols) {
        if (!cli::IsDefaultKind(symbol.kind)) continue;
        OutlineNode node{};
        node.name = SymbolName(text, symbol);
        node.kind = symbol.kind;
        node.nameBegin = node.begin = symbol.nameOffset;
        node.nameEnd = symbol.nameOffset + symbol.nameLength;
        node.end = symbol.end > 0 ? EndOfLine(source, static_cast<std::size_t>(symbol.end) - 1)
                                  : node.nameEnd;
        node.end = std::max(node.end, node.nameEnd);
        if (symbol.kind == SymbolFunction) {
            while (function != found.scan.functions.end() &&
                   function->nameOffset < symbol.nameOffset)
                ++function;
            if (function != found.scan.functions.end() &&
                function->nameOffset == symbol.nameOffset) {
                // A function's range takes in its whole header.
                if (function->headerParts > 0)
                    node.begin =
                        std::min(node.begin, found.scan.header[function->headerFirst].offset);
                node.detail = PreciseDeclaration(text, found.scan, *function);
            }
        }
        if (symbol.scope >= 0 && static_cast<std::size_t>(symbol.scope) < found.scopes.size()) {
            const PreciseScope& sc = found.scopes[static_cast<std::size_t>(symbol.scope)];
            node.container = std::string_view(text).substr(sc.nameOffset, sc.nameLength);
        }
        std::size_t at = nodes->size();
        nodes->push_back(std::move(node));
        attach(attach, symbol.scope, at);
        if (symbol.kind == SymbolStruct || symbol.kind == SymbolUnion ||
            symbol.kind == SymbolEnum) {
            auto it = namedScope.find(symbol.nameOffset);
            if (it != namedScope.end() && found.scopes[it->second].kind == symbol.kind &&
                scopeNode[it->second] == SIZE_MAX)
                scopeNode[it->second] = at;
        }
    }
    return top;
}

void AppendOutline(Server* s, std::string* out, const Source& source,
                   const std::vector<OutlineNode>& nodes, const std::vector<std::size_t>& list) {
    out->push_back('[');
    for (std::size_t i : list) {
        const OutlineNode& node = nodes[i];
        if (out->back() != '[') out->push_back(',');
        // Children are optional: a leaf, most of a large file's symbols,
        // goes without, and the client has less to read.
        out->push_back('{');
        if (!node.children.empty()) {
            out->append("\"children\":");
            AppendOutline(s, out, source, nodes, node.children);
            out->push_back(',');
        }
        if (!node.detail.empty()) {
            out->append("\"detail\":");
            AppendJsonString(out, node.detail, JsonBytes::Utf8Replacing);
            out->push_back(',');
        }
        out->append("\"kind\":");
        AppendJsonNumber(out, static_cast<std::size_t>(KindNumber(node.kind)));
        out->append(",\"name\":");
        if (node.name.empty())
            AppendJsonString(out, "(anonymous " + std::string(SymbolKindName(node.kind)) + ")",
                             JsonBytes::Utf8);
        else
            AppendJsonString(out, node.name, JsonBytes::Utf8Replacing);
        out->append(",\"range\":");
        AppendRange(s, out, source, node.begin, node.end);
        out->append(",\"selectionRange\":");
        AppendRange(s, out, source, node.nameBegin, node.nameEnd);
        out->push_back('}');
    }
    out->push_back(']');
}

// A file's symbols, as many as a large file holds: written as text. A client
// that takes a tree gets members and enumerators under their struct, union
// or enum; a flat list names their container.
void DocumentSymbols(Server* s, const Json& id, const Json& params) {
    Source source;
    if (!LoadUri(s, params, &source)) {
        Reply(s, id, Json::array());
        return;
    }
    PreciseSymbols found;
    ScanSymbols(*source.text, &found);
    std::vector<OutlineNode> nodes;
    std::vector<std::size_t> top = Outline(source, found, &nodes);
    std::string out;
    if (s->clientHierarchicalSymbols) {
        AppendOutline(s, &out, source, nodes, top);
        ReplyText(s, id, out);
        return;
    }
    std::string uri;
    AppendJsonString(&uri, source.uri, JsonBytes::Utf8Replacing);
    out = "[";
    for (const OutlineNode& node : nodes) {
        if (node.made) continue;
        if (out.size() > 1) out.push_back(',');
        out.push_back('{');
        if (!node.container.empty()) {
            out.append("\"containerName\":");
            AppendJsonString(&out, node.container, JsonBytes::Utf8Replacing);
            out.push_back(',');
        }
        out.append("\"kind\":");
        AppendJsonNumber(&out, static_cast<std::size_t>(KindNumber(node.kind)));
        out.append(",\"location\":{\"range\":");
        AppendRange(s, &out, source, node.begin, node.end);
        out.append(",\"uri\":");
        out.append(uri);
        out.append("},\"name\":");
        AppendJsonString(&out, node.name, JsonBytes::Utf8Replacing);
        out.push_back('}');
    }
    out.push_back(']');
    ReplyText(s, id, out);
}

// The word at the request's position in its document, and the offset it
// begins at; empty when the document cannot be read or no word stands there.
std::string RequestedWord(Server* s, const Json& params, Source* source, std::size_t* begin) {
    if (!LoadUri(s, params, source)) return {};
    return std::string(WordAt(*source->text, OffsetAt(s, *source, params), begin));
}

void Definition(Server* s, const Json& id, const Source& source, const std::string& word) {
    Json locations = Json::array();
    for (const Found& found : DefinitionsOf(s, word, source.key))
        locations.push_back(FoundLocation(s, found));
    Reply(s, id, std::move(locations));
}

void References(Server* s, const Json& id, const Json& params, const Source& source,
                const std::string& word, bool highlight) {
    Json out = Json::array();
    if (highlight) {
        for (std::size_t at : FindOccurrences(*source.text, word))
            out.push_back({{"range", RangeOf(s, source, at, at + word.size())}, {"kind", 1}});
        Reply(s, id, std::move(out));
        return;
    }
    bool declarations = true;
    if (params.contains("context") && params["context"].is_object())
        declarations = params["context"].value("includeDeclaration", true);
    // The definitions' names, left out when the client asks so.
    std::set<std::pair<std::string, std::uint32_t>> defined;
    if (!declarations)
        for (const Found& found : DefinitionsOf(s, word, source.key))
            defined.insert({std::string(found.path), found.line});
    RefreshIndex(s);
    std::vector<std::string> keys;
    for (std::string_view path : IndexedPaths(s->index))
        if (path != source.key) keys.emplace_back(path);
    std::sort(keys.begin(), keys.end());
    keys.insert(keys.begin(), source.key);
    for (const std::string& key : keys) {
        if (IsCancelled(s, id)) {
            ReplyError(s, id, -32800, "Request cancelled");
            return;
        }
        Source file;
        if (key == source.key) {
            file.key = source.key;
            file.uri = source.uri;
            file.text = source.text;
            file.lines = source.lines;
        } else if (!LoadKey(s, key, &file)) {
            continue;
        }
        for (std::size_t at : FindOccurrences(*file.text, word)) {
            Json range = RangeOf(s, file, at, at + word.size());
            if (!defined.empty() &&
                defined.count({key, range["start"]["line"].get<std::uint32_t>()}) > 0)
                continue;
            out.push_back({{"uri", file.uri}, {"range", std::move(range)}});
        }
    }
    Reply(s, id, std::move(out));
}

// What a hover shows of a symbol that is no function: the lines that define
// it (a macro with its continued lines, a struct, union or enum to its
// closing brace), at most MaxHoverLines of them. Empty when no such symbol
// stands at line.
std::string DescribeDefinition(const Source& source, std::string_view name, std::uint32_t line,
                               char kind) {
    constexpr std::size_t MaxHoverLines = 20;
    const std::string& text = *source.text;
    PreciseSymbols found;
    ScanSymbols(text, &found);
    for (const PreciseSymbol& symbol : found.symbols) {
        if (symbol.kind != kind || static_cast<std::uint32_t>(symbol.line) != line + 1 ||
            SymbolName(text, symbol) != name)
            continue;
        std::size_t last = symbol.end > 0 ? static_cast<std::size_t>(symbol.end) - 1 : line;
        bool cut = last >= line + MaxHoverLines;
        if (cut) last = line + MaxHoverLines - 1;
        std::size_t from = source.lines->starts[line];
        std::string lines = text.substr(from, EndOfLine(source, last) - from);
        std::erase(lines, '\r');
        return "```c\n" + lines + (cut ? "\n..." : "") + "\n```";
    }
    return {};
}

void Hover(Server* s, const Json& id, const Source& source, const std::string& word,
           std::size_t begin) {
    for (const Found& found : DefinitionsOf(s, word, source.key)) {
        std::string path(found.path);
        Source defining;
        if (path == source.key) {
            defining.text = source.text;
            defining.lines = source.lines;
        } else if (!LoadKey(s, path, &defining)) {
            continue;
        }
        if (found.line >= defining.lines->starts.size()) continue;
        std::string markdown = found.kind == SymbolFunction
                                   ? DescribeFunction(*defining.text, word, found.line)
                                   : DescribeDefinition(defining, word, found.line, found.kind);
        if (markdown.empty()) continue;
        if (path != source.key)
            markdown += "\n\n*" + std::filesystem::path(path).filename().string() + ":" +
                        std::to_string(found.line + 1) + "*";
        Reply(s, id,
              {{"contents", {{"kind", "markdown"}, {"value", markdown}}},
               {"range", RangeOf(s, source, begin, begin + word.size())}});
        return;
    }
    Reply(s, id, nullptr);
}

bool Wanted(const Json& only, std::string_view kind) {
    if (!only.is_array()) return true;
    for (const Json& k : only) {
        if (!k.is_string()) continue;
        std::string prefix = k.get<std::string>();
        if (kind == prefix ||
            (kind.size() > prefix.size() && kind.substr(0, prefix.size()) == prefix &&
             kind[prefix.size()] == '.'))
            return true;
    }
    return false;
}

void CodeActions(Server* s, const Json& id, const Json& params) {
    Source source;
    if (!LoadUri(s, params, &source)) {
        Reply(s, id, Json::array());
        return;
    }
    Json only;
    if (params.contains("context") && params["context"].is_object() &&
        params["context"].contains("only"))
        only = params["context"]["only"];
    std::int64_t line = IntegerAt(params.at("range").at("start"), "line");
    std::string path = PathOfUri(source.uri);
    Json actions = Json::array();
    if (Wanted(only, "refactor.rewrite") && line >= 0 && line < (1 << 30)) {
        CommentAction action = CommentActionAt(*source.text, path.empty() ? source.uri : path,
                                               static_cast<int>(line) + 1, BlockDateNow());
        if (action.available) {
            Json edit = {{"range", RangeOf(s, source, action.change.start, action.change.end)},
                         {"newText", action.change.text}};
            actions.push_back({{"title", action.title},
                               {"kind", "refactor.rewrite"},
                               {"edit", {{"changes", {{source.uri, Json::array({edit})}}}}}});
        }
    }
    std::filesystem::path file(path);
    if (Wanted(only, "source") && !path.empty() && file.extension() != ".h") {
        std::string header = std::filesystem::path(file).replace_extension(".h").string();
        std::string text = PrototypesHeader(*source.text, path);
        Json edit;
        if (s->clientCreatesFiles) {
            std::string uri = UriOfKey(*s, header);
            Json origin = {{"line", 0}, {"character", 0}};
            edit = {{"documentChanges",
                     {{{"kind", "create"}, {"uri", uri}, {"options", {{"overwrite", true}}}},
                      {{"textDocument", {{"uri", uri}, {"version", nullptr}}},
                       {"edits",
                        {{{"range", {{"start", origin}, {"end", origin}}}, {"newText", text}}}}}}}};
        } else {
            // The header's whole text replaced, as the editor or the disk
            // holds it.
            Source old;
            Json end = {{"line", 0}, {"character", 0}};
            if (LoadKey(s, header, &old))
                end =
                    PositionJson(PositionOf(*old.text, *old.lines, old.text->size(), s->encoding));
            std::string uri = UriOfKey(*s, header);
            edit = {{"changes",
                     {{uri,
                       {{{"range", {{"start", {{"line", 0}, {"character", 0}}}, {"end", end}}},
                         {"newText", text}}}}}}};
        }
        actions.push_back(
            {{"title", "Write prototypes header"}, {"kind", "source"}, {"edit", edit}});
    }
    Reply(s, id, std::move(actions));
}

} // namespace

Json WorkspaceSymbols(Server* s, const std::string& query) {
    RefreshIndex(s);
    Json symbols = Json::array();
    // The container is the struct, union or enum a symbol belongs to, else
    // its file.
    for (const Found& found : QueryWorkspace(s->index, query, MaxWorkspaceSymbols))
        symbols.push_back(
            {{"name", found.name},
             {"kind", KindNumber(found.kind)},
             {"location", FoundLocation(s, found)},
             {"containerName", found.scope.empty()
                                   ? std::filesystem::path(found.path).filename().string()
                                   : std::string(found.scope)}});
    return symbols;
}

bool HandleFeatureRequest(Server* s, const std::string& method, const Json& id,
                          const Json& params) {
    if (method == "textDocument/documentSymbol") {
        DocumentSymbols(s, id, params);
    } else if (method == "workspace/symbol") {
        std::string query = params.value("query", std::string());
        if (s->indexing)
            s->parked.push_back({id, std::move(query)});
        else
            Reply(s, id, WorkspaceSymbols(s, query));
    } else if (method == "textDocument/definition" || method == "textDocument/references" ||
               method == "textDocument/documentHighlight" || method == "textDocument/hover") {
        // Each asks about the word at a position: null when none stands there.
        Source source;
        std::size_t begin = 0;
        std::string word = RequestedWord(s, params, &source, &begin);
        if (word.empty())
            Reply(s, id, nullptr);
        else if (method == "textDocument/definition")
            Definition(s, id, source, word);
        else if (method == "textDocument/hover")
            Hover(s, id, source, word, begin);
        else
            References(s, id, params, source, word, method == "textDocument/documentHighlight");
    } else if (method == "textDocument/codeAction") {
        CodeActions(s, id, params);
    } else {
        return false;
    }
    return true;
}

} // namespace kelpin::lsp
