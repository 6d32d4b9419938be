// Which transfers read their copies back: the setting's default, each choice in the
// preferences window, and the choice kept for the next start.
#include "app/CopyCheckSetting.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTemporaryDir>

#include "app/PreferencesWindow.h"
#include "app/UserDefaults.h"

namespace ferrymark {
namespace {

TEST(CopyCheckSettingTest, PreferencesWindowChoosesWhichTransfersAreChecked) {
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.conf");
    UserDefaults defaults(path);
    CopyCheckSetting setting(defaults);
    EXPECT_TRUE(setting.checks(true));  // moves by default
    EXPECT_FALSE(setting.checks(false));

    PreferencesWindow::Model model;
    model.setStartAtLogin = [](bool on) { return on; };
    model.checkCopies = static_cast<int>(setting.scope());
    model.setCheckCopies = [&](int scope) {
        setting.setScope(static_cast<CopyCheckSetting::Scope>(scope));
    };
    PreferencesWindow window(std::move(model));
    ASSERT_EQ(window.cbCheckCopies()->currentIndex(), 0);

    struct Case {
        int index;
        bool move;
        bool copy;
    };
    for (const Case c : {Case{1, true, true}, Case{2, false, false}, Case{0, true, false}}) {
        SCOPED_TRACE(c.index);
        window.cbCheckCopies()->setCurrentIndex(c.index);
        UserDefaults reread(path);  // as the next start finds it
        const CopyCheckSetting later(reread);
        EXPECT_EQ(later.checks(true), c.move);
        EXPECT_EQ(later.checks(false), c.copy);
    }
}

}  // namespace
}  // namespace ferrymark
