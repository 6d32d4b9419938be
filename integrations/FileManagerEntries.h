#pragma once

#include <memory>
#include <vector>

#include "integrations/IFileManagerEntries.h"

namespace ferrymark {

// The entry writers of every file manager Ferrymark knows.
class FileManagerEntries {
  public:
    static std::vector<std::unique_ptr<IFileManagerEntries>> all();
};

}  // namespace ferrymark
