#include "server.h"

#include <poll.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "kelpin_version.h"

namespace kelpin::lsp {

namespace {

enum : int {
    ParseError = -32700,
    InvalidRequest = -32600,
    MethodNotFound = -32601,
    InvalidParams = -32602,
    InternalError = -32603,
    ServerNotInitialized = -32002,
    RequestCancelled = -32800,
};

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SendJson(Server* s, const Json& message) {
    std::string body = message.dump(-1, ' ', false, Json::error_handler_t::replace);
    s->send(body);
}

// A request to the client; its id, as JSON text, to know its answer by.
std::string RequestClient(Server* s, const std::string& method, Json params) {
    std::string id = "kelpin-" + std::to_string(s->nextRequestId++);
    SendJson(s,
             {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
    return Json(id).dump();
}

bool UnderFolders(const Server& s, const std::string& path) {
    for (const std::string& folder : s.folders) {
        std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + '/';
        if (path.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
}

std::string FolderOfUri(std::string_view uri) {
    std::string path = PathOfUri(uri);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// ---- Indexing -------------------------------------------------------------------

IndexResult IndexWorkspace(const std::vector<std::string>& folders, int jobs, Encoding encoding,
                           std::atomic<std::size_t>* total, std::atomic<std::size_t>* done,
                           const std::atomic<bool>& stop) {
    auto start = std::chrono::steady_clock::now();
    IndexResult result;
    result.pack = IndexFolders(folders, encoding, jobs, total, done, stop);
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

void StartIndexing(Server* s, std::vector<std::string> folders);

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void AnswerParked(Server* s) {
    std::vector<ParkedQuery> parked;
    parked.swap(s->parked);
    for (ParkedQuery& query : parked)
        Reply(s, query.id, WorkspaceSymbols(s, query.query));
}

void TakeIndex(Server* s, IndexResult result) {
    if (s->indexer.joinable()) s->indexer.join();
    s->indexing = false;
    SymbolPack& pack = result.pack;
    std::size_t files = 0, symbols = 0;
    for (std::uint32_t f = 0; f < pack.paths.size(); ++f) {
        // A folder taken away meanwhile keeps nothing.
        if (!UnderFolders(*s, pack.paths[f])) {
            MarkGone(&pack, f);
            continue;
        }
        ++files;
        symbols += pack.fileStart[f + 1] - pack.fileStart[f];
    }
    PutPack(&s->index, std::move(pack));
    // The editor's texts count over the files'.
    for (const auto& [key, document] : s->documents)
        if (document.source) s->dirty.insert(key);
    if (s->progressBegun)
        Notify(s, "$/progress",
               {{"token", s->progressToken},
                {"value",
                 {{"kind", "end"},
                  {"message", Count(symbols, "symbol", "symbols") + " in " +
                                  Count(files, "file", "files")}}}});
    s->progressBegun = false;
    s->progressToken.clear();
    s->progressRequest.clear();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", result.seconds);
    Notify(s, "window/logMessage",
           {{"type", 3},
            {"message", "kelpin: indexed " + std::to_string(symbols) + " symbols in " +
                            std::to_string(files) + " files in " + seconds + " s"}});
    if (!s->waitingFolders.empty() && !s->shuttingDown) {
        std::vector<std::string> next;
        next.swap(s->waitingFolders);
        StartIndexing(s, std::move(next));
        return;
    }
    AnswerParked(s);
}

void StartIndexing(Server* s, std::vector<std::string> folders) {
    // The whole file system is no workspace: /proc alone never ends.
    std::erase(folders, std::string("/"));
    if (!s->options.useDisk || folders.empty() || s->shuttingDown) return;
    if (s->indexing) {
        s->waitingFolders.insert(s->waitingFolders.end(), folders.begin(), folders.end());
        return;
    }
    s->indexing = true;
    s->stopIndexing = false;
    s->filesTotal = 0;
    s->filesDone = 0;
    int jobs = s->options.jobs > 0
                   ? s->options.jobs
                   : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (!s->options.background) {
        TakeIndex(s, IndexWorkspace(folders, jobs, s->encoding, &s->filesTotal, &s->filesDone,
                                    s->stopIndexing));
        return;
    }
    if (s->clientProgress) {
        s->progressToken = "kelpin-index-" + std::to_string(s->nextRequestId);
        s->progressRequest =
            RequestClient(s, "window/workDoneProgress/create", {{"token", s->progressToken}});
    }
    Encoding encoding = s->encoding;
    s->indexer = std::thread([s, folders = std::move(folders), jobs, encoding] {
        IndexResult result =
            IndexWorkspace(folders, jobs, encoding, &s->filesTotal, &s->filesDone, s->stopIndexing);
        std::lock_guard<std::mutex> lock(s->mutex);
        s->events.push_back({Event::IndexDone, {}, std::move(result)});
        s->wake.notify_one();
    });
}

void ReportProgress(Server* s) {
    if (!s->indexing || !s->progressBegun) return;
    std::int64_t now = NowMs();
    if (now - s->lastReport < 250) return;
    s->lastReport = now;
    std::size_t total = s->filesTotal.load(), done = s->filesDone.load();
    Json value = {{"kind", "report"}};
    if (total == 0) {
        value["message"] = "listing files";
    } else {
        value["message"] = std::to_string(done) + "/" + std::to_string(total) + " files";
        value["percentage"] = static_cast<unsigned>(done * 100 / total);
    }
    Notify(s, "$/progress", {{"token", s->progressToken}, {"value", std::move(value)}});
}

// ---- Lifecycle ----------------------------------------------------------------

Json Initialize(Server* s, const Json& params) {
    const Json capabilities = params.value("capabilities", Json::object());
    auto at = [](const Json& object, std::initializer_list<const char*> path) -> Json {
        const Json* node = &object;
        for (const char* key : path) {
            if (!node->is_object()) return nullptr;
            auto it = node->find(key);
            if (it == node->end()) return nullptr;
            node = &*it;
        }
        return *node;
    };
    Json encodings = at(capabilities, {"general", "positionEncodings"});
    if (encodings.is_array())
        for (const Json& e : encodings)
            if (e == "utf-8") s->encoding = Encoding::Utf8;
    s->clientProgress = at(capabilities, {"window", "workDoneProgress"}) == true;
    Json operations = at(capabilities, {"workspace", "workspaceEdit", "resourceOperations"});
    if (operations.is_array())
        for (const Json& o : operations)
            if (o == "create") s->clientCreatesFiles = true;
    s->clientHierarchicalSymbols = at(capabilities, {"textDocument", "documentSymbol",
                                                     "hierarchicalDocumentSymbolSupport"}) == true;
    s->clientWatchRegistration =
        at(capabilities, {"workspace", "didChangeWatchedFiles", "dynamicRegistration"}) == true;

    Json folders = params.value("workspaceFolders", Json());
    if (folders.is_array()) {
        for (const Json& folder : folders)
            if (folder.is_object() && folder.contains("uri") && folder["uri"].is_string()) {
                std::string path = FolderOfUri(folder["uri"].get<std::string>());
                if (!path.empty()) s->folders.push_back(path);
            }
    } else if (params.contains("rootUri") && params["rootUri"].is_string()) {
        std::string path = FolderOfUri(params["rootUri"].get<std::string>());
        if (!path.empty()) s->folders.push_back(path);
    } else if (params.contains("rootPath") && params["rootPath"].is_string()) {
        s->folders.push_back(params["rootPath"].get<std::string>());
    }
    s->initialized = true;
    return {
        {"capabilities",
         {{"positionEncoding", s->encoding == Encoding::Utf8 ? "utf-8" : "utf-16"},
          {"textDocumentSync",
           {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
          {"documentSymbolProvider", true},
          {"workspaceSymbolProvider", true},
          {"definitionProvider", true},
          {"referencesProvider", true},
          {"documentHighlightProvider", true},
          {"hoverProvider", true},
          {"codeActionProvider", {{"codeActionKinds", {"refactor.rewrite", "source"}}}},
          {"workspace",
           {{"workspaceFolders", {{"supported", true}, {"changeNotifications", true}}}}}}},
        {"serverInfo", {{"name", "kelpin"}, {"version", KELPIN_VERSION}}},
    };
}

void Initialized(Server* s) {
    if (s->clientWatchRegistration && s->options.useDisk)
        RequestClient(
            s, "client/registerCapability",
            {{"registrations",
              {{{"id", "kelpin-watch"},
                {"method", "workspace/didChangeWatchedFiles"},
                {"registerOptions",
                 {{"watchers", {{{"globPattern", "**/*.c"}}, {{"globPattern", "**/*.h"}}}}}}}}}});
    StartIndexing(s, s->folders);
}

// A file the editor does not hold, read anew from disk.
void RereadFile(Server* s, const std::string& path) {
    if (s->documents.count(path) > 0) return;
    std::string text;
    if (s->options.useDisk && IsSourcePath(path) && UnderFolders(*s, path) &&
        ReadWholeFile(path, &text))
        PutFile(&s->index, ScanFile(path, text, s->encoding));
    else
        RemoveFile(&s->index, path);
}

void HandleNotification(Server* s, const std::string& method, const Json& params) {
    if (method == "exit") {
        s->exited = true;
        s->exitStatus = s->shuttingDown ? 0 : 1;
        s->stopIndexing = true;
        return;
    }
    if (!s->initialized) return;
    if (method == "initialized") {
        Initialized(s);
    } else if (method == "textDocument/didOpen") {
        const Json& item = params.at("textDocument");
        std::string uri = item.at("uri").get<std::string>();
        std::string key = KeyOfUri(uri);
        Document& d = s->documents[key];
        d.uri = uri;
        d.path = PathOfUri(uri);
        d.version = item.value("version", std::int64_t{0});
        d.source = IsSourcePath(key) || item.value("languageId", std::string()) == "c";
        ReplaceText(&d, item.at("text").get<std::string>());
        if (d.source) s->dirty.insert(key);
    } else if (method == "textDocument/didChange") {
        Document* d = OpenDocument(s, params.at("textDocument").at("uri").get<std::string>());
        if (d == nullptr) return;
        for (const Json& change : params.at("contentChanges")) {
            std::string text = change.at("text").get<std::string>();
            if (change.contains("range")) {
                const Json& range = change["range"];
                ApplyEdit(d, PositionOfJson(range.at("start")), PositionOfJson(range.at("end")),
                          text, s->encoding);
            } else {
                ReplaceText(d, std::move(text));
            }
        }
        d->version = params["textDocument"].value("version", d->version);
        if (d->source) s->dirty.insert(KeyOfUri(d->uri));
    } else if (method == "textDocument/didSave") {
        Document* d = OpenDocument(s, params.at("textDocument").at("uri").get<std::string>());
        if (d != nullptr && params.contains("text") && params["text"].is_string()) {
            ReplaceText(d, params["text"].get<std::string>());
            if (d->source) s->dirty.insert(KeyOfUri(d->uri));
        }
    } else if (method == "textDocument/didClose") {
        std::string key = KeyOfUri(params.at("textDocument").at("uri").get<std::string>());
        if (s->documents.erase(key) == 0) return;
        s->dirty.erase(key);
        RereadFile(s, key);
    } else if (method == "workspace/didChangeWatchedFiles") {
        for (const Json& change : params.at("changes")) {
            std::string path = PathOfUri(change.at("uri").get<std::string>());
            if (path.empty()) continue;
            if (change.value("type", 2) == 3 && s->documents.count(path) == 0)
                RemoveFile(&s->index, path);
            else
                RereadFile(s, path);
        }
    } else if (method == "workspace/didChangeWorkspaceFolders") {
        const Json& event = params.at("event");
        for (const Json& folder : event.value("removed", Json::array())) {
            std::string path = FolderOfUri(folder.at("uri").get<std::string>());
            std::erase(s->folders, path);
            RemoveFolder(&s->index, path);
        }
        std::vector<std::string> added;
        for (const Json& folder : event.value("added", Json::array())) {
            std::string path = FolderOfUri(folder.at("uri").get<std::string>());
            if (path.empty() ||
                std::find(s->folders.begin(), s->folders.end(), path) != s->folders.end())
                continue;
            s->folders.push_back(path);
            added.push_back(path);
        }
        StartIndexing(s, std::move(added));
    } else if (method == "$/cancelRequest") {
        Json id = params.at("id");
        for (auto it = s->parked.begin(); it != s->parked.end(); ++it)
            if (it->id == id) {
                ReplyError(s, id, RequestCancelled, "Request cancelled");
                s->parked.erase(it);
                break;
            }
        // Every request before this message is answered by now.
        std::lock_guard<std::mutex> lock(s->mutex);
        s->cancelled.erase(id.dump());
    }
}

void HandleRequest(Server* s, const std::string& method, const Json& id, const Json& params) {
    if (IsCancelled(s, id)) {
        ReplyError(s, id, RequestCancelled, "Request cancelled");
        return;
    }
    if (method == "initialize") {
        if (s->initialized) {
            ReplyError(s, id, InvalidRequest, "Invalid request: the server is initialized already");
            return;
        }
        Reply(s, id, Initialize(s, params));
        return;
    }
    if (!s->initialized) {
        ReplyError(s, id, ServerNotInitialized, "Server not initialized");
        return;
    }
    if (method == "shutdown") {
        s->shuttingDown = true;
        s->stopIndexing = true;
        Reply(s, id, nullptr);
        return;
    }
    if (s->shuttingDown) {
        ReplyError(s, id, InvalidRequest, "Invalid request: the server is shutting down");
        return;
    }
    if (!HandleFeatureRequest(s, method, id, params))
        ReplyError(s, id, MethodNotFound, "Method not found: " + method);
}

void HandleResponse(Server* s, const Json& message) {
    std::string id = message["id"].dump();
    if (id != s->progressRequest || message.contains("error")) return;
    s->progressRequest.clear();
    if (!s->indexing) return;
    s->progressBegun = true;
    s->lastReport = NowMs();
    Notify(s, "$/progress",
           {{"token", s->progressToken},
            {"value",
             {{"kind", "begin"},
              {"title", "kelpin: indexing"},
              {"cancellable", false},
              {"percentage", 0}}}});
}

void HandleFrame(Server* s, Frame& frame) {
    switch (frame.kind) {
    case FrameKind::Body: DispatchBody(s, frame.text); break;
    case FrameKind::BadHeader:
        ReplyError(s, nullptr, ParseError, "Parse error: " + frame.text);
        break;
    case FrameKind::TooLarge:
        ReplyError(s, nullptr, InvalidRequest,
                   "Invalid request: " + frame.text + "; it was skipped");
        break;
    }
}

// The reader thread's one look at a message: a cancellation is noted at
// once, so that a request being worked on sees it.
void NoteCancel(Server* s, const std::string& body) {
    if (body.find("$/cancelRequest") == std::string::npos) return;
    Json message = Json::parse(body, nullptr, false);
    if (!message.is_object() || message.value("method", Json()) != "$/cancelRequest") return;
    auto params = message.find("params");
    if (params == message.end() || !params->is_object() || !params->contains("id")) return;
    std::lock_guard<std::mutex> lock(s->mutex);
    if (s->cancelled.size() < 100000) s->cancelled.insert((*params)["id"].dump());
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

Server::~Server() {
    stopIndexing = true;
    if (indexer.joinable()) indexer.join();
}

std::unique_ptr<Server> MakeServer(ServerOptions options,
                                   std::function<void(std::string_view body)> send) {
    auto s = std::make_unique<Server>();
    s->options = options;
    s->send = std::move(send);
    return s;
}

void Reply(Server* s, const Json& id, Json result) {
    SendJson(s, {{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
}

void ReplyText(Server* s, const Json& id, std::string_view result) {
    std::string body = "{\"id\":" + id.dump(-1, ' ', false, Json::error_handler_t::replace) +
                       ",\"jsonrpc\":\"2.0\",\"result\":";
    body.append(result);
    body.push_back('}');
    s->send(body);
}

void ReplyError(Server* s, const Json& id, int code, const std::string& message) {
    SendJson(s,
             {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

void Notify(Server* s, const std::string& method, Json params) {
    SendJson(s, {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
}

bool IsCancelled(Server* s, const Json& id) {
    std::lock_guard<std::mutex> lock(s->mutex);
    return !s->cancelled.empty() && s->cancelled.count(id.dump()) > 0;
}

std::string KeyOfUri(std::string_view uri) {
    std::string path = PathOfUri(uri);
    return path.empty() ? std::string(uri) : path;
}

Document* OpenDocument(Server* s, std::string_view uri) {
    auto it = s->documents.find(KeyOfUri(uri));
    return it == s->documents.end() ? nullptr : &it->second;
}

bool TextOfUri(Server* s, std::string_view uri, std::string* text) {
    if (Document* d = OpenDocument(s, uri)) {
        *text = d->text;
        return true;
    }
    std::string path = PathOfUri(uri);
    return s->options.useDisk && !path.empty() && ReadWholeFile(path, text);
}

std::string UriOfKey(const Server& s, const std::string& key) {
    auto it = s.documents.find(key);
    if (it != s.documents.end()) return it->second.uri;
    return UriOfPath(key);
}

void RefreshIndex(Server* s) {
    for (const std::string& key : s->dirty) {
        auto it = s->documents.find(key);
        if (it != s->documents.end())
            PutFile(&s->index, ScanFile(key, it->second.text, s->encoding));
    }
    s->dirty.clear();
}

void DispatchBody(Server* s, const std::string& body) {
    if (s->exited) return;
    Json message = Json::parse(body, nullptr, false);
    if (message.is_discarded()) {
        ReplyError(s, nullptr, ParseError, "Parse error: the message is not valid JSON");
        return;
    }
    if (!message.is_object()) {
        ReplyError(s, nullptr, InvalidRequest, "Invalid request: a message is a JSON object");
        return;
    }
    auto idIt = message.find("id");
    bool hasId = idIt != message.end();
    Json id = hasId ? *idIt : Json(nullptr);
    if (hasId && !id.is_number_integer() && !id.is_number_unsigned() && !id.is_string()) {
        ReplyError(s, nullptr, InvalidRequest, "Invalid request: an id is a number or a string");
        return;
    }
    auto methodIt = message.find("method");
    if (methodIt == message.end()) {
        if (hasId && (message.contains("result") || message.contains("error")))
            HandleResponse(s, message);
        else
            ReplyError(s, id, InvalidRequest, "Invalid request: no method");
        return;
    }
    if (!methodIt->is_string()) {
        ReplyError(s, id, InvalidRequest, "Invalid request: the method is not a string");
        return;
    }
    std::string method = methodIt->get<std::string>();
    Json params = message.value("params", Json::object());
    if (params.is_null()) params = Json::object();
    if (!params.is_object() && !params.is_array()) {
        if (hasId) ReplyError(s, id, InvalidParams, "Invalid params: not an object");
        return;
    }
    try {
        if (hasId)
            HandleRequest(s, method, id, params);
        else
            HandleNotification(s, method, params);
    } catch (const std::exception& e) {
        // A field of the wrong type or missing: the message is refused, the
        // server goes on.
        if (hasId)
            ReplyError(s, id, InvalidParams, std::string("Invalid params: ") + e.what());
        else
            Notify(s, "window/logMessage",
                   {{"type", 1}, {"message", "kelpin: " + method + ": " + e.what()}});
    }
}

void FeedServer(Server* s, std::string_view bytes) {
    std::vector<Frame> frames;
    FeedFrames(&s->reader, bytes, &frames);
    for (Frame& frame : frames)
        HandleFrame(s, frame);
}

bool PollServer(Server* s, int waitMs) {
    std::deque<Event> events;
    {
        std::unique_lock<std::mutex> lock(s->mutex);
        s->wake.wait_for(lock, std::chrono::milliseconds(waitMs),
                         [s] { return !s->events.empty(); });
        events.swap(s->events);
    }
    bool open = true;
    for (Event& event : events) {
        if (s->exited) break;
        switch (event.kind) {
        case Event::Message: HandleFrame(s, event.frame); break;
        case Event::IndexDone: TakeIndex(s, std::move(event.indexed)); break;
        case Event::EndOfInput: open = false; break;
        }
    }
    ReportProgress(s);
    return open;
}

int RunServer(int in, int out, ServerOptions options) {
    ::signal(SIGPIPE, SIG_IGN);
#ifdef __GLIBC__
    // The index of a large tree grows in blocks of a few megabytes and is
    // then moved into arrays of its exact size. glibc would serve the
    // blocks from its heaps once a large array has been freed (its mmap
    // threshold rises), and keep them there after they are given back: the
    // server would hold the index twice. A fixed threshold sends every
    // large block straight back to the system.
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
    bool broken = false;
    auto server = MakeServer(options, [out, &broken](std::string_view body) {
        if (!broken && !WriteAll(out, FrameMessage(body))) broken = true;
    });
    Server* s = server.get();
    std::atomic<bool> stop{false};
    std::thread reader([s, in, &stop] {
        FrameReader framing;
        std::vector<char> buffer(65536);
        std::vector<Frame> frames;
        for (;;) {
            pollfd p{in, POLLIN, 0};
            int ready = ::poll(&p, 1, 100);
            if (stop.load()) return;
            if (ready < 0 && errno == EINTR) continue;
            if (ready == 0) continue;
            ssize_t n = ready < 0 ? -1 : ::read(in, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                std::lock_guard<std::mutex> lock(s->mutex);
                s->events.push_back({Event::EndOfInput, {}, {}});
                s->wake.notify_one();
                return;
            }
            frames.clear();
            FeedFrames(&framing, {buffer.data(), static_cast<std::size_t>(n)}, &frames);
            for (const Frame& frame : frames)
                if (frame.kind == FrameKind::Body) NoteCancel(s, frame.text);
            std::lock_guard<std::mutex> lock(s->mutex);
            for (Frame& frame : frames)
                s->events.push_back({Event::Message, std::move(frame), {}});
            s->wake.notify_one();
        }
    });
    while (!s->exited && !broken && PollServer(s, 100)) {
    }
    stop = true;
    reader.join();
    return s->exited ? s->exitStatus : 1;
}

std::int64_t IntegerAt(const Json& object, const char* key) {
    const Json& value = object.at(key);
    // Read as a double and converted, a number out of range would be
    // undefined; an unsigned one past the signed range is no position either.
    if (value.is_number_integer() &&
        !(value.is_number_unsigned() && value.get<std::uint64_t>() > INT64_MAX))
        return value.get<std::int64_t>();
    throw std::invalid_argument(std::string("\"") + key + "\" is not a whole number");
}

Position PositionOfJson(const Json& position) {
    return {IntegerAt(position, "line"), IntegerAt(position, "character")};
}

} // namespace kelpin::lsp
