#pragma once

#include "platform/InsertionLocation.h"

namespace ferrymark {

// What the paste commands need of the desktop's file manager. Called on the UI thread.
class IFileManagerBridge {
  public:
    virtual ~IFileManagerBridge() = default;

    // True when a file-manager window is in front. A panel or one of our own windows in
    // front (a tray menu, a progress window) leaves the file manager seen last in front.
    virtual bool isFileManagerFrontmost() = 0;

    // The local folder of the file-manager window in front, or why it cannot be known.
    virtual InsertionLocation insertionLocation() = 0;

    // Gives the focus back to the file-manager window seen in front last. False when
    // there is none (any more).
    virtual bool activateFileManager() = 0;
};

}  // namespace ferrymark
