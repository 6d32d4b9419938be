#include "app/UserLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace ferrymark {

UserLanguage::UserLanguage(const QString& ownFolder) {
    if (qtTexts_.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&qtTexts_);
    }
    if (ownTexts_.load(QLocale(), QStringLiteral("ferrymark"), QStringLiteral("_"), ownFolder)) {
        QCoreApplication::installTranslator(&ownTexts_);
    }
}

UserLanguage::~UserLanguage() {
    QCoreApplication::removeTranslator(&ownTexts_);
    QCoreApplication::removeTranslator(&qtTexts_);
}

}  // namespace ferrymark
