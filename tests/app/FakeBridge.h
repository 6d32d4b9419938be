#pragma once

#include <string>

#include "platform/IFileManagerBridge.h"

namespace ferrymark::testing {

// A file manager that is always in front, showing the folder target.
class FakeBridge final : public IFileManagerBridge {
  public:
    bool isFileManagerFrontmost() override { return true; }
    InsertionLocation insertionLocation() override { return InsertionLocation::at(target); }
    bool activateFileManager() override { return true; }
    std::string target;
};

}  // namespace ferrymark::testing
