#pragma once

#include <QPalette>

#include "platform/freedesktop/ColourScheme.h"

namespace ferrymark {

// Dresses the whole application, open windows included, in the desktop's colour scheme:
// Fusion with a dark or a light palette; without a preference, the look it started with.
class SchemePalette {
  public:
    // Remembers the application's palette as the look without a preference.
    SchemePalette();
    void apply(ColourScheme scheme);

    static QPalette dark();
    static QPalette light();

  private:
    QPalette initial_;
    bool fusion_ = false;
};

}  // namespace ferrymark
