#pragma once

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

// A network of its own for the calling thread and the threads it starts from then on: a fresh
// network namespace, whose only interface is the loopback, up with multicast (Link's peers on
// it find each other, and nothing outside) or down (no network at all). Made as root; Failure()
// says why it could not be made. Going, it takes the thread back to the network it had.
class TPrivateNetwork {
public:
    explicit TPrivateNetwork(bool loopbackUp = true) {
        original_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        if (original_ < 0) {
            failure_ = std::string("cannot keep this thread's network: ") + std::strerror(errno);
            return;
        }
        if (unshare(CLONE_NEWNET) != 0) {
            failure_ = std::string("cannot make a network namespace (run as root): ") +
                       std::strerror(errno);
            close(original_);
            original_ = -1;
            return;
        }
        SetLoopback(loopbackUp);
    }
    ~TPrivateNetwork() {
        if (original_ < 0)
            return;
        setns(original_, CLONE_NEWNET);
        close(original_);
    }
    TPrivateNetwork(const TPrivateNetwork&) = delete;
    TPrivateNetwork& operator=(const TPrivateNetwork&) = delete;

    const std::string& Failure() const { return failure_; }

    // The network comes or goes.
    void SetLoopback(bool up) {
        const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ifreq request{};
        std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
        if (socket < 0 || ioctl(socket, SIOCGIFFLAGS, &request) != 0) {
            failure_ = std::string("cannot look at the loopback: ") + std::strerror(errno);
        } else {
            request.ifr_flags = static_cast<short>(up ? request.ifr_flags | IFF_UP | IFF_MULTICAST
                                                      : request.ifr_flags & ~IFF_UP);
            if (ioctl(socket, SIOCSIFFLAGS, &request) != 0)
                failure_ = std::string("cannot set the loopback: ") + std::strerror(errno);
        }
        if (socket >= 0)
            close(socket);
    }

private:
    int original_ = -1;
    std::string failure_;
};
