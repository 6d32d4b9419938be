#pragma once

#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

namespace ferrymark {

// Where the desktop grabs keys by name rather than by key code: a "key code" is Qt's key
// for a printable ASCII character (a letter's capital, else the character itself).
class CharacterKeys {
  public:
    static std::vector<std::pair<std::uint32_t, QString>> table();
    // The character of such a key code; empty for any other code.
    static QString character(std::uint32_t keyCode);
};

}  // namespace ferrymark
