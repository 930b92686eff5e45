// kelpin lsp: a language server on the core's own functions, speaking
// JSON-RPC with Content-Length framing.
//
// The server is a record and functions on it. Bytes from the client go in
// through FeedServer (the reader thread of RunServer, or a test, or a
// fuzzer), each whole message is dispatched in order, and every message to
// the client leaves through the send function it was made with. Workspace
// indexing runs on threads of its own and hands its result back as an event
// that the dispatching thread takes in.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "framing.h"
#include "index.h"
#include "text.h"

namespace kelpin::lsp {

using Json = nlohmann::json;

struct ServerOptions {
    // Index the workspace folders and read files the editor has not opened.
    // Off, the server knows only the open documents (the fuzzer's server).
    bool useDisk = true;
    // Index on threads while requests are answered; off, `initialized`
    // indexes before it returns (tests).
    bool background = true;
    int jobs = 0;      // indexing threads; 0: one for each processor
    bool stdio = true; // the transport (the only one)
};

// What the indexing threads hand back.
struct IndexResult {
    SymbolPack pack;
    double seconds = 0;
};

struct Event {
    enum Kind { Message, IndexDone, EndOfInput } kind;
    Frame frame;         // Message
    IndexResult indexed; // IndexDone
};

// A workspace/symbol request that waits for the index to be complete.
struct ParkedQuery {
    Json id;
    std::string query;
};

struct Server {
    ServerOptions options;
    std::function<void(std::string_view body)> send;

    // The session.
    bool initialized = false;
    bool shuttingDown = false;
    bool exited = false;
    int exitStatus = 1;
    Encoding encoding = Encoding::Utf16;
    bool clientProgress = false;     // window.workDoneProgress
    bool clientCreatesFiles = false; // workspaceEdit.resourceOperations has "create"
    bool clientHierarchicalSymbols = false;
    bool clientWatchRegistration = false;
    std::vector<std::string> folders; // workspace folders, as paths
    std::int64_t nextRequestId = 1;

    // Documents the editor has open, by key (their path, or their URI when
    // they are no file).
    std::map<std::string, Document> documents;
    std::set<std::string> dirty; // open documents whose index entry is stale

    WorkspaceIndex index;

    // Indexing.
    std::thread indexer;
    bool indexing = false;
    std::vector<std::string> waitingFolders; // to index once this run ends
    std::atomic<bool> stopIndexing{false};
    std::atomic<std::size_t> filesTotal{0};
    std::atomic<std::size_t> filesDone{0};
    std::vector<ParkedQuery> parked;
    std::string progressToken;   // the token asked for, while indexing
    std::string progressRequest; // the id of that create request
    bool progressBegun = false;
    std::int64_t lastReport = 0; // steady milliseconds

    // Events from the threads, taken in by the dispatching thread.
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Event> events;
    std::set<std::string> cancelled; // ids (as JSON text) the client cancelled

    FrameReader reader;

    ~Server();
};

std::unique_ptr<Server> MakeServer(ServerOptions options,
                                   std::function<void(std::string_view body)> send);

// Frames bytes from the client and dispatches every whole message in turn.
void FeedServer(Server* server, std::string_view bytes);
// Dispatches one message body.
void DispatchBody(Server* server, const std::string& body);
// Takes in what the indexing threads handed back and reports progress,
// waiting up to waitMs for something to arrive. False after end of input.
bool PollServer(Server* server, int waitMs);

// Reads messages from in and writes to out until `exit` or the end of the
// input: 0 after shutdown and exit, 1 otherwise.
int RunServer(int in, int out, ServerOptions options);

// ---- Used across the server's files -------------------------------------------

// Replies to a request.
void Reply(Server* server, const Json& id, Json result);
// The same with the result already written as JSON text.
void ReplyText(Server* server, const Json& id, std::string_view result);
void ReplyError(Server* server, const Json& id, int code, const std::string& message);
void Notify(Server* server, const std::string& method, Json params);

bool IsCancelled(Server* server, const Json& id);

// The line and character of an LSP Position object. A field that is not a
// whole number (a fraction, 4e19, text) throws, and the message is refused.
Position PositionOfJson(const Json& position);
// The whole number at key of object, or the same throw.
std::int64_t IntegerAt(const Json& object, const char* key);

// The key, and the open document, of a URI; nullptr when it is not open.
std::string KeyOfUri(std::string_view uri);
Document* OpenDocument(Server* server, std::string_view uri);
// The text of a URI: the editor's when it is open, else the file's (when the
// server reads files). False when there is none.
bool TextOfUri(Server* server, std::string_view uri, std::string* text);
// The URI to name a file by: the editor's when it is open.
std::string UriOfKey(const Server& server, const std::string& key);
// Brings the index up to date with the open documents.
void RefreshIndex(Server* server);

// The requests on documents and the workspace (features.cpp); each returns
// false for a method it does not know.
bool HandleFeatureRequest(Server* server, const std::string& method, const Json& id,
                          const Json& params);
// Answers a workspace/symbol query from the index.
Json WorkspaceSymbols(Server* server, const std::string& query);

} // namespace kelpin::lsp
