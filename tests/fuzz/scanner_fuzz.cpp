// The scanner and the lookup on arbitrary bytes: no crash, no sanitizer
// report, the same calls as the plain character-by-character scanner, and
// the invariants the users of both rely on.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "scanner/lookup.h"
#include "scanner/scanner.h"
#include "support/reference_scanner.h"

using kelpin::testing::ScanCall;

namespace {

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "scanner_fuzz: check failed at line %d: %s\n", __LINE__,          \
                         #condition);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

struct Recorder {
    std::vector<ScanCall> calls;
    int stopAfterEnds = -1; // -1: never stop
};

void RecordBegin(std::int32_t line, const char* declaration, void* context) {
    static_cast<Recorder*>(context)->calls.push_back({true, line, declaration});
}

int RecordEnd(std::int32_t line, void* context) {
    auto* r = static_cast<Recorder*>(context);
    r->calls.push_back({false, line, {}});
    return r->stopAfterEnds < 0 || --r->stopAfterEnds > 0 ? 1 : 0;
}

// What the lookup must find for a caret line, worked out from the whole list
// of calls: the scan stops at the first end below the caret, and that
// function is the answer if it starts at or above it; a body still open at
// the end of the text holds every line from its start.
const ScanCall* Expected(const std::vector<ScanCall>& calls, std::int32_t caret,
                         std::int32_t* end) {
    const ScanCall* open = nullptr;
    for (const ScanCall& call : calls) {
        if (call.begin) {
            open = &call;
        } else if (call.line > caret) {
            *end = call.line;
            return open->line <= caret ? open : nullptr;
        } else {
            open = nullptr;
        }
    }
    *end = 0;
    return open != nullptr && open->line <= caret ? open : nullptr;
}

void CheckLookup(const char* text, const std::vector<ScanCall>& calls, std::int32_t caret) {
    const kelpin::CurrentFunction f = kelpin::FindCurrentFunction(text, caret);

    std::int32_t end = 0;
    const ScanCall* expected = Expected(calls, caret, &end);
    if (expected == nullptr) {
        CHECK(f.declaration[0] == '\0');
        CHECK(f.name[0] == '\0');
        return;
    }
    // The answer holds the caret.
    CHECK(f.startLine <= caret);
    CHECK(f.endLine == 0 || caret < f.endLine);
    CHECK(f.startLine == expected->line);
    CHECK(f.endLine == end);
    CHECK(std::string(f.declaration) == expected->declaration.substr(0, 511));
    std::string name(kelpin::FunctionNameOf(expected->declaration));
    CHECK(std::string(f.name) == name.substr(0, 511));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const char* text = bytes.c_str(); // a zero byte ends the text

    Recorder full;
    kelpin::ScanFunctions(text, RecordBegin, RecordEnd, &full);
    CHECK(full.calls == kelpin::testing::ReferenceScan(text));

    // Begins and ends alternate, lines never go back, an end comes at least a
    // line after its begin, a declaration fits its buffer and holds both
    // parentheses.
    const ScanCall* lastBegin = nullptr;
    for (std::size_t i = 0; i < full.calls.size(); ++i) {
        const ScanCall& call = full.calls[i];
        if (call.begin) {
            CHECK(i == 0 || !full.calls[i - 1].begin);
            CHECK(lastBegin == nullptr || lastBegin->line <= call.line);
            CHECK(call.declaration.size() <= 4095);
            CHECK(call.declaration.find('(') != std::string::npos);
            CHECK(call.declaration.find(')') != std::string::npos);
            CHECK(call.declaration.find('\n') == std::string::npos);
            CHECK(call.declaration.find('\r') == std::string::npos);
            CHECK(call.declaration.empty() || call.declaration[0] != ' ');
            lastBegin = &call;
        } else {
            CHECK(i > 0 && full.calls[i - 1].begin);
            CHECK(call.line >= lastBegin->line + 1);
        }
    }

    // Stopped at its k-th end, the scan has made exactly the calls up to it.
    std::size_t ends = static_cast<std::size_t>(std::count_if(
        full.calls.begin(), full.calls.end(), [](const ScanCall& c) { return !c.begin; }));
    if (ends > 0) {
        int k = static_cast<int>(size % ends) + 1;
        std::size_t upTo = 0;
        for (int seen = 0; seen < k; ++upTo)
            if (!full.calls[upTo].begin) ++seen;
        Recorder stopped;
        stopped.stopAfterEnds = k;
        kelpin::ScanFunctions(text, RecordBegin, RecordEnd, &stopped);
        CHECK(stopped.calls.size() == upTo);
        CHECK(std::equal(stopped.calls.begin(), stopped.calls.end(), full.calls.begin()));
    }

    // The lookup at the first line, the last line, past it, and a line
    // chosen by the input.
    std::int32_t lines =
        static_cast<std::int32_t>(std::count(text, text + std::strlen(text), '\n')) + 1;
    std::int32_t chosen = size > 0 ? static_cast<std::int32_t>(data[0]) % (lines + 1) + 1 : 1;
    for (std::int32_t caret : {1, lines, lines + 1, chosen})
        CheckLookup(text, full.calls, caret);
    return 0;
}
