#include "ui/QtJobHost.h"

#include <QApplication>
#include <QThread>
#include <QWidget>
#include <exception>

#include "ui/CutCopyWController.h"
#include "ui/PromptPresenter.h"
#include "ui/QtHeartbeat.h"
#include "ui/SystemLog.h"

namespace ferrymark {

QtJobHost::QtJobHost(QObject* parent) : QObject(parent) {}

QtJobHost::~QtJobHost() = default;

bool QtJobHost::onUiThread() const {
    return QThread::currentThread() == thread();
}

void QtJobHost::runOnUiThread(const std::function<void()>& work) {
    if (onUiThread()) {
        // A blocking call onto our own thread would wait for itself.
        work();
        return;
    }
    std::exception_ptr failure;
    QMetaObject::invokeMethod(
        this,
        [&work, &failure] {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure) {
        std::rethrow_exception(failure);
    }
}

PromptAnswer QtJobHost::showPrompt(const Prompt& prompt) {
    PromptAnswer answer;
    runOnUiThread([&] {
        const bool focus =
            frontRequested() || QGuiApplication::applicationState() == Qt::ApplicationActive;
        answer = PromptPresenter::ask(prompt, focus);
    });
    return answer;
}

std::unique_ptr<IHeartbeat> QtJobHost::startHeartbeat(std::function<void()> tick) {
    std::unique_ptr<IHeartbeat> heartbeat;
    // The timer must live in the UI thread, whose event loop delivers its ticks.
    runOnUiThread([&] { heartbeat = std::make_unique<QtHeartbeat>(std::move(tick)); });
    return heartbeat;
}

std::unique_ptr<IProgressView> QtJobHost::makeProgressView(ICopyHandler& job) {
    return std::make_unique<CutCopyWController>(&job);
}

void QtJobHost::activateApplication() {
    frontRequested_.store(true);
    runOnUiThread([this] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->raise();
            modal->activateWindow();
        }
        if (activateHook_) {
            activateHook_();
        }
    });
}

void QtJobHost::deactivateApplication() {
    frontRequested_.store(false);
    runOnUiThread([this] {
        if (deactivateHook_) {
            deactivateHook_();
        }
    });
}

void QtJobHost::log(const std::string& line) {
    SystemLog::write(line);
}

void QtJobHost::setActivateHook(Hook hook) {
    activateHook_ = std::move(hook);
}

void QtJobHost::setDeactivateHook(Hook hook) {
    deactivateHook_ = std::move(hook);
}

}  // namespace ferrymark
