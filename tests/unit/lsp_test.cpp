// kelpin lsp, driven in the test's own process through its frame reader and
// dispatcher, and as a process for its exit status.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <nlohmann/json.hpp>
#include <random>
#include <set>

#include "cli_runner.h"
#include "lsp/framing.h"
#include "lsp/index.h"
#include "lsp/server.h"
#include "scanner/symbols.h"

namespace kelpin::testing {
namespace {

using lsp::Json;

std::string Framed(const Json& message) {
    return lsp::FrameMessage(message.dump());
}

Json Request(int id, const std::string& method, Json params) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}};
}
Json Note(const std::string& method, Json params) {
    return {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

// An in-process server and what it sent.
struct Session {
    std::vector<Json> sent;
    std::unique_ptr<lsp::Server> server;

    explicit Session(lsp::ServerOptions options = {false, false, 1}) {
        server = lsp::MakeServer(options, [this](std::string_view body) {
            Json message = Json::parse(body, nullptr, false);
            EXPECT_FALSE(message.is_discarded()) << body;
            sent.push_back(std::move(message));
        });
    }
    void Feed(const std::string& bytes) { lsp::FeedServer(server.get(), bytes); }
    void Send(const Json& message) { Feed(Framed(message)); }
    // The answer to request id, sent since the call.
    Json Ask(int id, const std::string& method, Json params) {
        std::size_t from = sent.size();
        Send(Request(id, method, std::move(params)));
        for (std::size_t i = from; i < sent.size(); ++i)
            if (sent[i].contains("id") && sent[i]["id"] == id && !sent[i].contains("method"))
                return sent[i];
        return nullptr;
    }
    void Start(Json initialize = Json::object()) {
        initialize["capabilities"]["textDocument"]["documentSymbol"]
                  ["hierarchicalDocumentSymbolSupport"] = true;
        Json answer = Ask(1000, "initialize", initialize);
        ASSERT_TRUE(answer.contains("result")) << answer;
        Send(Note("initialized", Json::object()));
    }
    void Open(const std::string& uri, const std::string& text) {
        Send(Note("textDocument/didOpen",
                  {{"textDocument",
                    {{"uri", uri}, {"languageId", "c"}, {"version", 1}, {"text", text}}}}));
    }
};

Json At(const std::string& uri, int line, int character) {
    return {{"textDocument", {{"uri", uri}}},
            {"position", {{"line", line}, {"character", character}}}};
}

// ---- The wire ---------------------------------------------------------------------

// However the stream is cut into reads, the same frames come out: bodies
// byte for byte, bad headers reported and passed over, an oversized body
// skipped without being stored.
TEST(LspFraming, EveryCutOfTheStreamGivesTheSameFrames) {
    std::mt19937 random(7);
    std::string stream;
    std::vector<std::pair<lsp::FrameKind, std::string>> expected;
    for (int i = 0; i < 300; ++i) {
        int kind = i == 100 || i == 200 ? 1 : static_cast<int>(random() % 10) + 2;
        if (kind == 2) {
            stream += "Content-Type: nothing else\r\n\r\n";
            expected.push_back({lsp::FrameKind::BadHeader, ""});
        } else if (kind == 1) {
            stream += "content-length: 67108865\r\n\r\n" + std::string(67108865 % 4096, 'z');
            // Only the start of the body is sent here: the rest follows.
            stream += std::string(67108865 - 67108865 % 4096, 'z');
            expected.push_back({lsp::FrameKind::TooLarge, ""});
        } else {
            std::string body(random() % 200, '\0');
            for (char& c : body)
                c = static_cast<char>(random());
            stream +=
                "Content-Length: " + std::to_string(body.size()) +
                (kind == 3 ? "\r\nContent-Type: application/vscode-jsonrpc\r\n\r\n" : "\r\n\r\n") +
                body;
            expected.push_back({lsp::FrameKind::Body, body});
        }
    }
    for (int cut : {0, 1, 2, 3}) {
        lsp::FrameReader reader;
        std::vector<lsp::Frame> frames;
        std::size_t largest = 0;
        for (std::size_t at = 0; at < stream.size();) {
            // One byte, a few, or many at a time; a refused body's bytes
            // come in the large pieces a client writes them in.
            std::size_t n = cut == 0 ? stream.size()
                                     : 1 + random() % (cut == 1   ? 1
                                                       : cut == 2 ? 7
                                                                  : 70000);
            if (reader.skipBytes > 100000) n = 1 + random() % 1000000;
            n = std::min(n, stream.size() - at);
            lsp::FeedFrames(&reader, std::string_view(stream).substr(at, n), &frames);
            largest = std::max(largest, reader.pending.capacity());
            at += n;
        }
        ASSERT_EQ(frames.size(), expected.size()) << "cut " << cut;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i].kind, expected[i].first) << i;
            if (expected[i].first == lsp::FrameKind::Body) {
                EXPECT_EQ(frames[i].text, expected[i].second);
            }
        }
        // The refused bodies were never held.
        if (cut > 0) {
            EXPECT_LT(largest, std::size_t{1} << 20) << "cut " << cut;
        }
    }
}

