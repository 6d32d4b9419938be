#include "app/AppDelegate.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>

#include "FakeBridge.h"
#include "FakeNotifier.h"
#include "ModalScript.h"
#include "TestTree.h"
#include "UiWait.h"
#include "app/AgreementWindow.h"
#include "app/PreferencesWindow.h"
#include "app/TransferNotices.h"
#include "app/WindowMenu.h"
#include "engine/CopyHandler.h"
#include "engine/DiskIdentity.h"
#include "engine/DiskTurns.h"
#include "engine/TurnsFolder.h"
#include "platform/IFileManagerBridge.h"
#include "ui/AlertWindowController.h"
#include "ui/QtJobHost.h"

namespace ferrymark {
namespace {

using testing::FakeBridge;
using testing::FakeNotifier;
using testing::ModalScript;
using testing::UiWait;

// Answers the agreement window, once it is up, as a user would.
void answerAgreement(bool agree, int* shown, bool startAtLogin = true) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, agree, shown, startAtLogin] {
        if (auto* w = qobject_cast<AgreementWindow*>(QApplication::activeModalWidget())) {
            ++*shown;
            w->cbStartAtLogin()->setChecked(startAtLogin);
            (agree ? w->btnAgree() : w->btnDisagree())->click();
            poll->deleteLater();
        }
    });
    poll->start(10);
}

class AppDelegateTest : public ::testing::Test {
  protected:
    AppEnvironment environment() {
        AppEnvironment env;
        env.host = &host;
        env.bridge = &bridge;
        env.readClipboard = [this] { return copied; };
        env.settingsPath = QString::fromStdString(tree.path("settings.ini"));
        env.autostartFolder = QString::fromStdString(tree.path("autostart"));
        env.aboutDocument = QStringLiteral("/about.pdf");
        env.openDocument = [this](const QString& path) {
            opened.push_back(path);
            return true;
        };
        env.registerHotKeys = false;
        env.notifier = &notifier;
        env.removableDiskOf = removableDiskOf;
        env.sessionNoticeKey = sessionNoticeKey;
        env.sessionNotice = sessionNotice;
        if (answerQuestions) {
            env.home = QString::fromStdString(tree.path("home"));
            env.confirm = [this](const QString& question) {
                questions.push_back(question);
                return *answerQuestions;
            };
            env.showMessage = [this](const QString&, const QString& text) {
                messages.push_back(text);
            };
        }
        return env;
    }
    // Starts the delegate as the application does and lets its queued launch run.
    std::unique_ptr<AppDelegate> launch(std::optional<bool> agree, int* agreementShown,
                                        bool startAtLogin = true) {
        auto delegate = std::make_unique<AppDelegate>(environment());
        if (agree) {
            answerAgreement(*agree, agreementShown, startAtLogin);
        }
        delegate->applicationDidFinishLaunching();
        QCoreApplication::processEvents();
        return delegate;
    }
    bool autostartWritten() const {
        return tree.exists("autostart/org.ferrymark.Ferrymark.desktop");
    }
    QStringList storedKeys() const {
        return QSettings(QString::fromStdString(tree.path("settings.ini")), QSettings::IniFormat)
            .allKeys();
    }

    test::TestTree tree;
    QtJobHost host;
    FakeBridge bridge;
    FakeNotifier notifier;
    CopiedFiles copied;
    std::vector<QString> opened;
    std::optional<bool> answerQuestions;  // unset: no questions can be asked
    std::vector<QString> questions;
    std::vector<QString> messages;
    QString sessionNoticeKey;
    QString sessionNotice;
    std::function<std::optional<DriveFacts>(const std::string&)> removableDiskOf =
        [](const std::string&) { return std::nullopt; };
};

TEST_F(AppDelegateTest, FirstRunDisagreeStoresNothing) {
    int shown = 0;
    auto delegate = launch(false, &shown);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(delegate->terminated());
    EXPECT_TRUE(storedKeys().isEmpty());
    EXPECT_FALSE(autostartWritten());
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(delegate->statusBarMItem(), nullptr);
}

