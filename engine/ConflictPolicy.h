#pragma once

#include <cstdint>

namespace ferrymark {

// How a name conflict is settled. Also the answer code of a conflict prompt: the tag of the
// chosen option, or Stop for the Stop button.
using ConflictPolicy = std::int32_t;

namespace Policy {
inline constexpr ConflictPolicy Ask = 0;
inline constexpr ConflictPolicy CopyWithNewName = 1;
inline constexpr ConflictPolicy Stop = 2;
inline constexpr ConflictPolicy Replace = 3;
inline constexpr ConflictPolicy Skip = 4;
inline constexpr ConflictPolicy Merge = 5;
}  // namespace Policy

}  // namespace ferrymark