// ---- Error paths ----------------------------------------------------------------

TEST(LspServer, BadMessagesGetTheirErrorAndTheServerGoesOn) {
    struct Case {
        const char* what;
        std::string bytes;
        int code;
        Json id;
    };
    auto body = [](const std::string& text) { return lsp::FrameMessage(text); };
    const Case cases[] = {
        {"not JSON", body("{x}"), -32700, nullptr},
        {"empty body", body(""), -32700, nullptr},
        {"invalid UTF-8", body("{\"a\":\"\xff\"}"), -32700, nullptr},
        {"no Content-Length", "Content-Type: a\r\n\r\n{}", -32700, nullptr},
        {"length not a number", "Content-Length: 12a\r\n\r\n", -32700, nullptr},
        {"length out of range", "Content-Length: 99999999999999999999999\r\n\r\n", -32700, nullptr},
        {"header line without colon", "Content-Length 2\r\n\r\n{}", -32700, nullptr},
        {"an array", body("[1,2]"), -32600, nullptr},
        {"an object id", body(R"({"jsonrpc":"2.0","id":{"a":1},"method":"x"})"), -32600, nullptr},
        {"no method", body(R"({"jsonrpc":"2.0","id":5})"), -32600, 5},
        {"method not a string", body(R"({"jsonrpc":"2.0","id":6,"method":7})"), -32600, 6},
        {"too large", "Content-Length: 67108865\r\n\r\n" + std::string(67108865, ' '), -32600,
         nullptr},
        {"unknown method", body(R"({"jsonrpc":"2.0","id":"u","method":"kelpin/nothing"})"), -32601,
         "u"},
        {"missing params", body(R"({"jsonrpc":"2.0","id":8,"method":"textDocument/hover"})"),
         -32602, 8},
        {"params of the wrong type",
         body(
             R"({"jsonrpc":"2.0","id":9,"method":"textDocument/definition","params":{"textDocument":{"uri":1},"position":{}}})"),
         -32602, 9},
        // Read as a double, a number past every integer was undefined.
        {"a line past every number",
         body(
             R"({"jsonrpc":"2.0","id":10,"method":"textDocument/definition","params":{"textDocument":{"uri":"file:///open.c"},"position":{"line":4.44444e19,"character":0}}})"),
         -32602, 10},
        {"a fraction of a character",
         body(
             R"({"jsonrpc":"2.0","id":11,"method":"textDocument/hover","params":{"textDocument":{"uri":"file:///open.c"},"position":{"line":0,"character":2.5}}})"),
         -32602, 11},
    };
    Session session;
    // Before initialize every request is refused.
    EXPECT_EQ(session.Ask(1, "workspace/symbol", {{"query", ""}})["error"]["code"], -32002);
    session.Start();
    session.Open("file:///open.c", "int f(void) { return 0; }\n");
    int next = 100;
    for (const Case& c : cases) {
        std::size_t from = session.sent.size();
        session.Feed(c.bytes);
        ASSERT_EQ(session.sent.size(), from + 1) << c.what;
        const Json& answer = session.sent[from];
        EXPECT_EQ(answer["error"]["code"], c.code) << c.what << ": " << answer;
        EXPECT_EQ(answer["id"], c.id) << c.what;
        // And the next message is read and answered as ever.
        Json after = session.Ask(++next, "workspace/symbol", {{"query", "x"}});
        EXPECT_TRUE(after.contains("result")) << c.what << ": " << after;
    }
}

// The exit status, as the process ends: 0 after shutdown and exit, 1 for an
// exit without shutdown or an input that just ends.
TEST(LspServer, ExitStatusSaysWhetherShutdownCameFirst) {
    std::string start = Framed(Request(1, "initialize", {{"capabilities", Json::object()}})) +
                        Framed(Note("initialized", Json::object()));
    std::string shutdown = Framed(Request(2, "shutdown", nullptr));
    std::string exit = Framed(Note("exit", nullptr));
    struct Case {
        std::string input;
        int status;
    } cases[] = {{start + shutdown + exit, 0}, {start + exit, 1}, {start + shutdown, 1}, {"", 1}};
    for (const Case& c : cases) {
        CliResult r = RunCli({"lsp"}, {.input = c.input});
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.status == 0) {
            EXPECT_NE(r.out.find("\"id\":2,\"jsonrpc\":\"2.0\",\"result\":null"), std::string::npos)
                << r.out;
        }
    }
}

// ---- Editing -------------------------------------------------------------------

// The document as UTF-16 code units, edited the plain way: a model of what
// the editor holds.
std::u16string Utf16(const std::string& utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        auto c = static_cast<unsigned char>(utf8[i]);
        std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
        for (std::size_t k = 1; k < n; ++k)
            cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += n;
    }
    return out;
}
std::string Utf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

