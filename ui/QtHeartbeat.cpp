#include "ui/QtHeartbeat.h"

#include <QThread>
#include <QTimer>

namespace ferrymark {

QtHeartbeat::QtHeartbeat(std::function<void()> tick)
    : valid_(std::make_shared<std::atomic<bool>>(true)), timer_(new QTimer) {
    timer_->setInterval(1000);
    // The timer may outlive this handle by a moment (deleteLater); the flag, shared
    // with the connection, keeps its last ticks out.
    QObject::connect(timer_, &QTimer::timeout, timer_, [valid = valid_, tick = std::move(tick)] {
        if (valid->load() && tick) {
            tick();
        }
    });
    timer_->start();
}

QtHeartbeat::~QtHeartbeat() {
    invalidate();
    if (QThread::currentThread() == timer_->thread()) {
        delete timer_;
    } else {
        timer_->deleteLater();
    }
}

void QtHeartbeat::invalidate() {
    valid_->store(false);
    if (QThread::currentThread() == timer_->thread()) {
        timer_->stop();
    } else {
        QMetaObject::invokeMethod(timer_, &QTimer::stop, Qt::QueuedConnection);
    }
}

}  // namespace ferrymark
