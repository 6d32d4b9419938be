#pragma once

#include "integrations/IFileManagerEntries.h"

namespace ferrymark {

// Nemo: an action file for each command, shown with nothing selected (%P is the
// folder shown); for an offered key, a script bound to it in ~/.gnome2/accels/nemo.
class NemoEntries final : public IFileManagerEntries {
  public:
    std::string_view name() const override;
    bool isInstalled(const Options& options) const override;
    Result add(const Options& options) override;
    Result remove(const Options& options) override;
};

}  // namespace ferrymark