TEST_F(AppDelegateTest, FirstRunAgreeThenLaterRuns) {
    int shown = 0;
    auto first = launch(true, &shown);
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(first->terminated());
    EXPECT_EQ(opened, std::vector<QString>{QStringLiteral("/about.pdf")});
    QSettings stored(QString::fromStdString(tree.path("settings.ini")), QSettings::IniFormat);
    EXPECT_TRUE(stored.value("licenseAgreed").toBool());
    EXPECT_TRUE(stored.value("helpGuideLaunched").toBool());
    EXPECT_TRUE(stored.value("startItem").toBool());
    ASSERT_TRUE(autostartWritten());
    const std::string entry = tree.read("autostart/org.ferrymark.Ferrymark.desktop");
    EXPECT_NE(entry.find("Exec=\"" + QCoreApplication::applicationFilePath().toStdString()),
              std::string::npos);
    EXPECT_NE(first->statusBarMItem(), nullptr);
    first.reset();

    // Later: no agreement, no about document, the autostart entry left as the user keeps it.
    ::unlink(tree.path("autostart/org.ferrymark.Ferrymark.desktop").c_str());
    int shownLater = 0;
    auto later = launch(std::nullopt, &shownLater);
    EXPECT_EQ(shownLater, 0);
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_FALSE(autostartWritten());
    EXPECT_NE(later->statusBarMItem(), nullptr);
}

TEST_F(AppDelegateTest, StartItemStoredAsFalseCountsAsPresent) {
    {
        QSettings stored(QString::fromStdString(tree.path("settings.ini")), QSettings::IniFormat);
        stored.setValue("licenseAgreed", true);
        stored.setValue("helpGuideLaunched", true);
        stored.setValue("startItem", false);
    }
    int shown = 0;
    auto delegate = launch(std::nullopt, &shown);
    EXPECT_FALSE(autostartWritten());
    EXPECT_TRUE(opened.empty());
}

// The file managers' entries are offered once, after the first start; yes writes them
// (and, on a second yes, their keys) into every installed file manager, and the tray
// menu's Remove takes out all of it.
TEST_F(AppDelegateTest, FileManagerEntriesOfferedOnceAndRemovedWhole) {
    answerQuestions = true;
    int shown = 0;
    auto first = launch(true, &shown);
    QCoreApplication::processEvents();  // the offer comes after the launch
    ASSERT_EQ(questions.size(), 2u) << "the entries, then their keys";
    ASSERT_EQ(messages.size(), 1u);
    if (messages.front().contains(QStringLiteral("No file manager"))) {
        GTEST_SKIP() << "no file manager is installed here: scripts/install-deps.sh";
    }
    EXPECT_TRUE(messages.front().contains(QStringLiteral("Paste Here with Ferrymark")));
    const auto files = [this] {
        std::vector<std::string> out;
        if (std::filesystem::exists(tree.path("home"))) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(tree.path("home"))) {
                if (e.is_regular_file()) {
                    out.push_back(e.path().string());
                }
            }
        }
        return out;
    };
    EXPECT_FALSE(files().empty());
    first.reset();

    auto later = launch(std::nullopt, &shown);
    QCoreApplication::processEvents();
    EXPECT_EQ(questions.size(), 2u) << "offered a second time";
    later->removeFromFileManagers(nullptr);
    EXPECT_EQ(files(), std::vector<std::string>{});
}

TEST_F(AppDelegateTest, SessionNoticeToldOncePerKindOfSession) {
    answerQuestions = false;  // the file-manager entries are declined: no other message
    int shown = 0;
    struct Run {
        const char* key;
        bool told;
    };
    const Run runs[] = {{"sway", true}, {"sway", false}, {"GNOME on Wayland", true}, {"", false}};
    std::size_t told = 0;
    for (const Run& run : runs) {
        sessionNoticeKey = QString::fromLatin1(run.key);
        sessionNotice = run.key[0] ? QStringLiteral("bind the keys") : QString();
        auto delegate = launch(shown == 0 ? std::optional<bool>(true) : std::nullopt, &shown);
        QCoreApplication::processEvents();
        told += run.told ? 1 : 0;
        EXPECT_EQ(messages.size(), told) << run.key;
    }
}

