#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <csignal>
#include <functional>
#include <sys/socket.h>
#include <unistd.h>

// SIGTERM, SIGINT and SIGHUP end a program in order: the signal only writes a byte into a
// socket pair; `end` then runs on the user-interface thread from the event loop. Call once.
inline void EndOnSignals(QObject& owner, std::function<void()> end) {
    static int pipe[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(pipe[0], QSocketNotifier::Read, &owner);
    QObject::connect(notifier, &QSocketNotifier::activated, &owner, [end = std::move(end)] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(pipe[0], &byte, 1);
        end();
    });
    struct sigaction action {};
    action.sa_handler = [](int) {
        const char byte = 1;
        [[maybe_unused]] const auto put = ::write(pipe[1], &byte, 1);
    };
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}
