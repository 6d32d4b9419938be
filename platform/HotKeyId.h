#pragma once

#include <compare>
#include <cstdint>

namespace ferrymark {

// Names one registered hot key: the program's signature and a sequence number.
struct HotKeyId {
    std::uint32_t signature = 0;
    std::uint32_t sequence = 0;

    friend bool operator==(const HotKeyId&, const HotKeyId&) = default;
    // Ordered by sequence number first, then by signature.
    friend std::strong_ordering operator<=>(const HotKeyId& a, const HotKeyId& b) {
        if (const auto order = a.sequence <=> b.sequence; order != 0) {
            return order;
        }
        return a.signature <=> b.signature;
    }
};

}  // namespace ferrymark
