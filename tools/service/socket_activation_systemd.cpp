// Socket activation as systemd does it: LISTEN_FDS descriptors from SD_LISTEN_FDS_START on,
// for the process named in LISTEN_PID.
#include "service/socket_activation.h"

#include <cstring>
#include <sys/socket.h>
#include <systemd/sd-daemon.h>

namespace tarvex::search {

InheritedSocket takeInheritedSocket() {
    InheritedSocket inherited;
    // Also marks the passed descriptors close-on-exec.
    const int count = sd_listen_fds(1);
    if (count == 0) {
        return inherited;
    }
    inherited.state = InheritedSocket::State::Unusable;
    if (count < 0) {
        inherited.error = std::string{"cannot take the passed sockets: "} + std::strerror(-count);
        return inherited;
    }
    if (count != 1) {
        inherited.error = std::to_string(count) + " sockets were passed; the service serves one";
        return inherited;
    }
    const int socket = SD_LISTEN_FDS_START;
    if (sd_is_socket(socket, AF_UNSPEC, SOCK_STREAM, 1) <= 0) {
        inherited.error = "the passed descriptor is not a listening stream socket";
        return inherited;
    }
    const auto listener = adoptListener(socket);
    if (!listener) {
        inherited.error = "the passed socket listens on neither IPv4 nor IPv6";
        return inherited;
    }
    inherited.state = InheritedSocket::State::Ready;
    inherited.listener = *listener;
    return inherited;
}

} // namespace tarvex::search
