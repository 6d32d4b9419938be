#pragma once

#include "integrations/IFileManagerEntries.h"

namespace ferrymark {

// PCManFM-Qt: a file-manager action for folders for each command (%f).
class PcmanfmQtEntries final : public IFileManagerEntries {
  public:
    std::string_view name() const override;
    bool isInstalled(const Options& options) const override;
    Result add(const Options& options) override;
    Result remove(const Options& options) override;
};

}  // namespace ferrymark