// 10,000 random incremental edits in UTF-16 positions (some past a line's
// end or past the last line, where the editor's text clamps them): the
// server's text stays the model's, its line index stays the text's, and
// what it holds stays one document, one index entry and no backlog.
TEST(LspServer, TenThousandRandomEditsKeepTheModelText) {
    const std::u16string pieces[] = {u"{",       u"}", u"\n", u"int f(void) {\n", u"/*", u"*/",
                                     u"\"",      u"é", u"€",  u"\U0001F600",      u"x",  u"  ",
                                     u"g(1);\n", u""};
    std::u16string model = Utf16("/* größe 😀 */\nint main(void)\n{\n    return 0;\n}\n");
    Session session;
    session.Start();
    const std::string uri = "untitled:edits";
    session.Open(uri, Utf8(model));
    std::mt19937 random(11);
    auto positionIn = [&](std::u16string_view text, std::size_t* offset) {
        // A position at a character's start, sometimes past the line's end.
        std::vector<std::size_t> starts{0};
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == u'\n') starts.push_back(i + 1);
        std::size_t line = random() % (starts.size() + 1);
        if (line == starts.size()) {
            *offset = text.size();
            return Json{{"line", line + random() % 3}, {"character", random() % 5}};
        }
        std::size_t end = line + 1 < starts.size() ? starts[line + 1] - 1 : text.size();
        std::size_t character = random() % (end - starts[line] + 3);
        std::size_t at = std::min(starts[line] + character, end);
        if (at > starts[line] && at < end && text[at] >= 0xDC00 && text[at] < 0xE000)
            --at, --character;
        *offset = at;
        return Json{{"line", line}, {"character", character}};
    };
    for (int edit = 0; edit < 10000; ++edit) {
        std::size_t a = 0, b = 0;
        Json start = positionIn(model, &a);
        Json end = positionIn(model, &b);
        if (b < a) {
            std::swap(a, b);
            std::swap(start, end);
        }
        if (model.size() > 4000) b = std::min(model.size(), a + 400), end = nullptr;
        std::u16string text = random() % 3 == 0 ? u"" : pieces[random() % std::size(pieces)];
        if (end.is_null()) {
            // A long text: a deletion, sent as the model's own positions.
            std::size_t line = 0, column = 0;
            for (std::size_t i = 0; i < b; ++i)
                model[i] == u'\n' ? (++line, column = 0) : ++column;
            end = {{"line", line}, {"character", column}};
        }
        model.replace(a, b - a, text);
        Json change = {{"range", {{"start", start}, {"end", end}}}, {"text", Utf8(text)}};
        Json params = {{"textDocument", {{"uri", uri}, {"version", edit + 2}}},
                       {"contentChanges", Json::array({change})}};
        session.Send(Note("textDocument/didChange", params));
        const lsp::Document& held = session.server->documents.begin()->second;
        ASSERT_EQ(held.text, Utf8(model)) << "edit " << edit;
        if (edit % 500 == 0) {
            ASSERT_EQ(held.lines.starts, lsp::IndexLines(held.text).starts) << "edit " << edit;
            Json symbols =
                session.Ask(1, "textDocument/documentSymbol", {{"textDocument", {{"uri", uri}}}});
            ASSERT_TRUE(symbols["result"].is_array()) << symbols;
            ASSERT_TRUE(session.Ask(2, "workspace/symbol", {{"query", "f"}})["result"].is_array());
            EXPECT_EQ(session.server->documents.size(), 1u);
            EXPECT_EQ(lsp::IndexedPaths(session.server->index).size(), 1u);
            EXPECT_TRUE(session.server->dirty.empty());
            EXPECT_TRUE(session.server->cancelled.empty());
            session.sent.clear();
        }
    }
}

// ---- The add-in's blocks ------------------------------------------------------

