#pragma once

#include "integrations/IFileManagerEntries.h"

namespace ferrymark {

// Nautilus: a script in its scripts folder for each command (its Scripts menu; the
// current folder comes in NAUTILUS_SCRIPT_CURRENT_URI, also with nothing selected), and
// keys in scripts-accels.
class NautilusEntries final : public IFileManagerEntries {
  public:
    std::string_view name() const override;
    bool isInstalled(const Options& options) const override;
    Result add(const Options& options) override;
    Result remove(const Options& options) override;
};

}  // namespace ferrymark
