#include "app/WindowMenu.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "engine/CopyHandler.h"
#include "tools/HeadlessHost.h"

namespace ferrymark {
namespace {

class WindowMenuTest : public ::testing::Test {
  protected:
    std::shared_ptr<CopyHandler> job(const std::string& target) {
        std::shared_ptr<CopyHandler> j = CopyHandler::initWithFiles({"/src/a"}, host);
        j->setCurrentTarget(target);
        return j;
    }
    QStringList titles() const {
        QStringList out;
        for (auto* a : menu.actions()) {
            out << a->text();
        }
        return out;
    }

    HeadlessHost host{HeadlessHost::Threading::Inline};
    QMenu menu;
    QAction item{QStringLiteral("Transfers")};
    WindowMenu windows{&item, &menu};
};

TEST_F(WindowMenuTest, StartsEmptyAndDisabled) {
    EXPECT_FALSE(item.isEnabled());
    EXPECT_TRUE(windows.jobs().empty());
}

TEST_F(WindowMenuTest, TwoTransfersOfOneNameEachHaveTheirOwnEntry) {
    auto first = job("Photos");
    auto second = job("Photos");
    windows.add(first);
    EXPECT_TRUE(item.isEnabled());
    windows.add(second);
    EXPECT_EQ(titles(), (QStringList{"Photos", "Photos"}));

    windows.remove(first.get());
    ASSERT_EQ(windows.jobs().size(), 1u);
    EXPECT_EQ(windows.jobs()[0], second);
    EXPECT_TRUE(item.isEnabled());

    windows.remove(first.get());  // no longer listed: nothing changes
    EXPECT_EQ(windows.jobs().size(), 1u);

    windows.remove(second.get());
    EXPECT_TRUE(titles().isEmpty());
    EXPECT_FALSE(item.isEnabled());
}

// Listed as waiting while it waits for its turn on a disk, seen when the menu opens.
TEST_F(WindowMenuTest, AWaitingTransferIsListedAsWaiting) {
    auto waiting = job("Photos");
    auto running = job("Docs");
    waiting->setWaitingForTurn(true);
    windows.add(waiting);
    windows.add(running);
    EXPECT_EQ(titles(), (QStringList{"Photos (waiting)", "Docs"}));

    waiting->setWaitingForTurn(false);
    running->setWaitingForTurn(true);
    emit menu.aboutToShow();
    EXPECT_EQ(titles(), (QStringList{"Photos", "Docs (waiting)"}));
}

TEST_F(WindowMenuTest, TheEntryKeepsItsJobAlive) {
    auto j = job("Docs");
    std::weak_ptr<CopyHandler> watch = j;
    windows.add(j);
    j.reset();
    EXPECT_FALSE(watch.expired());
    windows.remove(watch.lock().get());
    EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace ferrymark
