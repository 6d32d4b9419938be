#include "ui/FCUtility.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>

namespace ferrymark {
namespace {

struct DurationCase {
    double seconds;
    const char* text;
};

void PrintTo(const DurationCase& c, std::ostream* os) {
    *os << c.seconds << " s";
}

class DurationText : public ::testing::TestWithParam<DurationCase> {};

TEST_P(DurationText, Reads) {
    EXPECT_EQ(FCUtility::timeIntervalToStringWithInterval(GetParam().seconds), GetParam().text)
        << "for " << GetParam().seconds << " s";
}

INSTANTIATE_TEST_SUITE_P(
    Table, DurationText,
    ::testing::Values(DurationCase{-3, "5 seconds"}, DurationCase{0, "5 seconds"},
                      DurationCase{4.999, "5 seconds"}, DurationCase{5, "5 seconds"},
                      DurationCase{5.49, "5 seconds"}, DurationCase{5.5, "6 seconds"},
                      DurationCase{59.49, "59 seconds"}, DurationCase{59.5, "1 minute"},
                      DurationCase{119, "1 minute"}, DurationCase{119.5, "2 minutes"},
                      DurationCase{3599, "59 minutes"}, DurationCase{3599.5, "1 hour"},
                      DurationCase{7199, "1 hour"}, DurationCase{7200, "2 hours"},
                      DurationCase{86399, "23 hours"}, DurationCase{86399.5, "1 day"},
                      DurationCase{172799, "1 day"}, DurationCase{172800, "2 days"},
                      DurationCase{1000000, "11 days"}));

// Beyond the table: unit edges, the 32-bit edge and values that are no duration.
INSTANTIATE_TEST_SUITE_P(
    Edges, DurationText,
    ::testing::Values(DurationCase{-std::numeric_limits<double>::infinity(), "5 seconds"},
                      DurationCase{std::numeric_limits<double>::quiet_NaN(), "5 seconds"},
                      DurationCase{-0.0, "5 seconds"}, DurationCase{60, "1 minute"},
                      DurationCase{119.49, "1 minute"}, DurationCase{3600, "1 hour"},
                      DurationCase{86400, "1 day"}, DurationCase{2147483647.0, "24855 days"},
                      DurationCase{2147483647.5, "24855 days"}, DurationCase{1e12, "11574074 days"},
                      DurationCase{std::numeric_limits<double>::infinity(),
                                   "106751991167300 days"}));

struct SizeCase {
    std::int64_t bytes;
    const char* text;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.bytes << " bytes";
}

class SizeText : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeText, Reads) {
    EXPECT_EQ(FCUtility::dataSizeToString(GetParam().bytes), GetParam().text)
        << "for " << GetParam().bytes << " bytes";
}

INSTANTIATE_TEST_SUITE_P(
    Table, SizeText,
    ::testing::Values(SizeCase{0, "0.0 KB"}, SizeCase{1, "0.0 KB"}, SizeCase{51, "0.0 KB"},
                      SizeCase{52, "0.1 KB"}, SizeCase{256, "0.2 KB"}, SizeCase{768, "0.8 KB"},
                      SizeCase{1000, "1.0 KB"}, SizeCase{1024, "1.0 KB"}, SizeCase{1536, "1.5 KB"},
                      SizeCase{1048575, "1024.0 KB"}, SizeCase{1048576, "1.0 MB"},
                      SizeCase{1572864, "1.5 MB"}, SizeCase{1073741823, "1024.0 MB"},
                      SizeCase{1073741824, "1.0 GB"}, SizeCase{1099511627775, "1024.0 GB"},
                      SizeCase{1099511627776, "1.0 TB"}, SizeCase{1125899906842624, "1024.0 TB"},
                      SizeCase{-1, "-0.0 KB"}, SizeCase{-1024, "-1.0 KB"}));

INSTANTIATE_TEST_SUITE_P(
    Edges, SizeText,
    ::testing::Values(SizeCase{-1048576, "-1024.0 KB"},  // negatives never leave kilobytes
                      SizeCase{1280, "1.2 KB"},          // 1.25 exactly: to even
                      SizeCase{1331, "1.3 KB"},
                      SizeCase{std::numeric_limits<std::int64_t>::max(), "8388608.0 TB"},
                      SizeCase{std::numeric_limits<std::int64_t>::min(),
                               "-9007199254740992.0 KB"}));

// Qt applications take LC_NUMERIC from the environment; the texts must not follow it.
TEST(FormatLocale, DecimalPointStaysAPoint) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    EXPECT_EQ(FCUtility::dataSizeToString(1536), "1.5 KB");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
}  // namespace ferrymark
