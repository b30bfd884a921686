#include "program_folder.h"

#include <unistd.h>

#include <array>

namespace tarvex::shell {
namespace {

std::string executablePath() {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return length > 0 ? std::string{buffer.data(), static_cast<std::size_t>(length)}
                      : std::string{};
}

} // namespace

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
