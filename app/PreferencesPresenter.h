#pragma once

#include <QByteArray>
#include <QKeySequence>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

#include "app/CopyCheckSetting.h"

class QWidget;

namespace ferrymark {

class PreferencesWindow;
class StatusMenu;
class UserDefaults;

// The preferences window: made on first use from the current settings, shown and raised on
// every later one, gone when the user closes it. Changes go back through the delegate's
// functions (autostart, hot keys) or straight to the settings (copy checking).
class PreferencesPresenter {
  public:
    struct Actions {
        std::function<bool()> startsAtLogin;
        std::function<bool(bool)> setStartsAtLogin;
        std::function<QString(const QByteArray& slot, const QKeySequence&)> changeHotKey;
        std::function<QString(const QByteArray& slot)> hotKeySetting;
        // Further settings, each a box made by its own class.
        std::vector<std::function<QWidget*(QWidget* parent)>> boxes;
    };

    PreferencesPresenter(UserDefaults& defaults, StatusMenu& menu, Actions actions);
    ~PreferencesPresenter();
    PreferencesPresenter(const PreferencesPresenter&) = delete;
    PreferencesPresenter& operator=(const PreferencesPresenter&) = delete;

    void show();
    PreferencesWindow* window() const;
    const CopyCheckSetting& copyCheck() const { return copyCheck_; }

  private:
    UserDefaults& defaults_;
    StatusMenu& menu_;
    Actions actions_;
    CopyCheckSetting copyCheck_;
    QPointer<PreferencesWindow> window_;
};

}  // namespace ferrymark
