#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

namespace tarvex::test {

// Waits until `descriptor` is readable, looking at `stop` every 50 ms; false once it is set.
[[nodiscard]] bool waitReadable(int descriptor, const std::atomic<bool>& stop);

// Puts the next bytes of a connection in `buffer` and says how many; 0 when none come (closed,
// failed or stopped).
using Receive = std::function<std::size_t(char* buffer, std::size_t capacity)>;

// What a plain socket brings: a wait for bytes (until `stop`), then one recv().
[[nodiscard]] Receive socketReceive(int connection, const std::atomic<bool>& stop);

// Reads one HTTP request into `request`: its head up to the blank line, then as many body bytes
// as its Content-Length says. False when the bytes stop before the request is whole, or when
// `maxHead` bytes hold no whole head; `request` then holds what came.
[[nodiscard]] bool readRequest(const Receive& receive, std::string& request,
                               std::size_t maxHead = std::string::npos);

} // namespace tarvex::test
