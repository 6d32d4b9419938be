#include "UiWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>

namespace ferrymark::testing {

bool UiWait::until(const std::function<bool()>& done) {
    // Only a hang guard: no test relies on how long anything takes.
    QDeadlineTimer guard(60'000);
    while (!done()) {
        if (guard.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

}  // namespace ferrymark::testing
