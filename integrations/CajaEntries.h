#pragma once

#include "integrations/IFileManagerEntries.h"

namespace ferrymark {

// Caja: a script in its scripts folder for each command (CAJA_SCRIPT_CURRENT_URI), and
// the offered keys bound to them in its accels file.
class CajaEntries final : public IFileManagerEntries {
  public:
    std::string_view name() const override;
    bool isInstalled(const Options& options) const override;
    Result add(const Options& options) override;
    Result remove(const Options& options) override;
};

}  // namespace ferrymark
