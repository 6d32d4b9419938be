#pragma once

namespace ferrymark {

// The desktop's choice between dark and light windows.
enum class ColourScheme {
    NoPreference,
    Dark,
    Light,
};

}  // namespace ferrymark
