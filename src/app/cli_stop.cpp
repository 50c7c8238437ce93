#include "app/cli_stop.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include <poll.h>
#include <unistd.h>
#endif

namespace vna::app {

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;
bool g_inputOpen = true;

void OnStopSignal(int) {
    g_stopSignal = 1;
}

} // namespace

StopSignals::StopSignals() {
    g_stopSignal = 0;
    g_inputOpen = true;
    previousInt_ = std::signal(SIGINT, OnStopSignal);
    previousTerm_ = std::signal(SIGTERM, OnStopSignal);
}

StopSignals::~StopSignals() {
    std::signal(SIGINT, previousInt_);
    std::signal(SIGTERM, previousTerm_);
}

bool StopSignals::Seen() {
    return g_stopSignal != 0;
}

bool EnterOrSignal(int ms) {
#ifndef _WIN32
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!g_stopSignal) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now())
                .count();
        if (left < 0) {
            return false;
        }
        pollfd pfd{STDIN_FILENO, POLLIN, 0};
        if (::poll(&pfd, g_inputOpen ? 1 : 0, static_cast<int>(std::min<long long>(left, 100))) <= 0 ||
            !(pfd.revents & (POLLIN | POLLHUP))) {
            continue;
        }
        char buf[256];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            g_inputOpen = false;
        } else if (std::memchr(buf, '\n', static_cast<std::size_t>(n))) {
            return true;
        }
    }
    return true;
#else
    (void)ms;
    return g_stopSignal != 0;
#endif
}

void WaitForEnterOrSignal() {
#ifndef _WIN32
    while (!EnterOrSignal(1000)) {
    }
#else
    int c = 0;
    while (!g_stopSignal && (c = std::getchar()) != EOF && c != '\n') {
    }
#endif
}

} // namespace vna::app
