// A second scanner, written for clarity alone: one character at a time
// through a NextChar step, every rule in the order it is stated, no skipping
// ahead. The tests run it beside ScanFunctions on the same texts and expect
// the same calls, so a fault in the fast paths shows up as a difference.
#pragma once

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace kelpin::testing {

// One handler call: a begin (line, declaration) or an end (line).
struct ScanCall {
    bool begin;
    std::int32_t line;
    std::string declaration;
    bool operator==(const ScanCall&) const = default;
};

inline void PrintTo(const ScanCall& call, std::ostream* out) {
    if (call.begin)
        *out << "Begin(" << call.line << ", \"" << call.declaration << "\")";
    else
        *out << "End(" << call.line << ")";
}

class ReferenceScanner {
  public:
    // Scans text; stopAtEnd(line) returning true stops the scan like an end
    // handler returning 0.
    template <typename StopAtEnd> std::vector<ScanCall> Run(const char* text, StopAtEnd stopAtEnd) {
        text_ = text;
        length_ = std::strlen(text);
        while (Next()) {
            switch (current_) {
            case '*':
                if (previous_ == '/') {
                    if (!BlockComment()) return calls_;
                } else if (!inBody_) {
                    Append();
                }
                break;
            case '/':
                if (previous_ == '/' && !LineComment()) return calls_;
                break;
            case ';': Clear(); break;
            case '{':
                ++depth_;
                if (inBody_) break;
                if (buffer_.find('(') != std::string::npos &&
                    buffer_.find(')') != std::string::npos) {
                    calls_.push_back({true, lines_, buffer_});
                    inBody_ = true;
                }
                Clear();
                break;
            case '}':
                --depth_;
                if (depth_ == 0 && inBody_) {
                    inBody_ = false;
                    calls_.push_back({false, lines_ + 1, {}});
                    if (stopAtEnd(lines_ + 1)) return calls_;
                }
                break;
            case '\n': ++lines_; break;
            case '"':
            case '\'':
                if (!Literal(current_)) return calls_;
                break;
            case '#':
                if (!Directive()) return calls_;
                break;
            default:
                if (inBody_) break;
                if (current_ == '\t') current_ = ' ';
                Append();
            }
        }
        return calls_;
    }

  private:
    bool Next() {
        if (position_ >= length_) return false;
        previous_ = current_;
        for (;;) {
            char c = text_[position_++];
            if (c != '\r') {
                current_ = c;
                return true;
            }
            if (position_ >= length_) return false;
        }
    }
    void Clear() { buffer_.clear(); }
    void Append() {
        if (current_ == ' ' && (previous_ == ' ' || buffer_.empty())) return;
        if (buffer_.size() + 1 < 4096) buffer_ += current_;
    }
    bool LineComment() {
        while (Next()) {
            if (current_ == '\n') {
                ++lines_;
                if (previous_ != '\\') {
                    commentEnded_ = true;
                    return true;
                }
            }
        }
        return false;
    }
    bool BlockComment() {
        bool starInside = false;
        while (Next()) {
            if (current_ == '\n') ++lines_;
            if (current_ == '/' && previous_ == '*' && starInside) {
                current_ = '\0';
                commentEnded_ = true;
                return true;
            }
            starInside = true;
        }
        return false;
    }
    bool Literal(char quote) {
        bool escaped = false;
        while (Next()) {
            if (current_ == '\n') ++lines_;
            if (escaped) {
                escaped = false;
            } else if (current_ == '\\') {
                escaped = true;
            } else if (current_ == quote) {
                return true;
            }
        }
        return false;
    }
    bool Directive() {
        commentEnded_ = false;
        while (Next()) {
            if (current_ == '/' && previous_ == '/') {
                if (!LineComment()) return false;
            } else if (current_ == '*' && previous_ == '/') {
                if (!BlockComment()) return false;
            } else if (current_ == '\n') {
                ++lines_;
                if (previous_ != '\\') return true;
            }
            if (commentEnded_) return true;
        }
        return false;
    }

    const char* text_ = nullptr;
    std::size_t length_ = 0;
    std::size_t position_ = 0;
    char previous_ = ' ';
    char current_ = ' ';
    std::int32_t lines_ = 0;
    std::int32_t depth_ = 0;
    bool inBody_ = false;
    bool commentEnded_ = false;
    std::string buffer_;
    std::vector<ScanCall> calls_;
};

inline std::vector<ScanCall> ReferenceScan(const char* text) {
    return ReferenceScanner{}.Run(text, [](std::int32_t) { return false; });
}

} // namespace kelpin::testing