TEST_F(AppDelegateTest, AgreementAsksBeforeAddingTheAutostartEntry) {
    int shown = 0;
    auto delegate = launch(true, &shown, false);
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(autostartWritten());
    // Asked once: a later run does not add it either.
    QSettings stored(QString::fromStdString(tree.path("settings.ini")), QSettings::IniFormat);
    EXPECT_TRUE(stored.contains("startItem"));
}

struct StartAtLoginCase {
    const char* name;
    bool present;  // the autostart entry before the window opens
    bool tick;     // what the user sets the box to
};

class StartAtLoginTest : public AppDelegateTest,
                         public ::testing::WithParamInterface<StartAtLoginCase> {};

TEST_P(StartAtLoginTest, TheEntryAppearsAndGoesWithTheBox) {
    const StartAtLoginCase& c = GetParam();
    int shown = 0;
    auto delegate = launch(true, &shown, c.present);
    ASSERT_EQ(autostartWritten(), c.present);
    delegate->showPreferences(nullptr);
    PreferencesWindow* window = delegate->preferencesWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->cbStartAtLogin()->isChecked(), c.present);
    window->cbStartAtLogin()->setChecked(c.tick);
    EXPECT_EQ(autostartWritten(), c.tick);
    EXPECT_EQ(delegate->startsAtLogin(), c.tick);
}

INSTANTIATE_TEST_SUITE_P(Box, StartAtLoginTest,
                         ::testing::Values(StartAtLoginCase{"TurnOn", false, true},
                                           StartAtLoginCase{"TurnOff", true, false},
                                           StartAtLoginCase{"KeepOn", true, true}),
                         [](const auto& info) { return info.param.name; });

// An entry an earlier version wrote under its old name, "ferrymark.desktop".
struct AutostartMigrationCase {
    const char* name;
    const char* legacy;   // content under the old name, or null
    const char* current;  // content under the new name, or null
    const char* after;    // content under the new name afterwards, or null
};

class AutostartMigrationTest : public AppDelegateTest,
                               public ::testing::WithParamInterface<AutostartMigrationCase> {};

TEST_P(AutostartMigrationTest, OneEntryUnderTheNewNameAsTheUserLeftIt) {
    const AutostartMigrationCase& c = GetParam();
    {
        QSettings stored(QString::fromStdString(tree.path("settings.ini")), QSettings::IniFormat);
        stored.setValue("licenseAgreed", true);
        stored.setValue("helpGuideLaunched", true);
        stored.setValue("startItem", true);
    }
    if (c.legacy) {
        tree.write("autostart/ferrymark.desktop", c.legacy);
    }
    if (c.current) {
        tree.write("autostart/org.ferrymark.Ferrymark.desktop", c.current);
    }
    int shown = 0;
    auto delegate = launch(std::nullopt, &shown);
    EXPECT_FALSE(tree.exists("autostart/ferrymark.desktop"));
    ASSERT_EQ(autostartWritten(), c.after != nullptr);
    if (c.after) {
        EXPECT_EQ(tree.read("autostart/org.ferrymark.Ferrymark.desktop"), c.after);
    }
    EXPECT_EQ(delegate->startsAtLogin(), c.after != nullptr);
    // Switched off in the preferences: no entry under either name is left.
    delegate->setStartsAtLogin(false);
    EXPECT_FALSE(tree.exists("autostart/ferrymark.desktop"));
    EXPECT_FALSE(autostartWritten());
}

const char* const kOldOn = "[Desktop Entry]\nType=Application\nExec=\"/opt/fm/ferrymark\"\n";
const char* const kOldOff =
    "[Desktop Entry]\nType=Application\nExec=\"/opt/fm/ferrymark\"\nHidden=true\n";
const char* const kNew = "[Desktop Entry]\nType=Application\nExec=\"/usr/bin/ferrymark\"\n";

