#pragma once

#include <QIcon>
#include <QImage>

namespace ferrymark {

// Ferrymark's icon, drawn rather than shipped as a picture, so that it is sharp at any
// size and the theme's lack of one does not matter.
class AppIcon {
  public:
    static QImage image(int size);
    // The tray's status image, "ApplicationIcon_small".
    static QIcon statusImage();
};

}  // namespace ferrymark
