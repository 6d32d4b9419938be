#include "app/SignalRelay.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace ferrymark {
namespace {

int relayFds[2] = {-1, -1};

}  // namespace

SignalRelay::SignalRelay(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, relayFds) != 0) {
        return;
    }
    notifier_ = new QSocketNotifier(relayFds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char c = 0;
        if (::read(relayFds[1], &c, 1) == 1) {
            emit terminationRequested();
        }
    });
    struct sigaction action {};
    action.sa_handler = &SignalRelay::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

SignalRelay::~SignalRelay() {
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
}

void SignalRelay::handle(int) {
    const char c = 1;
    // Only async-signal-safe calls here.
    [[maybe_unused]] auto n = ::write(relayFds[0], &c, 1);
}

}  // namespace ferrymark
