#include "ui/TransferReportWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>

#include "OutcomeSamples.h"
#include "ui/OutcomeTexts.h"

namespace ferrymark {
namespace {

using testing::OutcomeSamples;

class OutcomeTextTest : public ::testing::Test {
  protected:
    // Counts are grouped the user's way; the tests pin the way.
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_F(OutcomeTextTest, TitlesAndCounts) {
    TransferOutcome movedOne = OutcomeSamples::clean(std::chrono::seconds(6));
    movedOne.move = true;
    movedOne.transferred = 1;
    TransferOutcome movedLeftOut = OutcomeSamples::leftOut();
    movedLeftOut.move = true;
    struct Case {
        const char* name;
        TransferOutcome outcome;
        const char* done;
        const char* incomplete;
        const char* counts;
    };
    const Case cases[] = {
        {"left out", OutcomeSamples::leftOut(), "Copied 1,234 items to “Photos”",
         "Not everything was copied to “Photos”", "1,234 items transferred, 42 not transferred."},
        {"moved, left out", movedLeftOut, "Moved 1,234 items to “Photos”",
         "Not everything was moved to “Photos”", "1,234 items transferred, 42 not transferred."},
        {"moved one", movedOne, "Moved 1 item to “Photos”", "Not everything was moved to “Photos”",
         "1 item transferred before the stop."},
        {"stopped", OutcomeSamples::stopped(), "Copied 3 items to “Photos”",
         "Transfer to “Photos” stopped", "3 items transferred before the stop."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OutcomeTexts::doneTitle(c.outcome).toStdString(), c.done);
        EXPECT_EQ(OutcomeTexts::incompleteTitle(c.outcome).toStdString(), c.incomplete);
        EXPECT_EQ(OutcomeTexts::counts(c.outcome).toStdString(), c.counts);
    }
}

TEST_F(OutcomeTextTest, WindowListsWhatWasNotTransferredByReason) {
    TransferOutcome allListed = OutcomeSamples::leftOut();
    allListed.counts = {};
    allListed.counts[static_cast<std::size_t>(NotTransferredReason::Vanished)] = 1;
    allListed.notTransferred = 1;
    allListed.entries = {{"/gone", NotTransferredReason::Vanished, "No such file or directory"}};
    allListed.omitted = 0;
    struct Case {
        const char* name;
        TransferOutcome outcome;
        const char* title;
        const char* summary;
        const char* list;
    };
    const Case cases[] = {
        {"several reasons, some not listed", OutcomeSamples::leftOut(),
         "Not everything was copied to “Photos”", "1,234 items transferred, 42 not transferred.",
         "Skipped at a name conflict (41)\n"
         "    /home/u/src/a.jpg\n"
         "    /home/u/src/b <&> c.jpg\n"
         "\n"
         "Permission denied (1)\n"
         "    /home/u/src/secret — Permission denied\n"
         "\n"
         "and 39 more not listed"},
        {"every one listed", allListed, "Not everything was copied to “Photos”",
         "1,234 items transferred, 1 not transferred.",
         "Vanished before it was copied (1)\n"
         "    /gone — No such file or directory"},
        {"stopped, nothing passed over", OutcomeSamples::stopped(), "Transfer to “Photos” stopped",
         "3 items transferred before the stop.",
         "Nothing was left out before the stop; items not reached are not listed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TransferReportWindow window(c.outcome);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.show();
        EXPECT_EQ(window.windowTitle().toStdString(), c.title);
        EXPECT_EQ(window.summary()->text().toStdString(), c.summary);
        EXPECT_EQ(window.list()->toPlainText().toStdString(), c.list);
        // The user may select and copy, not change, what the job did.
        EXPECT_TRUE(window.list()->isReadOnly());
        EXPECT_TRUE(window.list()->textInteractionFlags() & Qt::TextSelectableByMouse);

        QApplication::clipboard()->clear();
        window.copyButton()->click();
        EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
                  std::string(c.title) + "\n" + c.summary + "\n\n" + c.list + "\n");
        window.closeButton()->click();
        EXPECT_FALSE(window.isVisible());
    }
}

}  // namespace
}  // namespace ferrymark
