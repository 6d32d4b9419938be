#pragma once

#include <cstdint>

namespace ferrymark {

inline constexpr std::int32_t kAnswerStop = 2;

// 2 for Stop, else the tag of the selected option (0 when none is selected).
struct PromptAnswer {
    std::int32_t code = kAnswerStop;
    bool dontAsk = false;
};

}  // namespace ferrymark
