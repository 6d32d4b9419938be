#pragma once

#include <QCoreApplication>

class QWidget;

namespace ferrymark {

class UserDefaults;

// "Links inside folders": copy what the links point to (the default), or keep them as
// links, as the file manager's own copy does. Stored in the user's settings and read as each
// job starts.
class LinkPreference {
    Q_DECLARE_TR_FUNCTIONS(LinkPreference)
  public:
    explicit LinkPreference(UserDefaults& defaults) : defaults_(defaults) {}

    bool keepLinks() const;
    void setKeepLinks(bool keep);

    // The preferences window's box: the two choices, stored as soon as one is picked.
    QWidget* makeBox(QWidget* parent);

  private:
    UserDefaults& defaults_;
};

}  // namespace ferrymark
