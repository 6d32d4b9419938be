#include "X11Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>

namespace ferrymark::testing {

bool X11Wait::until(const std::function<bool()>& done) {
    QDeadlineTimer guard(20'000);
    while (!done()) {
        if (guard.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

}  // namespace ferrymark::testing
