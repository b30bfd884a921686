#include "shell/program_folder.h"

#include <unistd.h>

#include <array>

namespace tarvex::shell {

std::string executablePath() {
    std::array<char, 4096> buffer{};
    // A result that fills the buffer may have been cut short: refused rather than half a path.
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    return length > 0 && static_cast<std::size_t>(length) < buffer.size()
               ? std::string{buffer.data(), static_cast<std::size_t>(length)}
               : std::string{};
}

std::string programFolder() {
    const std::string path = executablePath();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string{"/"} : path.substr(0, slash + 1);
}

std::string applicationKey() {
    const std::string path = executablePath();
    std::string name = path.substr(path.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return name;
}

} // namespace tarvex::shell
