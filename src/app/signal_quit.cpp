#include "app/signal_quit.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vna::app {

namespace {

int g_fds[2] = {-1, -1};

void OnSignal(int) {
    // Only async-signal-safe work here: one byte into the pipe wakes the event loop.
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_fds[1], &c, 1);
}

} // namespace

SignalQuit::SignalQuit(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_fds) != 0) {
        return;
    }
    ::fcntl(g_fds[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(g_fds[1], F_SETFD, FD_CLOEXEC);
    ::fcntl(g_fds[1], F_SETFL, O_NONBLOCK);
    notifier_ = new QSocketNotifier(g_fds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalQuit::readSignal);
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

SignalQuit::~SignalQuit() {
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
}

void SignalQuit::readSignal() {
    char buf[16];
    [[maybe_unused]] const ssize_t n = ::read(g_fds[0], buf, sizeof buf);
    if (onSignal_) {
        onSignal_();
    }
}

} // namespace vna::app
