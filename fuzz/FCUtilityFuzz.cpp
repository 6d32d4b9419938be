// The byte-count and duration texts on arbitrary values: the grammar of the text, the
// unit chosen for the magnitude, and the number shown.
//
// Durations that are not a number read "5 seconds", as any duration below five seconds
// does; durations past the 64-bit range are held at its largest number of days.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <regex>
#include <string>

#include "fuzz/FuzzRequire.h"
#include "ui/FCUtility.h"

using ferrymark::FCUtility;
using ferrymark::fuzz::require;

namespace {

void checkSize(std::int64_t bytes) {
    static const std::regex grammar(R"(^-?[0-9]+\.[0-9] (KB|MB|GB|TB)$)");
    const std::string text = FCUtility::dataSizeToString(bytes);
    const std::string detail = std::to_string(bytes) + " -> \"" + text + "\"";
    require(std::regex_match(text, grammar), "a size text out of grammar", detail);
    if (bytes == 0) {
        require(text == "0.0 KB", "zero bytes", detail);
        return;
    }

    const double v = static_cast<double>(bytes);
    const double kilo = 1024.0;
    const char* unit = "KB";
    double divisor = kilo;
    if (v >= kilo * kilo * kilo * kilo) {
        unit = "TB";
        divisor = kilo * kilo * kilo * kilo;
    } else if (v >= kilo * kilo * kilo) {
        unit = "GB";
        divisor = kilo * kilo * kilo;
    } else if (v >= kilo * kilo) {
        unit = "MB";
        divisor = kilo * kilo;
    }
    require(text.ends_with(unit), "the wrong unit", detail);
    require((text[0] == '-') == (bytes < 0), "the wrong sign", detail);

    // One decimal, rounded: never more than half a step away, allowing for the double.
    const double shown = std::strtod(text.c_str(), nullptr);
    const double exact = v / divisor;
    require(std::fabs(shown - exact) <= 0.05 + std::fabs(exact) * 1e-15, "the wrong number",
            detail);
}

void checkDuration(double seconds) {
    static const std::regex grammar(R"(^([0-9]+) (seconds|minute|minutes|hour|hours|day|days)$)");
    const std::string text = FCUtility::timeIntervalToStringWithInterval(seconds);
    char shownValue[64];
    std::snprintf(shownValue, sizeof shownValue, "%.17g", seconds);
    const std::string detail = std::string(shownValue) + " -> \"" + text + "\"";
    std::smatch parts;
    require(std::regex_match(text, parts, grammar), "a duration text out of grammar", detail);
    if (!(seconds >= 5.0)) {
        require(text == "5 seconds", "a short duration", detail);
        return;
    }

    const double rounded = std::round(seconds);
    const std::int64_t n = rounded >= 9223372036854775808.0
                               ? std::numeric_limits<std::int64_t>::max()
                               : static_cast<std::int64_t>(rounded);
    const std::string word = parts[2];
    const std::string digits = parts[1];
    require(digits.size() == 1 || digits[0] != '0', "a leading zero", detail);
    const std::uint64_t number = std::strtoull(digits.c_str(), nullptr, 10);

    std::int64_t unit = 1;
    std::string singular = "seconds";
    if (n >= 86400) {
        unit = 86400;
        singular = "day";
    } else if (n >= 3600) {
        unit = 3600;
        singular = "hour";
    } else if (n >= 60) {
        unit = 60;
        singular = "minute";
    }
    require(number == static_cast<std::uint64_t>(n / unit), "the wrong number", detail);
    if (unit == 1) {
        require(word == "seconds" && number >= 5 && number <= 59, "the wrong seconds", detail);
    } else {
        const std::string expected = number == 1 ? singular : singular + "s";
        require(word == expected, "the wrong unit word", detail);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (std::size_t at = 0; at + 8 <= size; at += 8) {
        std::int64_t bytes;
        double seconds;
        std::memcpy(&bytes, data + at, 8);
        std::memcpy(&seconds, data + at, 8);
        checkSize(bytes);
        checkDuration(seconds);
        // The same bits read as an integer make ordinary sizes and durations likelier.
        checkDuration(static_cast<double>(bytes % 400000000));
        checkDuration(static_cast<double>(bytes) / 1024.0);
    }
    return 0;
}