// The code actions write exactly what "kelpin comment" writes with no field
// given, and the header lists what "kelpin prototypes --precise" lists.
TEST(LspServer, CodeActionsWriteWhatTheCommandsWrite) {
    const std::string withBlock =
        "/*-@@+@@--------------------------------[Do not edit manually]------------\n"
        " Procedure: beta\n"
        " Created  : Mon Jan  2 03:04:05 2006\n"
        " Modified : Mon Jan  2 03:04:05 2006\n"
        "\n"
        " Synopsys : Does beta things, and a good many of them, on a line longer than sixty-four.\n"
        " Input    : b\n"
        " Output   : \n"
        " Errors   : none\n"
        " ------------------------------------------------------------------@@-@@-*/\n"
        "static int beta(int b)\n{\n    return b;\n}\n";
    const std::string plain = "#include <stdio.h>\n\nint alpha(int a) {\n    return a;\n}\n";
    std::string crlf;
    for (char c : withBlock + plain)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    struct Case {
        const char* what;
        std::string text;
        int line; // 1-based
        const char* title;
        const char* command;
    } cases[] = {
        {"new function block", plain, 4, "Add function comment", "function"},
        {"function block kept", withBlock + plain, 13, "Update function comment", "function"},
        {"CRLF file", crlf, 13, "Update function comment", "function"},
        {"new module block", plain, 1, "Add module comment", "module"},
    };
    ::setenv("SOURCE_DATE_EPOCH", "1126112066", 1);
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    TempDir dir;
    for (const Case& c : cases) {
        std::string file = dir / "ex.c";
        WriteFile(file, c.text);
        Session session;
        session.Start();
        std::string uri = lsp::UriOfPath(file);
        session.Open(uri, c.text);
        Json answer = session.Ask(1, "textDocument/codeAction",
                                  {{"textDocument", {{"uri", uri}}},
                                   {"range",
                                    {{"start", {{"line", c.line - 1}, {"character", 0}}},
                                     {"end", {{"line", c.line - 1}, {"character", 0}}}}},
                                   {"context", {{"diagnostics", Json::array()}}}});
        ASSERT_EQ(answer["result"].size(), 2u) << c.what << answer;
        const Json& action = answer["result"][0];
        EXPECT_EQ(action["title"], c.title) << c.what;
        // Applied as an editor applies it.
        lsp::Document applied;
        lsp::ReplaceText(&applied, c.text);
        const Json& edit = action["edit"]["changes"][uri][0];
        auto position = [](const Json& p) {
            return lsp::Position{p["line"].get<std::int64_t>(), p["character"].get<std::int64_t>()};
        };
        lsp::ApplyEdit(&applied, position(edit["range"]["start"]), position(edit["range"]["end"]),
                       edit["newText"].get<std::string>(), lsp::Encoding::Utf16);
        std::vector<std::string> args = {"comment", c.command, file, "--stdout"};
        if (std::string(c.command) == "function")
            args.insert(args.end(), {"--line", std::to_string(c.line)});
        CliResult cli = RunCli(args, {.env = {"SOURCE_DATE_EPOCH=1126112066", "TZ=UTC"}});
        ASSERT_EQ(cli.status, 0) << cli.err;
        EXPECT_EQ(applied.text, cli.out) << c.what;

        const Json& header = answer["result"][1];
        EXPECT_EQ(header["title"], "Write prototypes header");
        std::string written = header["edit"]["changes"][lsp::UriOfPath(dir / "ex.h")][0]["newText"];
        CliResult listing = RunCli({"prototypes", "--precise", "--lf", file});
        auto body = [](const std::string& h) { // the declarations between the guard's lines
            std::size_t from = h.find("\n\n"), to = h.rfind("\n\n#endif");
            return from == std::string::npos || to == std::string::npos ? h
                                                                        : h.substr(from, to - from);
        };
        std::string lf = written;
        std::erase(lf, '\r');
        EXPECT_EQ(body(lf), body(listing.out)) << c.what;
        EXPECT_EQ(written.find("\r\n") != std::string::npos,
                  c.text.find("\r\n") != std::string::npos);
        EXPECT_EQ(written.substr(0, 16), "#ifndef __EX_H__");
    }
}

// ---- The workspace -------------------------------------------------------------

