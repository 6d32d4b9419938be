#pragma once

#include <QString>
#include <QTranslator>

namespace ferrymark {

// The user's language for as long as it lives: Qt's own texts and Ferrymark's, from the
// compiled translations in ownFolder; English where there is none.
class UserLanguage {
  public:
    explicit UserLanguage(const QString& ownFolder);
    ~UserLanguage();
    UserLanguage(const UserLanguage&) = delete;
    UserLanguage& operator=(const UserLanguage&) = delete;

  private:
    QTranslator qtTexts_;
    QTranslator ownTexts_;
};

}  // namespace ferrymark
