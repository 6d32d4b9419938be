#pragma once

#include <QSettings>
#include <QString>
#include <memory>

namespace ferrymark {

// The user's settings, with fallback values from the resource ":/UserDefaults.ini".
class UserDefaults {
  public:
    // path: the settings file; empty for the user's own (~/.config/Ferrymark/Ferrymark.conf).
    explicit UserDefaults(const QString& path = {});

    bool boolValue(const QString& key) const;
    // Whether the key has a value at all, stored or fallback; a stored false counts.
    bool hasValue(const QString& key) const;
    void setBool(const QString& key, bool value);
    QString stringValue(const QString& key) const;
    void setString(const QString& key, const QString& value);
    void synchronize();

  private:
    std::unique_ptr<QSettings> settings_;
    QSettings fallbacks_;
};

}  // namespace ferrymark