TEST(LspServer, WorkspaceSymbolsDefinitionsAndReferences) {
    TempDir dir;
    std::filesystem::create_directories(dir / "src");
    std::filesystem::create_directories(dir / ".hidden");
    WriteFile(dir / "src/a.c",
              "int parse(void) { return 0; }\nint parse_line(void) { return parse(); }\n"
              "static int reparse(void) { return 1; }\n");
    WriteFile(dir / "src/b.c", "int pxaxrxsxe(void) { /* parse */ return 0; }\nint parse(void) { "
                               "return \"parse\"[0]; }\n");
    WriteFile(dir / "src/c.h", "static inline int parsed(void) { return 2; }\n");
    WriteFile(dir / ".hidden/d.c", "int parse_hidden(void) { return 3; }\n");
    WriteFile(dir / "src/e.txt", "int parse_text(void) { return 4; }\n");
    Session session({true, false, 2});
    session.Start({{"rootUri", lsp::UriOfPath(dir.path())}});
    auto names = [](const Json& answer) {
        std::vector<std::string> out;
        for (const Json& s : answer["result"])
            out.push_back(
                s["name"].get<std::string>() + "@" +
                std::filesystem::path(lsp::PathOfUri(s["location"]["uri"].get<std::string>()))
                    .filename()
                    .string());
        return out;
    };
    // Exact first, then prefix, substring, subsequence; shorter first.
    EXPECT_EQ(names(session.Ask(1, "workspace/symbol", {{"query", "PARSE"}})),
              (std::vector<std::string>{"parse@a.c", "parse@b.c", "parsed@c.h", "parse_line@a.c",
                                        "reparse@a.c", "pxaxrxsxe@b.c"}));
    // Definition: the file's own first.
    std::string b = lsp::UriOfPath(dir / "src/b.c");
    session.Open(b, ReadFile(dir / "src/b.c"));
    Json definition =
        session.Ask(2, "textDocument/definition", At(lsp::UriOfPath(dir / "src/a.c"), 1, 33));
    ASSERT_EQ(definition["result"].size(), 2u) << definition;
    EXPECT_EQ(definition["result"][0]["uri"], lsp::UriOfPath(dir / "src/a.c"));
    // References: whole words outside comments and strings, everywhere.
    Json references = session.Ask(3, "textDocument/references", At(b, 1, 5));
    std::vector<std::string> where;
    for (const Json& r : references["result"])
        where.push_back(
            std::filesystem::path(lsp::PathOfUri(r["uri"].get<std::string>())).filename().string() +
            ":" + std::to_string(r["range"]["start"]["line"].get<int>()) + ":" +
            std::to_string(r["range"]["start"]["character"].get<int>()));
    EXPECT_EQ(where, (std::vector<std::string>{"b.c:1:4", "a.c:0:4", "a.c:1:30"}));
    // The editor's text counts over the file's, and a deleted file goes.
    session.Send(Note("textDocument/didChange",
                      {{"textDocument", {{"uri", b}, {"version", 2}}},
                       {"contentChanges", {{{"text", "int renamed(void) { return 0; }\n"}}}}}));
    std::filesystem::remove(dir / "src/c.h");
    session.Send(Note("workspace/didChangeWatchedFiles",
                      {{"changes", {{{"uri", lsp::UriOfPath(dir / "src/c.h")}, {"type", 3}}}}}));
    EXPECT_EQ(names(session.Ask(4, "workspace/symbol", {{"query", "parse"}})),
              (std::vector<std::string>{"parse@a.c", "parse_line@a.c", "reparse@a.c"}));
    EXPECT_EQ(names(session.Ask(5, "workspace/symbol", {{"query", "renamed"}})),
              (std::vector<std::string>{"renamed@b.c"}));
    // Hover on a call shows the declaration.
    Json hover = session.Ask(6, "textDocument/hover", At(lsp::UriOfPath(dir / "src/a.c"), 1, 33));
    EXPECT_NE(hover["result"]["contents"]["value"].get<std::string>().find("int parse(void)"),
              std::string::npos)
        << hover;
}

// A workspace/symbol asked while the index is being built waits for it, and
// a cancellation answers it at once. The client that can show progress
// is asked for a token and sees the indexing begin and end.
TEST(LspServer, QueriesWaitForTheIndexAndCanBeCancelled) {
    TempDir dir;
    WriteFile(dir / "a.c", "int alpha(void) { return 0; }\n");
    Session session({true, true, 1});
    session.Start({{"rootUri", lsp::UriOfPath(dir.path())},
                   {"capabilities", {{"window", {{"workDoneProgress", true}}}}}});
    ASSERT_EQ(session.sent.back()["method"], "window/workDoneProgress/create");
    Json token = session.sent.back()["params"]["token"];
    session.Send({{"jsonrpc", "2.0"}, {"id", session.sent.back()["id"]}, {"result", nullptr}});
    EXPECT_EQ(session.sent.back()["method"], "$/progress");
    EXPECT_EQ(session.sent.back()["params"]["value"]["kind"], "begin");
    std::size_t from = session.sent.size();
    session.Send(Request(1, "workspace/symbol", {{"query", "alpha"}}));
    session.Send(Request(2, "workspace/symbol", {{"query", "alpha"}}));
    EXPECT_EQ(session.sent.size(), from); // both wait
    session.Send(Note("$/cancelRequest", {{"id", 1}}));
    ASSERT_EQ(session.sent.size(), from + 1);
    EXPECT_EQ(session.sent[from]["id"], 1);
    EXPECT_EQ(session.sent[from]["error"]["code"], -32800);
    while (session.server->indexing)
        lsp::PollServer(session.server.get(), 100);
    Json answered, ended;
    int answers = 0;
    for (const Json& m : session.sent) {
        if (m.contains("id") && m["id"] == 2) answered = m;
        if (m.contains("id") && m["id"] == 1) ++answers;
        if (m.value("method", "") == "$/progress" && m["params"]["token"] == token &&
            m["params"]["value"]["kind"] == "end")
            ended = m;
    }
    ASSERT_EQ(answered["result"].size(), 1u) << answered;
    EXPECT_EQ(answered["result"][0]["name"], "alpha");
    EXPECT_EQ(answers, 1); // the cancelled one only once
    EXPECT_EQ(ended["params"]["value"]["message"], "1 symbol in 1 file") << ended;
}

