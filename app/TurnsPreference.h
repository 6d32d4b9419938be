#pragma once

#include <QCoreApplication>

class QWidget;

namespace ferrymark {

class UserDefaults;

// "Transfers to the same disk take turns" (the default): a transfer waits while another uses
// one of its disks. Off, every transfer starts at once, as the desktop's own copy does.
// Stored in the user's settings and read as each job starts.
class TurnsPreference {
    Q_DECLARE_TR_FUNCTIONS(TurnsPreference)
  public:
    explicit TurnsPreference(UserDefaults& defaults) : defaults_(defaults) {}

    bool takeTurns() const;
    void setTakeTurns(bool on);

    // The preferences window's check box, stored as soon as it changes.
    QWidget* makeBox(QWidget* parent);

  private:
    UserDefaults& defaults_;
};

}  // namespace ferrymark
