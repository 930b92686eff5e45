// The requests on documents and the workspace: symbols, navigation, hover
// and the code actions that write the add-in's blocks.
#include <algorithm>
#include <filesystem>

#include "blocks.h"
#include "json_text.h"
#include "scanner/precise.h"
#include "server.h"

namespace kelpin::lsp {

using cli::AppendJsonNumber;
using cli::AppendJsonString;
using cli::JsonBytes;

namespace {

constexpr int FunctionKind = 12; // SymbolKind.Function
constexpr std::size_t MaxWorkspaceSymbols = 1000;

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

Json HitLocation(Server* s, const Hit& hit) {
    const FileSymbols& file = s->index.files[hit.file];
    const Symbol& symbol = file.symbols[hit.symbol];
    Json start = {{"line", symbol.line}, {"character", symbol.column}};
    Json end = {{"line", symbol.line}, {"character", symbol.column + symbol.nameLength}};
    return {{"uri", UriOfKey(*s, file.path)}, {"range", {{"start", start}, {"end", end}}}};
}

// The definitions of name, those in the file of key first, then by path
// and line.
std::vector<Hit> DefinitionsOf(Server* s, std::string_view name, const std::string& key) {
    RefreshIndex(s);
    std::vector<Hit> hits = FindDefinitions(s->index, name);
    std::sort(hits.begin(), hits.end(), [s, &key](const Hit& a, const Hit& b) {
        const FileSymbols& fa = s->index.files[a.file];
        const FileSymbols& fb = s->index.files[b.file];
        bool ha = fa.path == key, hb = fb.path == key;
        if (ha != hb) return ha;
        if (a.file != b.file) return fa.path < fb.path;
        return a.symbol < b.symbol;
    });
    return hits;
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

// A file's functions, as many as a large file holds: written as text.
void DocumentSymbols(Server* s, const Json& id, const Json& params) {
    Source source;
    if (!LoadUri(s, params, &source)) {
        Reply(s, id, Json::array());
        return;
    }
    const std::string& text = *source.text;
    PreciseScan scan;
    ScanPrecise(text, &scan);
    std::string uri;
    AppendJsonString(&uri, source.uri, JsonBytes::Utf8Replacing);
    std::string out = "[";
    for (const PreciseFunction& f : scan.functions) {
        std::size_t nameEnd = f.nameOffset + f.nameLength;
        std::size_t first = f.headerParts > 0 ? scan.header[f.headerFirst].offset : f.nameOffset;
        first = std::min(first, f.nameOffset);
        std::size_t last =
            f.end > 0 ? EndOfLine(source, static_cast<std::size_t>(f.end) - 1) : text.size();
        last = std::max(last, nameEnd);
        if (out.size() > 1) out.push_back(',');
        if (s->clientHierarchicalSymbols) {
            out.append("{\"children\":[],\"detail\":");
            AppendJsonString(&out, PreciseDeclaration(text, scan, f), JsonBytes::Utf8Replacing);
            out.append(",\"kind\":12,\"name\":");
            AppendJsonString(&out, PreciseName(text, f), JsonBytes::Utf8Replacing);
            out.append(",\"range\":");
            AppendRange(s, &out, source, first, last);
            out.append(",\"selectionRange\":");
            AppendRange(s, &out, source, f.nameOffset, nameEnd);
            out.push_back('}');
        } else {
            out.append("{\"kind\":12,\"location\":{\"range\":");
            AppendRange(s, &out, source, first, last);
            out.append(",\"uri\":");
            out.append(uri);
            out.append("},\"name\":");
            AppendJsonString(&out, PreciseName(text, f), JsonBytes::Utf8Replacing);
            out.push_back('}');
        }
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
    for (const Hit& hit : DefinitionsOf(s, word, source.key))
        locations.push_back(HitLocation(s, hit));
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
        for (const Hit& hit : DefinitionsOf(s, word, source.key)) {
            const FileSymbols& file = s->index.files[hit.file];
            defined.insert({file.path, file.symbols[hit.symbol].line});
        }
    RefreshIndex(s);
    std::vector<std::string> keys;
    for (const FileSymbols& file : s->index.files)
        if (file.path != source.key) keys.push_back(file.path);
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

void Hover(Server* s, const Json& id, const Source& source, const std::string& word,
           std::size_t begin) {
    for (const Hit& hit : DefinitionsOf(s, word, source.key)) {
        const FileSymbols& file = s->index.files[hit.file];
        std::uint32_t line = file.symbols[hit.symbol].line;
        Source defining;
        if (file.path == source.key) {
            defining = {};
            defining.text = source.text;
        } else if (!LoadKey(s, file.path, &defining)) {
            continue;
        }
        std::string markdown = DescribeFunction(*defining.text, word, line);
        if (markdown.empty()) continue;
        if (file.path != source.key)
            markdown += "\n\n*" + std::filesystem::path(file.path).filename().string() + ":" +
                        std::to_string(line + 1) + "*";
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
    for (const Hit& hit : QueryWorkspace(s->index, query, MaxWorkspaceSymbols)) {
        const FileSymbols& file = s->index.files[hit.file];
        std::string_view name = file.Name(file.symbols[hit.symbol]);
        symbols.push_back(
            {{"name", name},
             {"kind", FunctionKind},
             {"location", HitLocation(s, hit)},
             {"containerName", std::filesystem::path(file.path).filename().string()}});
    }
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
