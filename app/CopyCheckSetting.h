#pragma once

#include <QString>

namespace ferrymark {

class UserDefaults;

// Which transfers read their copies back from the disk and compare them with their
// originals before trusting them. Moves by default: a Move removes the original.
class CopyCheckSetting {
  public:
    enum class Scope { MovesOnly, EveryTransfer, Never };

    explicit CopyCheckSetting(UserDefaults& defaults) : defaults_(defaults) {}

    Scope scope() const;
    void setScope(Scope scope);
    bool checks(bool move) const;

  private:
    UserDefaults& defaults_;
};

}  // namespace ferrymark
