// Reading the numbers back from any file contents: never a crash or a read
// past line 6, always one of the reading codes, numbers within their ranges,
// and the same answer whether lines end in CR LF or LF.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "version/version_module.h"

namespace {

struct Reading {
    int result;
    std::int32_t components[4];
    std::int32_t build;
};

Reading Read(std::string bytes) {
    kelpin::VersionStream stream{"", std::move(bytes)};
    Reading r{0, {-1, -1, -1, -1}, -1};
    r.result = kelpin::ReadVersionNumbers(stream, r.components, &r.build);
    return r;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    Reading r = Read(bytes);
    Check(r.result == kelpin::VersionOk || r.result == kelpin::VersionBadFormat ||
          r.result == kelpin::VersionEndOfFile || r.result == kelpin::VersionLineTooLong);
    if (r.result == kelpin::VersionOk) {
        for (std::int32_t c : r.components)
            Check(c >= 0 && c <= 99);
        Check(r.build >= 0);
    }

    // The characters as a text-mode reader sees them, written back with every
    // line feed as CR LF, read the same.
    kelpin::VersionStream decoder{"", bytes};
    std::string crlf;
    for (int c; (c = kelpin::ReadVersionChar(decoder)) >= 0;) {
        if (c == '\n') crlf += '\r';
        crlf += static_cast<char>(c);
    }
    Reading same = Read(crlf);
    Check(same.result == r.result);
    if (r.result == kelpin::VersionOk) {
        for (int k = 0; k < 4; ++k)
            Check(same.components[k] == r.components[k]);
        Check(same.build == r.build);

        // Numbers read can be written back as a version line that reads the
        // same (a build above 9999 keeps all its digits).
        std::string rewritten = "1\r\n2\r\n3\r\n4\r\n5\r\nchar VersionString[]=\"" +
                                kelpin::VersionText(r.components, r.build) + "\";\r\n";
        Reading back = Read(rewritten);
        Check(back.result == kelpin::VersionOk);
        for (int k = 0; k < 4; ++k)
            Check(back.components[k] == r.components[k]);
        Check(back.build == r.build);
    }
    return 0;
}
