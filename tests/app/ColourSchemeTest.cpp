// The desktop's colour scheme reaches every window, live: a stand-in settings portal on a
// private bus, and KDE's colour file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <optional>

#include "PrivateBus.h"
#include "StandInSettingsPortal.h"
#include "UiWait.h"
#include "app/SchemePalette.h"
#include "engine/PromptTexts.h"
#include "platform/freedesktop/DesktopColourScheme.h"
#include "ui/AlertWindowController.h"
#include "ui/PromptPresenter.h"

namespace ferrymark {
namespace {

using testing::PrivateBus;
using testing::StandInSettingsPortal;
using testing::UiWait;

const char* const kKdeDark =
    "[General]\nColorScheme=BreezeDark\n\n"
    "[Colors:View]\nBackgroundNormal=252,252,252\n\n"
    "[Colors:Window]\nBackgroundNormal=32,35,38\n";
const char* const kKdeLight = "[Colors:Window]\nBackgroundNormal=239,240,241\n";

void writeFile(const QString& path, const char* text) {
    QSaveFile file(path);  // replaced whole, as KDE does
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    ASSERT_TRUE(file.commit());
}

// The window colour each scheme must give; none means the look the application started with.
QColor windowColour(ColourScheme scheme, const QPalette& initial) {
    switch (scheme) {
        case ColourScheme::Dark:
            return SchemePalette::dark().color(QPalette::Window);
        case ColourScheme::Light:
            return SchemePalette::light().color(QPalette::Window);
        case ColourScheme::NoPreference:
            break;
    }
    return initial.color(QPalette::Window);
}

// The prompt's own background is what its text is read against.
QColor promptBackground(const AlertWindowController& prompt) {
    return prompt.palette().color(prompt.backgroundRole());
}

class ColourSchemeTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { bus_ = std::make_unique<PrivateBus>(); }
    static void TearDownTestSuite() { bus_.reset(); }
    void SetUp() override {
        if (!bus_->error().isEmpty()) {
            GTEST_SKIP() << "no private bus: " << bus_->error().toStdString()
                         << "; run scripts/install-deps.sh";
        }
        initial_ = QApplication::palette();
        client_ = QDBusConnection::connectToBus(bus_->address(), QStringLiteral("colour-client"));
        ASSERT_TRUE(client_.isConnected());
    }
    void TearDown() override {
        follower_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("colour-client"));
        QApplication::setPalette(initial_);
    }

    // Follows the portal (and, on KDE, kdeglobals) into the application's palette.
    void follow(bool kde) {
        follower_ = std::make_unique<DesktopColourScheme>(client_, kdeGlobals(), kde);
        palette_ = std::make_unique<SchemePalette>();
        QObject::connect(follower_.get(), &DesktopColourScheme::changed,
                         [this](ColourScheme scheme) {
                             palette_->apply(scheme);
                             ++reports_;
                         });
        follower_->start();
    }
    QString kdeGlobals() const { return home_.filePath(QStringLiteral("kdeglobals")); }

    static std::unique_ptr<PrivateBus> bus_;
    QTemporaryDir home_;
    QDBusConnection client_{QString()};
    QPalette initial_;
    std::unique_ptr<DesktopColourScheme> follower_;
    std::unique_ptr<SchemePalette> palette_;
    int reports_ = 0;
};

std::unique_ptr<PrivateBus> ColourSchemeTest::bus_;

TEST_F(ColourSchemeTest, TheFirstAnswerDressesOpenWindowsAndPrompts) {
    struct Case {
        const char* name;
        std::optional<uint> portal;  // none: no portal on the bus
        bool hasReadOne;
        bool kde;
        const char* kdeGlobals;  // null: no file
        ColourScheme expected;
    };
    const Case cases[] = {
        {"no preference", 0u, true, false, nullptr, ColourScheme::NoPreference},
        {"dark", 1u, true, false, nullptr, ColourScheme::Dark},
        {"light", 2u, true, false, nullptr, ColourScheme::Light},
        {"unknown number", 7u, true, false, nullptr, ColourScheme::NoPreference},
        {"older portal, Read only", 1u, false, false, nullptr, ColourScheme::Dark},
        {"no portal, KDE dark", std::nullopt, true, true, kKdeDark, ColourScheme::Dark},
        {"portal no preference, KDE light", 0u, true, true, kKdeLight, ColourScheme::Light},
        {"portal answers before KDE's file", 1u, true, true, kKdeLight, ColourScheme::Dark},
        {"KDE's file off KDE", std::nullopt, true, false, kKdeDark, ColourScheme::NoPreference},
        {"KDE without a file", std::nullopt, true, true, nullptr, ColourScheme::NoPreference},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QApplication::setPalette(initial_);
        reports_ = 0;
        QFile::remove(kdeGlobals());
        if (c.kdeGlobals != nullptr) {
            writeFile(kdeGlobals(), c.kdeGlobals);
        }
        std::unique_ptr<StandInSettingsPortal> portal;
        if (c.portal) {
            portal =
                std::make_unique<StandInSettingsPortal>(bus_->address(), *c.portal, c.hasReadOne);
            ASSERT_TRUE(portal->registered());
        }
        QWidget window;
        window.show();
        const auto prompt = PromptPresenter::makeDialog(PromptTexts::diskFull());
        prompt->show();

        follow(c.kde);
        ASSERT_TRUE(UiWait::until([this] { return reports_ > 0; }));
        EXPECT_EQ(follower_->scheme(), c.expected);
        EXPECT_EQ(window.palette().color(QPalette::Window), windowColour(c.expected, initial_));
        const QColor text = prompt->palette().color(QPalette::WindowText);
        EXPECT_GT(std::abs(promptBackground(*prompt).lightness() - text.lightness()), 100)
            << "prompt text unreadable on its background";
        follower_.reset();
    }
}

TEST_F(ColourSchemeTest, SwitchesLiveWhileAWindowIsOpen) {
    StandInSettingsPortal portal(bus_->address(), 2, true);
    ASSERT_TRUE(portal.registered());
    writeFile(kdeGlobals(), kKdeLight);
    QWidget window;
    window.show();
    const auto prompt = PromptPresenter::makeDialog(PromptTexts::diskFull());
    prompt->show();
    follow(true);
    const auto becomes = [&](ColourScheme scheme) {
        return UiWait::until([&] {
            return window.palette().color(QPalette::Window) == windowColour(scheme, initial_);
        });
    };
    ASSERT_TRUE(becomes(ColourScheme::Light));

    portal.change(1);
    ASSERT_TRUE(becomes(ColourScheme::Dark));
    EXPECT_LT(promptBackground(*prompt).lightness(), 128);
    // The check box is filled with the base colour: on that background it would vanish.
    EXPECT_NE(promptBackground(*prompt), prompt->palette().color(QPalette::Base));

    // No preference from the portal: KDE's file decides, and it is watched.
    portal.change(0);
    ASSERT_TRUE(becomes(ColourScheme::Light));
    EXPECT_GT(promptBackground(*prompt).lightness(), 128);
    writeFile(kdeGlobals(), kKdeDark);
    ASSERT_TRUE(becomes(ColourScheme::Dark));
    writeFile(kdeGlobals(), kKdeLight);
    ASSERT_TRUE(becomes(ColourScheme::Light));
}

}  // namespace
}  // namespace ferrymark