// ---- The index against a model --------------------------------------------------------

// Files put in as packs and alone, replaced and removed at random, with
// names from a small alphabet so that they collide, differ in case and hold
// one another: every query and lookup gives what a plain list of the live
// symbols, ranked one by one, gives.
TEST(LspIndex, QueriesAndDefinitionsMatchAPlainListOfTheLiveSymbols) {
    std::mt19937 random(20261209);
    auto pick = [&random](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    const std::string kinds = "defgmstuv";
    auto makeFile = [&](const std::string& path) {
        lsp::FileSymbols file;
        file.path = path;
        std::size_t count = pick(6);
        for (std::size_t i = 0; i < count; ++i) {
            std::string name;
            for (std::size_t k = 1 + pick(5); k > 0; --k)
                name.push_back("abAB_"[pick(5)]);
            lsp::Symbol s{};
            s.nameOffset = static_cast<std::uint32_t>(file.names.size());
            s.nameLength = static_cast<std::uint32_t>(name.size());
            file.names += name;
            if (pick(3) == 0) {
                s.scopeOffset = static_cast<std::uint32_t>(file.names.size());
                s.scopeLength = 2;
                file.names += "Sc";
            }
            s.line = static_cast<std::uint32_t>(i);
            s.column = static_cast<std::uint32_t>(pick(9));
            s.kind = kinds[pick(kinds.size())];
            file.symbols.push_back(s);
        }
        return file;
    };
    auto fold = [](std::string t) {
        for (char& c : t)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return t;
    };
    // The ranking, written the plain way.
    auto rankOf = [&](const std::string& name, const std::string& q) -> int {
        std::string n = fold(name), f = fold(q);
        std::size_t at = n.find(f);
        if (at == 0) return n.size() == f.size() ? 0 : 1;
        if (at != std::string::npos) return 2;
        std::size_t k = 0;
        for (char c : n)
            if (k < f.size() && c == f[k]) ++k;
        return k == f.size() ? 3 : -1;
    };
    for (int round = 0; round < 40; ++round) {
        lsp::WorkspaceIndex index;
        std::map<std::string, lsp::FileSymbols> live;
        for (int step = 0; step < 30; ++step) {
            std::string path = "/w/" + std::to_string(pick(12)) + ".c";
            switch (pick(4)) {
            case 0: { // a pack of several files, a path twice at times
                lsp::PackBuilder builder;
                std::vector<lsp::FileSymbols> files;
                for (std::size_t k = 1 + pick(4); k > 0; --k)
                    files.push_back(makeFile("/w/" + std::to_string(pick(12)) + ".c"));
                for (const lsp::FileSymbols& f : files) {
                    lsp::AddFile(&builder, f);
                    live[f.path] = f;
                }
                lsp::PutPack(&index, lsp::FinishPack(&builder));
                break;
            }
            case 1:
            case 2: {
                lsp::FileSymbols f = makeFile(path);
                lsp::PutFile(&index, f);
                live[path] = f;
                break;
            }
            default: lsp::RemoveFile(&index, path); live.erase(path);
            }
        }
        std::vector<std::string_view> paths = lsp::IndexedPaths(index);
        std::set<std::string> indexed(paths.begin(), paths.end()), expected;
        for (const auto& [path, file] : live)
            expected.insert(path);
        ASSERT_EQ(indexed, expected);
        for (const std::string q : {"", "a", "A_", "ab", "ba", "aab", "b_b", "zz", "__"}) {
            struct Row {
                int rank;
                std::string name, path;
                std::uint32_t order;
                bool operator<(const Row& o) const {
                    auto key = [](const Row& r) {
                        return std::tuple(r.rank, r.name.size(), r.name, r.path, r.order);
                    };
                    return key(*this) < key(o);
                }
            };
            std::vector<Row> model;
            for (const auto& [path, file] : live)
                for (std::uint32_t i = 0; i < file.symbols.size(); ++i) {
                    const lsp::Symbol& s = file.symbols[i];
                    std::string name = file.names.substr(s.nameOffset, s.nameLength);
                    int rank = rankOf(name, q);
                    if (rank >= 0 && lsp::IsSearched(s.kind))
                        model.push_back({rank, name, path, i});
                }
            std::sort(model.begin(), model.end());
            for (std::size_t limit : {std::size_t{3}, std::size_t{1000}}) {
                std::vector<lsp::Found> found = lsp::QueryWorkspace(index, q, limit);
                ASSERT_EQ(found.size(), std::min(limit, model.size())) << "query " << q;
                for (std::size_t i = 0; i < found.size(); ++i) {
                    EXPECT_EQ(found[i].name, model[i].name) << q << " #" << i;
                    EXPECT_EQ(found[i].path, model[i].path) << q << " #" << i;
                    EXPECT_EQ(found[i].order, model[i].order) << q << " #" << i;
                    const lsp::Symbol& s = live[model[i].path].symbols[model[i].order];
                    EXPECT_EQ(found[i].line, s.line);
                    EXPECT_EQ(found[i].kind, s.kind);
                    EXPECT_EQ(found[i].scope, s.scopeLength ? "Sc" : "");
                }
            }
        }
        // Definitions: every kind, by path and place.
        for (const std::string name : {"a", "ab", "AB", "_"}) {
            std::vector<std::pair<std::string, std::uint32_t>> model, got;
            for (const auto& [path, file] : live)
                for (std::uint32_t i = 0; i < file.symbols.size(); ++i)
                    if (file.names.substr(file.symbols[i].nameOffset, file.symbols[i].nameLength) ==
                        name)
                        model.emplace_back(path, i);
            for (const lsp::Found& f : lsp::FindDefinitions(index, name))
                got.emplace_back(std::string(f.path), f.order);
            EXPECT_EQ(got, model) << name;
        }
    }
}

// The outline: members under their struct, those of an anonymous union
// under a node of its own, enumerators under their enum; a flat list names
// the container.
TEST(LspServer, DocumentSymbolsNestMembersUnderWhatHoldsThem) {
    const std::string text = "#define MAX 10\n"
                             "struct outer {\n"
                             "    int x;\n"
                             "    union { int u1; long u2; };\n"
                             "    struct in { int y; } z;\n"
                             "};\n"
                             "enum color { RED, GREEN };\n"
                             "typedef int count_t;\n"
                             "static int counter;\n"
                             "int main(void) { return MAX; }\n";
    Session session;
    session.Start();
    session.Open("file:///t.c", text);
    Json tree = session.Ask(1, "textDocument/documentSymbol",
                            {{"textDocument", {{"uri", "file:///t.c"}}}})["result"];
    std::function<std::string(const Json&)> show = [&](const Json& list) {
        std::string out;
        for (const Json& s : list) {
            if (!out.empty()) out += " ";
            out += s["name"].get<std::string>() + ":" + std::to_string(s["kind"].get<int>());
            if (s.contains("children")) out += "(" + show(s["children"]) + ")";
        }
        return out;
    };
    EXPECT_EQ(show(tree), "MAX:14 outer:23(x:8 (anonymous union):23(u1:8 u2:8) in:23(y:8) z:8) "
                          "color:10(RED:22 GREEN:22) count_t:5 counter:13 main:12");
    // A parent's range holds its children's.
    const Json& outer = tree[1];
    EXPECT_EQ(outer["range"]["start"]["line"], 1);
    EXPECT_EQ(outer["range"]["end"]["line"], 5);
    EXPECT_EQ(outer["children"][1]["range"]["start"]["line"], 3);
    EXPECT_FALSE(tree[4].contains("detail"));
    EXPECT_FALSE(tree[0].contains("children")); // a leaf goes without
    // Hover shows what defines a symbol of any kind.
    auto hover = [&session](int line, int character) {
        Json answer = session.Ask(9, "textDocument/hover", At("file:///t.c", line, character));
        return answer["result"].is_null()
                   ? std::string()
                   : answer["result"]["contents"]["value"].get<std::string>();
    };
    EXPECT_EQ(hover(9, 25), "```c\n#define MAX 10\n```");
    EXPECT_EQ(hover(1, 8), "```c\nstruct outer {\n    int x;\n    union { int u1; long u2; };\n"
                           "    struct in { int y; } z;\n};\n```");
    EXPECT_EQ(hover(6, 13), "```c\nenum color { RED, GREEN };\n```");
    EXPECT_EQ(tree[5]["detail"], "int main(void)");

    Session flat; // a client that takes no tree
    ASSERT_TRUE(flat.Ask(2, "initialize", Json::object()).contains("result"));
    flat.Send(Note("initialized", Json::object()));
    flat.Open("file:///t.c", text);
    Json list = flat.Ask(3, "textDocument/documentSymbol",
                         {{"textDocument", {{"uri", "file:///t.c"}}}})["result"];
    std::vector<std::string> rows;
    for (const Json& s : list)
        rows.push_back(s["name"].get<std::string>() + "@" + s.value("containerName", ""));
    EXPECT_EQ(rows, (std::vector<std::string>{"MAX@", "outer@", "x@outer", "u1@", "u2@", "in@outer",
                                              "y@in", "z@outer", "color@", "RED@color",
                                              "GREEN@color", "count_t@", "counter@", "main@"}));
}

// Outlines of random C made of structs with anonymous members inside,
// typedefs of anonymous structs, enums, macros over several lines,
// functions and conditionals: every node's range holds its name's and its
// children's, and the nodes that stand for a symbol are exactly the
// default-kind symbols the scanner finds, in a tree and in a flat list.
TEST(LspServer, OutlinesHoldTheirChildrenAndEverySymbol) {
    std::mt19937 random(9122026);
    auto pick = [&random](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    auto piece = [&](int k) -> std::string {
        std::string n = std::to_string(k);
        switch (pick(8)) {
        case 0: return "#define N" + n + " " + n + "\n";
        case 1: return "#define F" + n + "(x) \\\n    ((x) + " + n + ")\n";
        case 2:
            return "struct s" + n + " {\n  int a;\n  union { int b; long c; };\n" +
                   "  struct { int d; } e;\n};\n";
        case 3: return "typedef struct {\n  int m" + n + ";\n  char *p;\n} t" + n + ";\n";
        case 4: return "enum e" + n + " { A" + n + ", B" + n + " = 2 };\n";
        case 5: return "/* \xc3\xbc\xf0\x9f\x98\x80 */ static int v" + n + ";\n";
        case 6: return "int f" + n + "(void)\n{\n  return " + n + ";\n}\n";
        default:
            return "struct o" + n + " { struct i" + n + " { int x; } y; enum { Q" + n +
                   " } z; };\n";
        }
    };
    for (int round = 0; round < 60; ++round) {
        std::string text;
        for (int k = 0, count = 1 + pick(12); k < count; ++k) {
            if (pick(5) == 0)
                text += "#if X\n" + piece(k) + "#else\n" + piece(k + 100) + "#endif\n";
            else
                text += piece(k);
        }
        PreciseSymbols found;
        ScanSymbols(text, &found);
        std::size_t symbols = 0;
        for (const PreciseSymbol& symbol : found.symbols)
            symbols += symbol.kind != SymbolPrototype && symbol.kind != SymbolExtern;

        Session tree;
        tree.Start();
        tree.Open("file:///r.c", text);
        Json answer = tree.Ask(1, "textDocument/documentSymbol",
                               {{"textDocument", {{"uri", "file:///r.c"}}}})["result"];
        auto at = [](const Json& p) {
            return std::pair(p["line"].get<int>(), p["character"].get<int>());
        };
        auto inside = [&](const Json& inner, const Json& outer) {
            return at(outer["start"]) <= at(inner["start"]) && at(inner["end"]) <= at(outer["end"]);
        };
        std::size_t named = 0;
        std::function<void(const Json&, const Json*)> walk = [&](const Json& list,
                                                                 const Json* parent) {
            for (const Json& node : list) {
                EXPECT_TRUE(inside(node["selectionRange"], node["range"])) << node << "\n" << text;
                if (parent != nullptr) {
                    EXPECT_TRUE(inside(node["range"], (*parent)["range"]))
                        << node << " in " << (*parent)["name"] << "\n"
                        << text;
                }
                named += at(node["selectionRange"]["start"]) != at(node["selectionRange"]["end"]);
                if (node.contains("children")) walk(node["children"], &node);
            }
        };
        walk(answer, nullptr);
        EXPECT_EQ(named, symbols) << text;

        Session flat; // a client that takes no tree
        ASSERT_TRUE(flat.Ask(2, "initialize", Json::object()).contains("result"));
        flat.Send(Note("initialized", Json::object()));
        flat.Open("file:///r.c", text);
        EXPECT_EQ(flat.Ask(3, "textDocument/documentSymbol",
                           {{"textDocument", {{"uri", "file:///r.c"}}}})["result"]
                      .size(),
                  symbols)
            << text;
    }
}

} // namespace
} // namespace kelpin::testing
