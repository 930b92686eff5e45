// The language server's reader and dispatcher on arbitrary input, with no
// disk: the server knows only the documents the input opens. The first byte
// says what the rest is:
//   bit 0  a session is started first: initialize, initialized and a small
//          C document opened, so that the input reaches the handlers;
//   bit 1  that session asks for UTF-8 positions (else UTF-16);
//   bit 2  the rest is message bodies separated by zero bytes, each framed
//          here; else it is the raw stream, framing and all;
// and the second byte how many bytes each read hands over (1 to 256).
// Besides the sanitizers, every invariant below aborts on a breach.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "lsp/framing.h"
#include "lsp/server.h"
#include "support/fuzz_require.h"

using namespace kelpin::lsp;
using kelpin::testing::Require;

namespace {

const char OpenedText[] = "/* größe */\n"
                          "static int helper(int x)\n{\n    return x * 2;\n}\n\n"
                          "int main(void)\n{\n    return helper(\"😀\"[0]);\n}\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    unsigned mode = data[0];
    std::size_t step = std::size_t{data[1]} + 1;
    std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);

    std::size_t sent = 0;
    auto server = MakeServer({false, false, 1}, [&sent](std::string_view body) {
        // Whatever came in, what goes out is one JSON-RPC message.
        Json message = Json::parse(body, nullptr, false);
        Require(message.is_object(), "a message sent is a JSON object");
        Require(message.value("jsonrpc", "") == "2.0", "a message sent says jsonrpc 2.0");
        Require(message.contains("method") || message.contains("id"),
                "a message sent is a request, a notification or a response");
        ++sent;
    });
    auto feed = [&](std::string_view bytes) {
        for (std::size_t at = 0; at < bytes.size(); at += step)
            FeedServer(server.get(), bytes.substr(at, step));
    };
    if (mode & 1) {
        Json init = {{"capabilities", Json::object()}, {"rootUri", "file:///nowhere"}};
        init["capabilities"]["textDocument"]["documentSymbol"]
            ["hierarchicalDocumentSymbolSupport"] = (mode & 8) != 0;
        if (mode & 2) init["capabilities"]["general"]["positionEncodings"] = {"utf-8"};
        Json messages[] = {
            {{"jsonrpc", "2.0"}, {"id", 0}, {"method", "initialize"}, {"params", init}},
            {{"jsonrpc", "2.0"}, {"method", "initialized"}, {"params", Json::object()}},
            {{"jsonrpc", "2.0"},
             {"method", "textDocument/didOpen"},
             {"params",
              {{"textDocument",
                {{"uri", "file:///fuzz.c"},
                 {"languageId", "c"},
                 {"version", 1},
                 {"text", OpenedText}}}}}},
        };
        for (const Json& m : messages)
            feed(FrameMessage(m.dump()));
        Require(sent == 1, "initialize is answered");
    }
    if (mode & 4) {
        while (!rest.empty()) {
            std::size_t cut = rest.find('\0');
            feed(FrameMessage(rest.substr(0, cut)));
            rest.remove_prefix(cut == std::string_view::npos ? rest.size() : cut + 1);
        }
    } else {
        feed(rest);
    }
    // What the server holds is consistent with itself.
    const FrameReader& reader = server->reader;
    Require(reader.inBody || reader.pending.size() < MaxHeaderBytes + 4,
            "a header being read stays under its limit");
    Require(!reader.inBody || reader.pending.size() < reader.bodyBytes, "a body is not overfilled");
    for (const auto& [key, document] : server->documents)
        Require(document.lines.starts == IndexLines(document.text).starts,
                "a document's line index is its text's");
    RefreshIndex(server.get());
    for (std::string_view path : IndexedPaths(server->index))
        Require(server->documents.count(std::string(path)) > 0, "only open documents are indexed");
    return 0;
}
