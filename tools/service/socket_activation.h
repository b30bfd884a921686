#pragma once

#include "service/listen_socket.h"

#include <string>

namespace tarvex::search {

// What the service manager handed over at start (socket activation).
struct InheritedSocket {
    enum class State {
        None,     // started otherwise: the service opens its own socket
        Ready,    // one listening socket, in `listener`
        Unusable, // something was passed that cannot be served; `error` says what
    };
    State state = State::None;
    Listener listener{-1, 0, {}};
    std::string error;
};

// The listening socket passed by the service manager, made ready to serve. The variables that
// pass it are taken out of the environment, so no child process takes it for its own.
[[nodiscard]] InheritedSocket takeInheritedSocket();

} // namespace tarvex::search
