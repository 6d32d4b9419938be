#include "ui/TransferRate.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace ferrymark {
namespace {

using std::chrono::milliseconds;

struct RateCase {
    const char* name;
    std::size_t window;
    std::vector<std::pair<int, std::int64_t>> samples;  // milliseconds, bytes
    std::optional<double> expected;
};

class TransferRateCases : public ::testing::TestWithParam<RateCase> {};

TEST_P(TransferRateCases, BytesPerSecondOverTheWindow) {
    const RateCase& c = GetParam();
    TransferRate rate(c.window);
    const auto start = TransferRate::Clock::time_point{};
    for (const auto& [ms, bytes] : c.samples) {
        rate.sample(start + milliseconds(ms), bytes);
    }
    const auto speed = rate.bytesPerSecond();
    ASSERT_EQ(speed.has_value(), c.expected.has_value());
    if (c.expected) {
        EXPECT_DOUBLE_EQ(*speed, *c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ticks, TransferRateCases,
    ::testing::Values(RateCase{"NoSample", 5, {}, std::nullopt},
                      RateCase{"OneSample", 5, {{0, 100}}, std::nullopt},
                      RateCase{"SameInstant", 5, {{0, 0}, {0, 100}}, std::nullopt},
                      RateCase{"Steady", 5, {{0, 0}, {1000, 1000}, {2000, 2000}}, 1000.0},
                      // Only the last three ticks count: the fast start has left the window.
                      RateCase{"OldTicksLeaveTheWindow",
                               3,
                               {{0, 0}, {1000, 1000000}, {2000, 1000100}, {3000, 1000200}},
                               100.0},
                      // A pause: the bytes stand still and the speed falls to nothing.
                      RateCase{"Paused", 2, {{0, 500}, {1000, 900}, {2000, 900}}, 0.0},
                      // Counters that go back belong to a fresh start; the older ticks are dropped.
                      RateCase{
                          "CountersGoBack", 5, {{0, 0}, {1000, 5000}, {2000, 10}}, std::nullopt},
                      RateCase{"UnevenTicks", 5, {{0, 0}, {500, 100}, {2000, 3000}}, 1500.0}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace ferrymark
