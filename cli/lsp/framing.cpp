#include "framing.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace kelpin::lsp {

namespace {

constexpr std::string_view LengthField = "content-length";

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::size_t FindNoCase(std::string_view text, std::string_view needle) {
    if (text.size() < needle.size()) return std::string_view::npos;
    for (std::size_t i = 0; i + needle.size() <= text.size(); ++i)
        if (EqualsNoCase(text.substr(i, needle.size()), needle)) return i;
    return std::string_view::npos;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The header block's Content-Length, or an explanation in *problem.
bool ParseHeader(std::string_view header, std::uint64_t* length, bool* tooLarge,
                 std::string* problem) {
    bool found = false;
    *tooLarge = false;
    while (!header.empty()) {
        std::size_t eol = header.find("\r\n");
        std::string_view line = header.substr(0, eol);
        header.remove_prefix(eol == std::string_view::npos ? header.size() : eol + 2);
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            *problem = "a header line without \":\"";
            return false;
        }
        if (!EqualsNoCase(Trim(line.substr(0, colon)), LengthField)) continue;
        std::string_view value = Trim(line.substr(colon + 1));
        if (value.empty()) {
            *problem = "an empty Content-Length";
            return false;
        }
        std::uint64_t n = 0;
        for (char c : value) {
            if (c < '0' || c > '9') {
                *problem = "a Content-Length that is not a number";
                return false;
            }
            if (n > (UINT64_MAX - 9) / 10) {
                *problem = "a Content-Length out of range";
                return false;
            }
            n = n * 10 + static_cast<std::uint64_t>(c - '0');
        }
        *length = n;
        *tooLarge = n > MaxBodyBytes;
        found = true;
    }
    if (!found) *problem = "a header without Content-Length";
    return found;
}

} // namespace

void FeedFrames(FrameReader* r, std::string_view in, std::vector<Frame>* out) {
    for (;;) {
        if (r->skipBytes > 0) {
            auto n = static_cast<std::size_t>(std::min<std::uint64_t>(r->skipBytes, in.size()));
            r->skipBytes -= n;
            in.remove_prefix(n);
            if (r->skipBytes > 0) return;
            continue;
        }
        if (r->inBody) {
            std::size_t n = std::min(r->bodyBytes - r->pending.size(), in.size());
            r->pending.append(in.substr(0, n));
            in.remove_prefix(n);
            if (r->pending.size() < r->bodyBytes) return;
            out->push_back({FrameKind::Body, std::move(r->pending)});
            r->pending = std::string();
            r->inBody = false;
            continue;
        }
        // A header: never more of the input is taken than the header
        // holds, so a body that follows is read once, straight from in.
        if (in.empty()) return;
        std::size_t take = std::min(MaxHeaderBytes + 4 - r->pending.size(), in.size());
        r->pending.append(in.substr(0, take));
        if (r->resync) {
            // After a bad header: what stands before the next header is not
            // a message.
            std::size_t at = FindNoCase(r->pending, LengthField);
            if (at == std::string::npos) {
                std::size_t keep = std::min(r->pending.size(), LengthField.size() - 1);
                r->pending.erase(0, r->pending.size() - keep);
                in.remove_prefix(take);
                continue;
            }
            r->pending.erase(0, at);
            take = std::min(take, r->pending.size());
            r->resync = false;
        }
        std::size_t before = r->pending.size() - take; // bytes held from earlier input
        std::size_t end = r->pending.find("\r\n\r\n", before < 3 ? 0 : before - 3);
        if (end == std::string::npos) {
            in.remove_prefix(take);
            if (r->pending.size() < MaxHeaderBytes + 4) continue;
            out->push_back({FrameKind::BadHeader, "a header longer than 8192 bytes"});
            r->pending.erase(0, MaxHeaderBytes);
            r->resync = true;
            continue;
        }
        in.remove_prefix(end + 4 > before ? end + 4 - before : 0);
        std::string header = r->pending.substr(0, end);
        r->pending.clear();
        std::uint64_t length = 0;
        bool tooLarge = false;
        std::string problem;
        if (!ParseHeader(header, &length, &tooLarge, &problem)) {
            out->push_back({FrameKind::BadHeader, "a malformed header: " + problem});
            r->resync = true;
        } else if (tooLarge) {
            out->push_back({FrameKind::TooLarge, "a message longer than 64 MiB"});
            r->skipBytes = length;
        } else {
            r->inBody = true;
            r->bodyBytes = static_cast<std::size_t>(length);
        }
    }
}

std::string FrameMessage(std::string_view body) {
    std::string frame = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    frame.append(body);
    return frame;
}

} // namespace kelpin::lsp
