#include "app/UserDefaults.h"

namespace ferrymark {

UserDefaults::UserDefaults(const QString& path)
    : settings_(path.isEmpty() ? std::make_unique<QSettings>(
                                     QSettings::IniFormat, QSettings::UserScope,
                                     QStringLiteral("Ferrymark"), QStringLiteral("Ferrymark"))
                               : std::make_unique<QSettings>(path, QSettings::IniFormat)),
      fallbacks_(QStringLiteral(":/UserDefaults.ini"), QSettings::IniFormat) {}

bool UserDefaults::boolValue(const QString& key) const {
    if (settings_->contains(key)) {
        return settings_->value(key).toBool();
    }
    return fallbacks_.value(key, false).toBool();
}

bool UserDefaults::hasValue(const QString& key) const {
    return settings_->contains(key) || fallbacks_.contains(key);
}

void UserDefaults::setBool(const QString& key, bool value) {
    settings_->setValue(key, value);
}

QString UserDefaults::stringValue(const QString& key) const {
    if (settings_->contains(key)) {
        return settings_->value(key).toString();
    }
    return fallbacks_.value(key).toString();
}

void UserDefaults::setString(const QString& key, const QString& value) {
    settings_->setValue(key, value);
}

void UserDefaults::synchronize() {
    settings_->sync();
}

}  // namespace ferrymark
