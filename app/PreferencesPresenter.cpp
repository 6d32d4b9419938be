#include "app/PreferencesPresenter.h"

#include <QAction>

#include "app/PreferencesWindow.h"
#include "app/StatusMenu.h"
#include "app/UserDefaults.h"

namespace ferrymark {

PreferencesPresenter::PreferencesPresenter(UserDefaults& defaults, StatusMenu& menu,
                                           Actions actions)
    : defaults_(defaults), menu_(menu), actions_(std::move(actions)), copyCheck_(defaults) {}

PreferencesPresenter::~PreferencesPresenter() {
    delete window_.data();
}

PreferencesWindow* PreferencesPresenter::window() const {
    return window_.data();
}

void PreferencesPresenter::show() {
    if (window_.isNull()) {
        PreferencesWindow::Model model;
        model.startAtLogin = actions_.startsAtLogin();
        model.setStartAtLogin = actions_.setStartsAtLogin;
        for (const auto& entry : menu_.entries()) {
            if (!entry.keyEquivalent.isEmpty() ||
                defaults_.hasValue(actions_.hotKeySetting(entry.slot))) {
                model.hotKeys.push_back(
                    {entry.action->text(), entry.slot,
                     StatusMenu::sequenceOf(entry.keyEquivalent, entry.modifierMask)});
            }
        }
        model.changeHotKey = actions_.changeHotKey;
        model.checkCopies = static_cast<int>(copyCheck_.scope());
        model.setCheckCopies = [this](int scope) {
            copyCheck_.setScope(static_cast<CopyCheckSetting::Scope>(scope));
        };
        model.boxes = actions_.boxes;
        window_ = new PreferencesWindow(std::move(model));
        window_->setAttribute(Qt::WA_DeleteOnClose);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace ferrymark
