// The language server's wire: messages framed by a "Content-Length" header,
// read from a byte stream that arrives in pieces of any size.
//
// The reader is a plain record and pure functions: bytes go in, whole
// message bodies and framing faults come out, with no I/O and no threads,
// so that a test or a fuzzer drives it as the server does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelpin::lsp {

// The largest body accepted: a longer one is refused before a byte of it is
// stored, and its bytes are passed over as they arrive.
inline constexpr std::size_t MaxBodyBytes = std::size_t{64} << 20;
// The longest header block: past it, what was read is no header.
inline constexpr std::size_t MaxHeaderBytes = 8192;

enum class FrameKind {
    Body,      // a whole message body in text
    BadHeader, // a header without a usable Content-Length; text says why
    TooLarge,  // a Content-Length over MaxBodyBytes; its body is skipped
};

struct Frame {
    FrameKind kind;
    std::string text;
};

struct FrameReader {
    std::string pending;       // bytes not yet taken: a header, or part of a body
    std::size_t bodyBytes = 0; // the body being read: its length, once its header is read
    bool inBody = false;
    std::uint64_t skipBytes = 0; // bytes of a refused body still to pass over
    bool resync = false;         // after a bad header: pass over bytes up to the next header
};

// Takes the next bytes of the stream and appends what they complete to out.
void FeedFrames(FrameReader* reader, std::string_view bytes, std::vector<Frame>* out);

// The frame of one message body, as the server writes it.
std::string FrameMessage(std::string_view body);

} // namespace kelpin::lsp
