#pragma once

#include <string>

#include "platform/IFileManagerBridge.h"

namespace ferrymark {

// Where the desktop tells no program which window is in front: every command goes ahead
// as if a file manager were there, and finds no folder, for the reason given.
class NoWindowBridge final : public IFileManagerBridge {
  public:
    explicit NoWindowBridge(std::string whyNot) : whyNot_(std::move(whyNot)) {}

    bool isFileManagerFrontmost() override { return true; }
    InsertionLocation insertionLocation() override { return InsertionLocation::none(whyNot_); }
    bool activateFileManager() override { return false; }

  private:
    std::string whyNot_;
};

}  // namespace ferrymark
