#pragma once

#include "integrations/IFileManagerEntries.h"

namespace ferrymark {

// Thunar: a custom action for folders in uca.xml for each command (%f is the folder
// shown when nothing is selected), and keys in accels.scm.
class ThunarEntries final : public IFileManagerEntries {
  public:
    std::string_view name() const override;
    bool isInstalled(const Options& options) const override;
    Result add(const Options& options) override;
    Result remove(const Options& options) override;
};

}  // namespace ferrymark
