#include "ui/CutCopyWController.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGraphicsColorizeEffect>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QToolButton>
#include <algorithm>
#include <cmath>

#include "engine/CopyHandler.h"
#include "ui/FCUtility.h"
#include "ui_CutCopyWindow.h"

namespace ferrymark {
namespace {

QString items(std::int64_t count) {
    return QLocale::system().toString(qlonglong{count});
}

// A duration's English words, "5 minutes", in the user's language.
QString duration(double seconds) {
    static constexpr const char* kUnits[][2] = {
        {"seconds", QT_TRANSLATE_NOOP("CutCopyWController", "%1 seconds")},
        {"minute", QT_TRANSLATE_NOOP("CutCopyWController", "%1 minute")},
        {"minutes", QT_TRANSLATE_NOOP("CutCopyWController", "%1 minutes")},
        {"hour", QT_TRANSLATE_NOOP("CutCopyWController", "%1 hour")},
        {"hours", QT_TRANSLATE_NOOP("CutCopyWController", "%1 hours")},
        {"day", QT_TRANSLATE_NOOP("CutCopyWController", "%1 day")},
        {"days", QT_TRANSLATE_NOOP("CutCopyWController", "%1 days")},
    };
    const QString english =
        QString::fromStdString(FCUtility::timeIntervalToStringWithInterval(seconds));
    const QString number = english.section(QLatin1Char(' '), 0, 0);
    const QString unit = english.section(QLatin1Char(' '), 1);
    for (const auto& [word, text] : kUnits) {
        if (unit == QLatin1String(word)) {
            return QCoreApplication::translate("CutCopyWController", text).arg(number);
        }
    }
    return english;
}

// "1.5 GB", with the decimal separator of the language the window is shown in.
QString size(std::int64_t bytes) {
    QString text = QString::fromStdString(FCUtility::dataSizeToString(bytes));
    const QString separator =
        QCoreApplication::translate("CutCopyWController", ".", "decimal separator of sizes");
    if (separator != QLatin1String(".")) {
        text.replace(QLatin1Char('.'), separator);
    }
    return text;
}

// Puts value in place of the first "%@" of the layout's template.
QString fillTemplate(QString format, const QString& value) {
    const auto at = format.indexOf(QLatin1String("%@"));
    if (at >= 0) {
        format.replace(at, 2, value);
    }
    return format;
}

// Progress as a fraction. Without bytes to go by (only empty files) the items tell it.
double progressFraction(const CopyHandler& job) {
    const std::int64_t total = job.totalData();
    if (total != 0) {
        return static_cast<double>(job.dataProcessed()) / static_cast<double>(total);
    }
    const std::int64_t totalItems = job.totalItems();
    if (totalItems <= 0) {
        return 0.0;
    }
    return static_cast<double>(totalItems - job.remainingItems()) / static_cast<double>(totalItems);
}

// What a waiting job waits for, from what the transfer holding the disk wrote.
QString waitingText(const TurnHolder& holder) {
    if (!holder.known()) {
        return QCoreApplication::translate(
            "CutCopyWController", "Waiting until another transfer to the same disk has ended.");
    }
    const QString name = QFileInfo(QString::fromStdString(holder.firstSource)).fileName();
    const QString target = QString::fromStdString(holder.target);
    const char* text = nullptr;
    if (holder.move) {
        text = holder.sources > 1
                   ? QT_TRANSLATE_NOOP("CutCopyWController",
                                       "Waiting until the move of “%1” and more to “%2” has "
                                       "ended: it uses the same disk.")
                   : QT_TRANSLATE_NOOP("CutCopyWController",
                                       "Waiting until the move of “%1” to “%2” has ended: it "
                                       "uses the same disk.");
    } else {
        text = holder.sources > 1
                   ? QT_TRANSLATE_NOOP("CutCopyWController",
                                       "Waiting until the copy of “%1” and more to “%2” has "
                                       "ended: it uses the same disk.")
                   : QT_TRANSLATE_NOOP("CutCopyWController",
                                       "Waiting until the copy of “%1” to “%2” has ended: it "
                                       "uses the same disk.");
    }
    return QCoreApplication::translate("CutCopyWController", text).arg(name, target);
}

int barValue(double fraction) {
    // More bytes than counted give a fraction above 1; the bar shows full.
    const double clamped = std::clamp(fraction, 0.0, 1.0);
    return static_cast<int>(std::lround(clamped * CutCopyWController::kBarMaximum));
}

}  // namespace

CutCopyWController::CutCopyWController() : CutCopyWController(nullptr) {}

CutCopyWController::CutCopyWController(ICopyHandler* copyHandler)
    : link_(std::make_shared<HandlerLink>()) {
    link_->handler = copyHandler;
}

CutCopyWController::~CutCopyWController() {
    {
        std::lock_guard guard(link_->lock);
        link_->handler = nullptr;
    }
    if (window_ == nullptr) {
        return;
    }
    // The job may be released on its worker; the window must go on the UI thread.
    if (QThread::currentThread() == window_->thread()) {
        delete window_;
    } else {
        window_->deleteLater();
    }
}

ICopyHandler* CutCopyWController::copyHandler() const {
    std::lock_guard guard(link_->lock);
    return link_->handler;
}

QWidget* CutCopyWController::window() {
    if (window_ == nullptr) {
        loadWindow();
    }
    return window_;
}

void CutCopyWController::loadWindow() {
    ui_ = std::make_unique<Ui::CutCopyWindow>();
    window_ = new QWidget;
    ui_->setupUi(window_);
    window_->setAttribute(Qt::WA_QuitOnClose, false);
    // The window has a fixed size: no maximize button.
    window_->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    // Room for the longer title, so that pausing does not resize the window.
    QPushButton* pause = ui_->btPauseResume;
    const QString title = pause->text();
    pause->setText(QCoreApplication::translate("CutCopyWController", "Resume"));
    const int resumeWidth = pause->sizeHint().width();
    pause->setText(title);
    pause->setMinimumWidth(std::max(resumeWidth, pause->sizeHint().width()));

    const std::shared_ptr<HandlerLink> link = link_;
    QObject::connect(ui_->btPauseResume, &QPushButton::clicked, window_,
                     [link] { callHandler(*link, &ICopyHandler::togglePause); });
    QObject::connect(ui_->btStopProcess, &QPushButton::clicked, window_,
                     [link] { callHandler(*link, &ICopyHandler::cancelTask); });
    QObject::connect(ui_->btStartNow, &QPushButton::clicked, window_,
                     [link] { callHandler(*link, &ICopyHandler::startNow); });
    ui_->lbWaitingFor->hide();
    ui_->btStartNow->hide();

    QWidget* details = ui_->detailsArea;
    QToolButton* expand = ui_->btExpandContractView;
    QObject::connect(expand, &QToolButton::toggled, window_, [details, expand](bool expanded) {
        details->setVisible(expanded);
        expand->setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
    });
}

void CutCopyWController::callHandler(HandlerLink& link, void (ICopyHandler::*action)()) {
    std::lock_guard guard(link.lock);
    if (link.handler != nullptr) {
        (link.handler->*action)();
    }
}

void CutCopyWController::pauseAction() {
    callHandler(*link_, &ICopyHandler::togglePause);
}

void CutCopyWController::stopAction() {
    callHandler(*link_, &ICopyHandler::cancelTask);
}

void CutCopyWController::startNowAction() {
    callHandler(*link_, &ICopyHandler::startNow);
}

void CutCopyWController::updateUI(CopyHandler& job) {
    // Qt delivers timers during a modal prompt; the window stands still while the user
    // is being asked, and so does the beat count.
    if (QApplication::activeModalWidget() != nullptr) {
        return;
    }
    if (job.uiBeatCount() == -1 && !job.cancelled()) {
        if (QGuiApplication::applicationState() != Qt::ApplicationActive) {
            job.host().activateApplication();
        }
        job.setUiBeatCount(0);
        window();
        window_->setWindowTitle(
            QCoreApplication::translate("CutCopyWController", "Copying to “%1” — Ferrymark")
                .arg(QString::fromStdString(job.currentTarget())));
        showPauseTitle(job.paused());
        ui_->pbTotalProcess->setRange(0, 0);
        ui_->lbProcessDesc->setText(
            fillTemplate(ui_->lbProcessDesc->text(), QString::fromStdString(job.currentTarget())));
        tick(job);
        bringToFront();
        return;
    }
    tick(job);
}

void CutCopyWController::tick(CopyHandler& job) {
    if (job.dataProcessed() == -1) {
        if (ui_ != nullptr) {
            ui_->lbDataProgressDesc->setText(
                QCoreApplication::translate("CutCopyWController", "%1 Items (%2)")
                    .arg(items(job.totalItems()), size(job.totalData())));
        }
        return;
    }
    // Like counting, waiting for the disk is no transfer time: the beat count stays.
    if (job.waitingForTurn()) {
        if (ui_ != nullptr) {
            showWaiting(job);
        }
        return;
    }
    hideWaiting();
    if (job.uiBeatCount() == 0) {
        stopAnimation();
        if (ui_ != nullptr && pausedLook_ == nullptr) {
            pausedLook_ = new QGraphicsColorizeEffect;
            pausedLook_->setColor(Qt::gray);
            ui_->pbTotalProcess->setGraphicsEffect(pausedLook_);
        }
        setPausedLook(job.paused() ? 1.0 : 0.0);
    }
    if (!job.paused()) {
        job.setUiBeatCount(job.uiBeatCount() + 1);
    }
    if (ui_ == nullptr) {
        // A job cancelled before its first tick keeps counting beats without a window.
        return;
    }
    if (job.checking()) {
        showChecking(job);
        return;
    }
    checkStart_.reset();
    ui_->lbProcessDesc->setText(
        QCoreApplication::translate("CutCopyWController", "Copying %1 Items to \"%2\"")
            .arg(items(job.remainingItems()), QString::fromStdString(job.currentTarget())));
    ui_->lbDataProgressDesc->setText(QCoreApplication::translate("CutCopyWController", "%1 of %2")
                                         .arg(size(job.dataProcessed()), size(job.totalData())));

    if (job.finishing()) {
        ui_->lbTimeProgressDesc->setText(QCoreApplication::translate(
            "CutCopyWController", "Finishing: writing the copies to the disk…"));
        return;
    }
    const std::int64_t beats = job.uiBeatCount();
    if (beats >= 2 && job.dataProcessed() != 0) {
        const auto toGo = static_cast<double>(job.totalData() - job.dataProcessed());
        const double estimate =
            toGo / static_cast<double>(job.dataProcessed()) * static_cast<double>(beats);
        ui_->lbTimeProgressDesc->setText(
            QCoreApplication::translate("CutCopyWController", "About %1 remain")
                .arg(duration(estimate)));
    }
    ui_->pbTotalProcess->setValue(barValue(progressFraction(job)));
    showDetails(job);
}

void CutCopyWController::showChecking(const CopyHandler& job) {
    const std::int64_t checked = job.bytesChecked();
    const std::int64_t toCheck = std::max(job.bytesToCheck(), checked);
    // The time left comes from this phase's own pace: reading back is not copying.
    if (!checkStart_) {
        checkStart_ = std::make_pair(job.uiBeatCount(), checked);
    }
    ui_->lbProcessDesc->setText(
        QCoreApplication::translate("CutCopyWController", "Checking the copies…"));
    ui_->lbDataProgressDesc->setText(
        QCoreApplication::translate("CutCopyWController", "%1 of %2 checked")
            .arg(size(checked), size(toCheck)));
    const std::int64_t beats = job.uiBeatCount() - checkStart_->first;
    const std::int64_t done = checked - checkStart_->second;
    if (beats >= 2 && done > 0) {
        const double estimate = static_cast<double>(toCheck - checked) / static_cast<double>(done) *
                                static_cast<double>(beats);
        ui_->lbTimeProgressDesc->setText(
            QCoreApplication::translate("CutCopyWController", "About %1 remain")
                .arg(duration(estimate)));
    } else {
        ui_->lbTimeProgressDesc->clear();
    }
    ui_->pbTotalProcess->setValue(
        barValue(toCheck > 0 ? static_cast<double>(checked) / static_cast<double>(toCheck) : 0.0));
}

void CutCopyWController::showWaiting(const CopyHandler& job) {
    ui_->lbProcessDesc->setText(
        QCoreApplication::translate("CutCopyWController", "Waiting to copy to \"%1\"")
            .arg(QString::fromStdString(job.currentTarget())));
    ui_->lbDataProgressDesc->setText(
        QCoreApplication::translate("CutCopyWController", "%1 Items (%2)")
            .arg(items(job.totalItems()), size(job.totalData())));
    ui_->lbWaitingFor->setText(waitingText(job.turnHolder()));
    ui_->lbWaitingFor->show();
    ui_->btStartNow->show();
}

void CutCopyWController::hideWaiting() {
    if (ui_ != nullptr && ui_->btStartNow->isVisibleTo(window_)) {
        ui_->lbWaitingFor->hide();
        ui_->btStartNow->hide();
    }
}

void CutCopyWController::showDetails(const CopyHandler& job) {
    const QString path = QString::fromStdString(job.currentItem());
    QLabel* item = ui_->lbCurrentItem;
    item->setToolTip(path);
    item->setText(item->fontMetrics().elidedText(QFileInfo(path).fileName(), Qt::ElideMiddle,
                                                 std::max(item->width(), 200)));

    rate_.sample(TransferRate::Clock::now(), job.dataProcessed());
    if (const auto speed = rate_.bytesPerSecond()) {
        const auto perSecond = static_cast<std::int64_t>(std::llround(std::max(*speed, 0.0)));
        ui_->lbSpeed->setText(
            QCoreApplication::translate("CutCopyWController", "%1/s").arg(size(perSecond)));
    }
}

void CutCopyWController::bringToFront() {
    QWidget* w = window();
    w->show();
    w->raise();
    w->activateWindow();
}

void CutCopyWController::stopAnimation() {
    if (ui_ != nullptr && ui_->pbTotalProcess->maximum() == 0) {
        ui_->pbTotalProcess->setRange(0, kBarMaximum);
        ui_->pbTotalProcess->setValue(0);
    }
}

void CutCopyWController::setPausedLook(double strength) {
    if (pausedLook_ != nullptr) {
        pausedLook_->setStrength(strength);
    }
    showPauseTitle(strength > 0.0);
}

void CutCopyWController::showPauseTitle(bool paused) {
    if (ui_ != nullptr) {
        ui_->btPauseResume->setText(
            paused ? QCoreApplication::translate("CutCopyWController", "Resume")
                   : QCoreApplication::translate("CutCopyWController", "Pause"));
    }
}

QLabel* CutCopyWController::lbProcessDesc() const {
    return ui_ ? ui_->lbProcessDesc : nullptr;
}
QLabel* CutCopyWController::lbDataProgressDesc() const {
    return ui_ ? ui_->lbDataProgressDesc : nullptr;
}
QLabel* CutCopyWController::lbTimeProgressDesc() const {
    return ui_ ? ui_->lbTimeProgressDesc : nullptr;
}
QProgressBar* CutCopyWController::pbTotalProcess() const {
    return ui_ ? ui_->pbTotalProcess : nullptr;
}
QPushButton* CutCopyWController::btPauseResume() const {
    return ui_ ? ui_->btPauseResume : nullptr;
}
QPushButton* CutCopyWController::btStopProcess() const {
    return ui_ ? ui_->btStopProcess : nullptr;
}
QToolButton* CutCopyWController::btExpandContractView() const {
    return ui_ ? ui_->btExpandContractView : nullptr;
}

QLabel* CutCopyWController::lbCurrentItem() const {
    return ui_ ? ui_->lbCurrentItem : nullptr;
}
QLabel* CutCopyWController::lbSpeed() const {
    return ui_ ? ui_->lbSpeed : nullptr;
}
QLabel* CutCopyWController::lbWaitingFor() const {
    return ui_ ? ui_->lbWaitingFor : nullptr;
}
QPushButton* CutCopyWController::btStartNow() const {
    return ui_ ? ui_->btStartNow : nullptr;
}

}  // namespace ferrymark
