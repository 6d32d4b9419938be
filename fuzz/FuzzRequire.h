#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace ferrymark::fuzz {

// A broken invariant ends the run the way a crash does, so libFuzzer keeps the input and
// the replay test fails on it.
inline void require(bool holds, const char* what, const std::string& detail = {}) {
    if (holds) {
        return;
    }
    std::fprintf(stderr, "invariant broken: %s\n%s\n", what, detail.c_str());
    std::abort();
}

// Bytes shown with C escapes, for reports about names that are not text.
inline std::string escaped(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out + "\"";
}

}  // namespace ferrymark::fuzz
