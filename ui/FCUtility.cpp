#include "ui/FCUtility.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace ferrymark {
namespace {

// "%.1f" without the C library's locale: the separator must stay "." whatever
// LC_NUMERIC the toolkit set up.
std::string oneDecimal(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    return std::string(buffer, result.ptr);
}

std::string withUnit(std::int64_t number, const char* unit) {
    return std::to_string(number) + " " + unit;
}

}  // namespace

std::string FCUtility::dataSizeToString(std::int64_t bytes) {
    if (bytes == 0) {
        return "0.0 KB";
    }
    const double kilo = 1024.0;
    const double mega = kilo * 1024.0;
    const double giga = mega * 1024.0;
    const double tera = giga * 1024.0;
    const auto v = static_cast<double>(bytes);
    if (v >= tera) {
        return oneDecimal(v / tera) + " TB";
    }
    if (v >= giga) {
        return oneDecimal(v / giga) + " GB";
    }
    if (v >= mega) {
        return oneDecimal(v / mega) + " MB";
    }
    return oneDecimal(v / kilo) + " KB";
}

// Durations that do not fit 32 bits are counted in 64 bits and still told in days;
// anything beyond the 64-bit range (infinity included) is held at its largest value.
// NaN is no duration at all and falls back to the short-duration text.
std::string FCUtility::timeIntervalToStringWithInterval(double seconds) {
    if (!(seconds >= 5.0)) {
        return "5 seconds";
    }
    const double rounded = std::round(seconds);
    // 2^63 is the first double past the 64-bit range.
    const double limit = 9223372036854775808.0;
    const std::int64_t n = rounded >= limit ? std::numeric_limits<std::int64_t>::max()
                                            : static_cast<std::int64_t>(rounded);
    if (n >= 86400) {
        return withUnit(n / 86400, n < 172800 ? "day" : "days");
    }
    if (n >= 3600) {
        return withUnit(n / 3600, n < 7200 ? "hour" : "hours");
    }
    if (n >= 60) {
        return withUnit(n / 60, n < 120 ? "minute" : "minutes");
    }
    return withUnit(n, "seconds");
}

}  // namespace ferrymark