INSTANTIATE_TEST_SUITE_P(
    Upgrade, AutostartMigrationTest,
    ::testing::Values(AutostartMigrationCase{"OldOnlyIsRenamed", kOldOn, nullptr, kOldOn},
                      AutostartMigrationCase{"OldSwitchedOffStaysOff", kOldOff, nullptr, kOldOff},
                      AutostartMigrationCase{"BothLeaveTheNewOne", kOldOn, kNew, kNew},
                      AutostartMigrationCase{"NewOnlyIsKept", nullptr, kNew, kNew},
                      AutostartMigrationCase{"NoneStaysNone", nullptr, nullptr, nullptr}),
    [](const auto& info) { return info.param.name; });

// The choice for links inside folders is stored as it is picked and shown again later.
TEST_F(AppDelegateTest, TheLinkChoiceIsStoredAndShownAgain) {
    int shown = 0;
    auto delegate = launch(true, &shown);
    delegate->showPreferences(nullptr);
    auto* follow = delegate->preferencesWindow()->findChild<QRadioButton*>("rbFollowLinks");
    auto* keep = delegate->preferencesWindow()->findChild<QRadioButton*>("rbKeepLinks");
    ASSERT_NE(follow, nullptr);
    ASSERT_NE(keep, nullptr);
    EXPECT_TRUE(follow->isChecked());  // links are followed unless the user chose otherwise
    keep->setChecked(true);
    QSettings stored(QString::fromStdString(tree.path("settings.ini")), QSettings::IniFormat);
    EXPECT_TRUE(stored.value("keepLinks").toBool());
    delegate.reset();
    auto later = launch(std::nullopt, &shown);
    later->showPreferences(nullptr);
    EXPECT_TRUE(later->preferencesWindow()->findChild<QRadioButton*>("rbKeepLinks")->isChecked());
}

// Transfers to one disk take turns unless the user switches it off: a paste to a disk whose
// turn is held waits, and is listed as waiting; with the choice off, it goes at once.
TEST_F(AppDelegateTest, TakingTurnsIsOnUntilSwitchedOff) {
    const std::string runtime = tree.mkdir("runtime", 0700);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    int shown = 0;
    auto delegate = launch(true, &shown);
    delegate->showPreferences(nullptr);
    auto* turns = delegate->preferencesWindow()->findChild<QCheckBox*>("cbTakeTurns");
    ASSERT_NE(turns, nullptr);
    EXPECT_TRUE(turns->isChecked());

    tree.write("a.txt", "alpha");
    bridge.target = tree.mkdir("target");
    copied.paths = {tree.path("a.txt")};
    DiskTurns other;
    std::string reason;
    const int folder = TurnsFolder::open(reason);
    ASSERT_GE(folder, 0) << reason;
    ASSERT_EQ(other.take(folder, DiskIdentity().disksOf({bridge.target}), TurnHolder{}, {}),
              DiskTurns::Outcome::Taken);

    delegate->doPaste(nullptr);
    WindowMenu* menu = delegate->findChild<WindowMenu*>();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(UiWait::until(
        [&] { return !menu->jobs().empty() && menu->jobs().front()->waitingForTurn(); }));
    emit delegate->windowMenu()->aboutToShow();
    EXPECT_EQ(delegate->windowMenu()->actions().front()->text(),
              QStringLiteral("target (waiting)"));
    menu->jobs().front()->cancelTask();
    ASSERT_TRUE(UiWait::until([&] { return delegate->transfers().running() == 0; }));
    EXPECT_FALSE(tree.exists("target/a.txt"));

    turns->setChecked(false);
    QSettings stored(QString::fromStdString(tree.path("settings.ini")), QSettings::IniFormat);
    EXPECT_TRUE(stored.contains("takeTurns"));
    EXPECT_FALSE(stored.value("takeTurns").toBool());
    delegate->doPaste(nullptr);
    EXPECT_TRUE(UiWait::until([&] { return tree.exists("target/a.txt"); }));
    EXPECT_TRUE(UiWait::until([&] { return delegate->transfers().running() == 0; }));
}

