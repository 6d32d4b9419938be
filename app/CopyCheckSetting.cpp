#include "app/CopyCheckSetting.h"

#include "app/UserDefaults.h"

namespace ferrymark {
namespace {

const QString kKey = QStringLiteral("checkCopies");

}  // namespace

CopyCheckSetting::Scope CopyCheckSetting::scope() const {
    const QString value = defaults_.stringValue(kKey);
    if (value == QLatin1String("always")) {
        return Scope::EveryTransfer;
    }
    if (value == QLatin1String("never")) {
        return Scope::Never;
    }
    return Scope::MovesOnly;
}

void CopyCheckSetting::setScope(Scope scope) {
    switch (scope) {
        case Scope::MovesOnly:
            defaults_.setString(kKey, QStringLiteral("moves"));
            break;
        case Scope::EveryTransfer:
            defaults_.setString(kKey, QStringLiteral("always"));
            break;
        case Scope::Never:
            defaults_.setString(kKey, QStringLiteral("never"));
            break;
    }
    defaults_.synchronize();
}

bool CopyCheckSetting::checks(bool move) const {
    switch (scope()) {
        case Scope::EveryTransfer:
            return true;
        case Scope::Never:
            return false;
        case Scope::MovesOnly:
            break;
    }
    return move;
}

}  // namespace ferrymark
