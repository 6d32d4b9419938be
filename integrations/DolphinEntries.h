#pragma once

#include "integrations/IFileManagerEntries.h"

namespace ferrymark {

// Dolphin: one service menu for folders with both commands (%f is the folder).
class DolphinEntries final : public IFileManagerEntries {
  public:
    std::string_view name() const override;
    bool isInstalled(const Options& options) const override;
    Result add(const Options& options) override;
    Result remove(const Options& options) override;
};

}  // namespace ferrymark