struct HotKeyCase {
    const char* name;
    const char* typed;  // as the key editor holds it, portable text
    bool taken;
    const char* refusal;  // a part of the message when refused
};

class HotKeyPreferenceTest : public AppDelegateTest,
                             public ::testing::WithParamInterface<HotKeyCase> {};

// Without a display the keys are not grabbed; what is checked here is the choice itself,
// the menu's hint and the stored setting. The grab is checked under X11.
TEST_P(HotKeyPreferenceTest, ChangeIsCheckedStoredAndShown) {
    const HotKeyCase& c = GetParam();
    int shown = 0;
    auto delegate = launch(true, &shown);
    delegate->showPreferences(nullptr);
    PreferencesWindow* window = delegate->preferencesWindow();
    QKeySequenceEdit* edit = window->hotKeyEdit("doPaste");
    ASSERT_NE(edit, nullptr);
    const QKeySequence before = edit->keySequence();
    const QKeySequence typed(QString::fromLatin1(c.typed), QKeySequence::PortableText);
    edit->setKeySequence(typed);
    window->applyHotKey("doPaste");

    const QAction* paste = delegate->statusBarMenu()->actions().front();
    QSettings stored(QString::fromStdString(tree.path("settings.ini")), QSettings::IniFormat);
    if (c.taken) {
        EXPECT_EQ(edit->keySequence(), typed);
        EXPECT_EQ(paste->shortcut(), typed);
        EXPECT_EQ(stored.value("hotKeys/doPaste").toString(), QString::fromLatin1(c.typed));
        // The next start takes the user's key over the menu resource's.
        delegate.reset();
        auto later = launch(std::nullopt, &shown);
        EXPECT_EQ(later->statusBarMenu()->actions().front()->shortcut(), typed);
    } else {
        EXPECT_EQ(edit->keySequence(), before);
        EXPECT_EQ(paste->shortcut(), before);
        EXPECT_FALSE(stored.contains("hotKeys/doPaste"));
        EXPECT_TRUE(window->lbMessage()->text().contains(QString::fromLatin1(c.refusal)))
            << window->lbMessage()->text().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, HotKeyPreferenceTest,
    ::testing::Values(HotKeyCase{"CtrlAltP", "Ctrl+Alt+P", true, ""},
                      HotKeyCase{"MetaShiftDigit", "Meta+Shift+1", true, ""},
                      HotKeyCase{"NoModifier", "P", false, "needs Ctrl"},
                      HotKeyCase{"ShiftOnly", "Shift+P", false, "needs Ctrl"},
                      HotKeyCase{"FunctionKey", "Ctrl+F5", false, "Choose a letter"},
                      HotKeyCase{"MovesKey", "Meta+Alt+M", false, "already uses"}),
    [](const auto& info) { return info.param.name; });

TEST_F(AppDelegateTest, QuitWithoutTransfersDoesNotAsk) {
    int shown = 0;
    auto delegate = launch(true, &shown);
    EXPECT_TRUE(delegate->applicationShouldTerminate());
}

// A transfer paused part-way through, so it is still running when the quit is asked.
class QuitDuringTransferTest : public AppDelegateTest {
  protected:
    void SetUp() override {
        int shown = 0;
        delegate = launch(true, &shown);
        const std::string source = tree.path("big.bin");
        QFile big(QString::fromStdString(source));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        // Real data: holes are skipped by the copy, which would end before the pause.
        const QByteArray block(1 << 20, 'x');
        for (std::size_t i = 0; i < kBigMiB; ++i) {
            ASSERT_EQ(big.write(block), block.size());
        }
        big.close();
        bridge.target = tree.mkdir("target");
        copied.paths = {source};
        delegate->doPaste(nullptr);
        ASSERT_TRUE(UiWait::until([&] {
            auto jobs = delegate->transfers().running() > 0 ? listed() : nullptr;
            return jobs && jobs->dataProcessed() > 0;
        }));
        listed()->togglePause();
        ASSERT_TRUE(listed()->paused());
    }
    std::shared_ptr<CopyHandler> listed() {
        WindowMenu* menu = delegate->findChild<WindowMenu*>();
        return menu && !menu->jobs().empty() ? menu->jobs().front() : nullptr;
    }

    static constexpr std::size_t kBigMiB = 256;
    std::unique_ptr<AppDelegate> delegate;
};

TEST_F(QuitDuringTransferTest, NoLetsTheTransferGoOn) {
    std::string stopTitle;
    ModalScript::onNextPrompt([&](AlertWindowController& dialog) {
        stopTitle = dialog.btnStop()->text().toStdString();
        EXPECT_EQ(dialog.btnContinue()->text(), QStringLiteral("No"));
        ModalScript::clickContinue(dialog);
    });
    EXPECT_FALSE(delegate->applicationShouldTerminate());
    EXPECT_EQ(stopTitle, "Yes");
    auto job = listed();
    ASSERT_NE(job, nullptr);
    EXPECT_FALSE(job->cancelled());
    job->togglePause();
    EXPECT_TRUE(UiWait::until([&] { return delegate->transfers().running() == 0; }));
    EXPECT_EQ(tree.read("target/big.bin").size(), kBigMiB << 20);
}

TEST_F(QuitDuringTransferTest, YesStopsEveryTransferAndLeavesNoPartialFile) {
    // Partly written, under a hidden temporary name until it is complete.
    ASSERT_FALSE(tree.exists("target/big.bin"));
    ASSERT_FALSE(std::filesystem::is_empty(tree.path("target")));
    ModalScript::onNextPrompt(&ModalScript::clickStop);
    EXPECT_TRUE(delegate->applicationShouldTerminate());
    // Quitting waited for the stopped transfer to remove what it had written.
    EXPECT_EQ(delegate->transfers().running(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(tree.path("target")));
    EXPECT_TRUE(tree.exists("big.bin"));
    // The user stopped them by quitting: no notification, no list of what was left.
    QCoreApplication::processEvents();
    EXPECT_TRUE(notifier.posted.empty());
    EXPECT_TRUE(delegate->notices().windows().isEmpty());
}

// A paste onto a removable disk ends with the word that the data is there and an Eject,
// which goes to the system's disk service (none here, as the user is told).
TEST_F(AppDelegateTest, PasteOntoARemovableDiskOffersEject) {
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/ferrymark-test-bus");
    std::vector<std::string> asked;
    removableDiskOf = [&](const std::string& path) {
        asked.push_back(path);
        DriveFacts stick;
        stick.key = stick.drive = QStringLiteral("/org/freedesktop/UDisks2/drives/Acme_Stick");
        stick.name = QStringLiteral("STICK");
        stick.removable = true;
        return std::optional<DriveFacts>(stick);
    };
    int shown = 0;
    auto delegate = launch(true, &shown);
    copied.paths = {tree.write("a.jpg", "photo")};
    bridge.target = tree.mkdir("stick");
    ASSERT_TRUE(delegate->transfers().running() == 0);
    delegate->doPaste(nullptr);
    ASSERT_TRUE(UiWait::until([&] { return !notifier.posted.empty(); }));
    EXPECT_EQ(asked, std::vector<std::string>{bridge.target});
    EXPECT_EQ(notifier.posted[0].body,
              "Everything is written to “STICK”. Choose Eject, then it can be unplugged.");
    EXPECT_EQ(notifier.posted[0].actions, (QStringList{"eject", "Eject"}));

    notifier.invoke(notifier.posted[0].id, TransferNotices::kEjectAction);
    ASSERT_EQ(notifier.posted.size(), 2u);
    EXPECT_EQ(notifier.posted[1].summary, "“STICK” was not ejected");
    EXPECT_TRUE(notifier.posted[1].body.startsWith("The system's disk service can not be reached"))
        << notifier.posted[1].body.toStdString();
}

}  // namespace
}  // namespace ferrymark
