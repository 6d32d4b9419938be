// The engine's prompts as the user reads them: in English exactly as the engine wrote
// them, and in German with every item named, however odd its name.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTranslator>
#include <functional>

#include "engine/PromptTexts.h"
#include "ui/AlertWindowController.h"
#include "ui/PromptPresenter.h"

namespace ferrymark {
namespace {

// A name with places of both kinds in it, which no filling may touch.
const std::string kOdd = "/home/user/50%2 off %@ %1.txt";
const std::string kFolder = "/home/user/Holiday";

struct Case {
    const char* name;
    std::function<Prompt()> make;
    std::vector<std::string> names;  // what the message must hold
};

const Case kCases[] = {
    {"file conflict", [] { return PromptTexts::fileConflict(kOdd); }, {"50%2 off %@ %1.txt"}},
    {"folder conflict", [] { return PromptTexts::folderConflict(kFolder); }, {"Holiday"}},
    {"destination", [] { return PromptTexts::destination(); }, {}},
    {"disk full", [] { return PromptTexts::diskFull(); }, {}},
    {"disk error",
     [] { return PromptTexts::diskError(kOdd, "Input/output error"); },
     {"50%2 off %@ %1.txt", "Input/output error"}},
    {"read error", [] { return PromptTexts::readError(kOdd); }, {"50%2 off %@ %1.txt"}},
    {"replace file", [] { return PromptTexts::replaceFile(kOdd); }, {"50%2 off %@ %1.txt"}},
    {"replace folder", [] { return PromptTexts::replaceFolder(kFolder); }, {"Holiday"}},
    {"replace holds source",
     [] { return PromptTexts::replaceHoldsSource(kOdd, kFolder); },
     {"50%2 off %@ %1.txt", "Holiday"}},
    {"into itself", [] { return PromptTexts::intoItself(kOdd); }, {"50%2 off %@ %1.txt"}},
    {"quit", [] { return PromptTexts::quit(); }, {}},
};

QString shownMessage(const Prompt& prompt) {
    return PromptPresenter::makeDialog(prompt)->alertMessage()->text();
}

TEST(PromptTranslation, EnglishIsTheEnginesOwnText) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const Prompt prompt = c.make();
        EXPECT_EQ(shownMessage(prompt).toStdString(), prompt.message);
        for (const std::string& name : c.names) {
            EXPECT_NE(prompt.message.find(name), std::string::npos) << name;
        }
    }
}

TEST(PromptTranslation, GermanNamesEveryItem) {
    QTranslator german;
    ASSERT_TRUE(german.load(QStringLiteral(FERRYMARK_DE_QM)));
    QCoreApplication::installTranslator(&german);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const Prompt prompt = c.make();
        const QString shown = shownMessage(prompt);
        EXPECT_NE(shown.toStdString(), prompt.message) << "left in English";
        for (const std::string& name : c.names) {
            EXPECT_TRUE(shown.contains(QString::fromStdString(name)))
                << name << " missing from " << shown.toStdString();
        }
    }
    const auto quit = PromptPresenter::makeDialog(PromptTexts::quit());
    EXPECT_EQ(quit->btnStop()->text(), QStringLiteral("Ja"));
    EXPECT_EQ(quit->btnContinue()->text(), QStringLiteral("Nein"));
    const auto folder = PromptPresenter::makeDialog(PromptTexts::folderConflict(kFolder));
    QStringList options;
    for (int i = 0; i < folder->popupOptions()->count(); ++i) {
        options << folder->popupOptions()->itemText(i);
    }
    EXPECT_EQ(options,
              (QStringList{QStringLiteral("Zusammenführen"), QStringLiteral("Beide behalten"),
                           QStringLiteral("Ersetzen"), QStringLiteral("Überspringen")}));
    const auto diskError = PromptPresenter::makeDialog(PromptTexts::diskError(kOdd, "EIO"));
    QStringList answers;
    for (int i = 0; i < diskError->popupOptions()->count(); ++i) {
        answers << diskError->popupOptions()->itemText(i);
    }
    EXPECT_EQ(answers,
              (QStringList{QStringLiteral("Wiederholen"), QStringLiteral("Überspringen")}));
    QCoreApplication::removeTranslator(&german);
}

}  // namespace
}  // namespace ferrymark
