#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <functional>
#include <ostream>

#include "ModalScript.h"
#include "engine/Prompt.h"
#include "engine/PromptTexts.h"
#include "ui/AlertWindowController.h"
#include "ui/PromptPresenter.h"

namespace ferrymark {
namespace {

using testing::ModalScript;

Prompt cautionPrompt(bool showDontAsk = false) {
    Prompt p;
    p.kind = PromptKind::DiskFull;
    p.message =
        "Operation paused as the disk is full. Free up some space and click continue "
        "to retry.";
    p.options = PromptOptions::Hidden;
    p.showDontAsk = showDontAsk;
    return p;
}

Prompt quitPrompt() {
    Prompt p = cautionPrompt();
    p.kind = PromptKind::Quit;
    p.message =
        "File copying in Progress. Do you want to quit application. Click Yes to abort "
        "copying operation.";
    p.stopTitle = "Yes";
    p.continueTitle = "No";
    return p;
}

QList<int> tags(const QComboBox& list) {
    QList<int> result;
    for (int i = 0; i < list.count(); ++i) {
        result.append(list.itemData(i).toInt());
    }
    return result;
}

TEST(AlertWindow, LaysOutTheConflictOptions) {
    AlertWindowController dialog;
    const QComboBox& options = *dialog.popupOptions();
    EXPECT_EQ(tags(options), (QList<int>{1, 3, 4}));
    EXPECT_EQ(options.itemText(0), QStringLiteral("Keep Both"));
    EXPECT_EQ(options.itemText(1), QStringLiteral("Replace"));
    EXPECT_EQ(options.itemText(2), QStringLiteral("Skip"));
    EXPECT_EQ(dialog.selectedTag(), 1);
    EXPECT_EQ(dialog.btnStop()->text(), QStringLiteral("Stop"));
    EXPECT_EQ(dialog.btnContinue()->text(), QStringLiteral("Continue"));
    EXPECT_FALSE(dialog.cbDontAsk()->isChecked());
    // White on the light palette; a dark one gives its own base colour.
    EXPECT_TRUE(dialog.autoFillBackground());
    EXPECT_EQ(dialog.palette().color(dialog.backgroundRole()), QColor(Qt::white));
}

TEST(AlertWindow, FolderPromptPutsMergeOnTop) {
    const auto dialog = PromptPresenter::makeDialog(PromptTexts::folderConflict("/a/Photos"));
    EXPECT_EQ(tags(*dialog->popupOptions()), (QList<int>{5, 1, 3, 4}));
    EXPECT_EQ(dialog->popupOptions()->itemText(0), QStringLiteral("Merge"));
    EXPECT_EQ(dialog->selectedTag(), 5);
    EXPECT_FALSE(dialog->popupOptions()->isHidden());
    EXPECT_FALSE(dialog->cbDontAsk()->isHidden());
    EXPECT_EQ(dialog->alertMessage()->text(),
              QStringLiteral("A directory named “Photos” already exists in this location. Do "
                             "you want to merge it with the one you’re moving?"));
}

TEST(AlertWindow, CautionPromptHidesListAndCheckBox) {
    const auto dialog = PromptPresenter::makeDialog(cautionPrompt());
    EXPECT_TRUE(dialog->popupOptions()->isHidden());
    EXPECT_TRUE(dialog->cbDontAsk()->isHidden());
    EXPECT_FALSE(dialog->alertImage()->pixmap().isNull());
}

struct AnswerCase {
    const char* name;
    std::function<Prompt()> prompt;
    std::function<void(AlertWindowController&)> user;
    std::int32_t code;
    bool dontAsk;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << c.name;
}

class PromptAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(PromptAnswers, AreWhatTheUserChose) {
    ModalScript::onNextPrompt(GetParam().user);
    const PromptAnswer answer = PromptPresenter::ask(GetParam().prompt());
    EXPECT_EQ(answer.code, GetParam().code);
    EXPECT_EQ(answer.dontAsk, GetParam().dontAsk);
}

void choose(AlertWindowController& dialog, int tag) {
    dialog.popupOptions()->setCurrentIndex(dialog.popupOptions()->findData(tag));
}

INSTANTIATE_TEST_SUITE_P(
    Users, PromptAnswers,
    ::testing::Values(
        AnswerCase{"StopAnswersTwo", [] { return cautionPrompt(); }, ModalScript::clickStop, 2,
                   false},
        // A hidden list still answers with its laid-out selection; callers only test for 2.
        AnswerCase{"ContinueWithListHidden", [] { return cautionPrompt(); },
                   ModalScript::clickContinue, 1, false},
        AnswerCase{"ContinueWithNoSelectionAnswersZero",
                   [] { return PromptTexts::fileConflict("/a/b.txt"); },
                   [](AlertWindowController& d) {
                       d.popupOptions()->setCurrentIndex(-1);
                       ModalScript::clickContinue(d);
                   },
                   0, false},
        AnswerCase{"FolderUntouchedMerges", [] { return PromptTexts::folderConflict("/a/b"); },
                   ModalScript::clickContinue, 5, false},
        AnswerCase{"FileReplaceForAll", [] { return PromptTexts::fileConflict("/a/b.txt"); },
                   [](AlertWindowController& d) {
                       choose(d, 3);
                       d.cbDontAsk()->setChecked(true);
                       ModalScript::clickContinue(d);
                   },
                   3, true},
        AnswerCase{"StopWithBoxTicked", [] { return PromptTexts::fileConflict("/a/b.txt"); },
                   [](AlertWindowController& d) {
                       d.cbDontAsk()->setChecked(true);
                       ModalScript::clickStop(d);
                   },
                   2, true},
        AnswerCase{"HiddenBoxIsNotRead", [] { return cautionPrompt(false); },
                   [](AlertWindowController& d) {
                       d.cbDontAsk()->setChecked(true);
                       ModalScript::clickContinue(d);
                   },
                   1, false},
        AnswerCase{"QuitYesAnswersTwo", quitPrompt,
                   [](AlertWindowController& d) {
                       EXPECT_EQ(d.btnStop()->text(), QStringLiteral("Yes"));
                       EXPECT_EQ(d.btnContinue()->text(), QStringLiteral("No"));
                       ModalScript::clickStop(d);
                   },
                   2, false}),
    [](const auto& info) { return info.param.name; });

TEST(PromptRun, IsApplicationModalAndClosedAfterwards) {
    AlertWindowController dialog;
    bool modalWhileShown = false;
    ModalScript::onNextPrompt([&](AlertWindowController& d) {
        modalWhileShown =
            d.windowModality() == Qt::ApplicationModal && QApplication::activeModalWidget() == &d;
        ModalScript::clickStop(d);
    });
    EXPECT_EQ(dialog.runModal(), 2);
    EXPECT_TRUE(modalWhileShown);
    EXPECT_FALSE(dialog.isVisible());
}

// Neither answer is safe to assume for every question: Escape must not end the dialog.
TEST(PromptRun, EscapeDoesNotAnswer) {
    bool stillUp = false;
    ModalScript::onNextPrompt([&](AlertWindowController& d) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&d, &press);
        d.close();
        stillUp = QApplication::activeModalWidget() == &d;
        ModalScript::clickStop(d);
    });
    EXPECT_EQ(PromptPresenter::ask(quitPrompt()).code, 2);
    EXPECT_TRUE(stillUp);
}

}  // namespace
}  // namespace ferrymark
