#include "proxy/google_search_handler.h"
#include "soap/soap_fault.h"
#include "tarvex/arg_list.h"
#include "tarvex/command.h"
#include "tarvex/json_output.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex::cli {
namespace {

// A body larger than this is refused, as the HTTP client refuses such an answer.
constexpr std::size_t kMaxBodyFileBytes = std::size_t{64} << 20;

enum class FileRead { Ok, CannotRead, TooLarge };

// The whole file into `bytes`; a folder cannot be read. Pipes and devices are read until they
// end or pass kMaxBodyFileBytes.
FileRead readBodyFile(const std::string& path, std::string& bytes) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return FileRead::CannotRead;
    }
    struct stat info {};
    FileRead result = ::fstat(descriptor, &info) == 0 && !S_ISDIR(info.st_mode)
                          ? FileRead::Ok
                          : FileRead::CannotRead;
    if (result == FileRead::Ok && S_ISREG(info.st_mode) && info.st_size > 0 &&
        static_cast<std::uint64_t>(info.st_size) <= kMaxBodyFileBytes) {
        bytes.reserve(static_cast<std::size_t>(info.st_size)); // one block, not doublings
    }
    char buffer[1 << 16];
    while (result == FileRead::Ok) {
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count == 0) {
            break;
        }
        if (count < 0) {
            result = errno == EINTR ? FileRead::Ok : FileRead::CannotRead;
            continue;
        }
        if (static_cast<std::size_t>(count) > kMaxBodyFileBytes - bytes.size()) {
            result = FileRead::TooLarge;
            continue;
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(descriptor);
    return result;
}

// The one FILE argument of parse and fault, read whole; empty optional (after a message) when
// the words are wrong or the file cannot be read.
std::optional<std::string> readFileArgument(std::string_view command,
                                            const std::vector<std::string>& words,
                                            std::ostream& err, int& exitStatus) {
    const ArgList args{words, {}, {}};
    if (!args.error().empty() || args.positional().size() != 1) {
        err << "tarvex " << command << ": "
            << (args.error().empty() ? "give one FILE" : args.error()) << "\n(see tarvex "
            << command << " --help)\n";
        exitStatus = kExitUsage;
        return std::nullopt;
    }
    const std::string& path = args.positional().front();
    std::string body;
    switch (readBodyFile(path, body)) {
    case FileRead::Ok:
        return body;
    case FileRead::CannotRead:
        err << "tarvex " << command << ": cannot read " << path << '\n';
        break;
    case FileRead::TooLarge:
        err << "tarvex " << command << ": " << path << " is larger than "
            << (kMaxBodyFileBytes >> 20) << " MiB\n";
        break;
    }
    exitStatus = kExitFailed;
    return std::nullopt;
}

int printError(std::ostream& out, HResult status) {
    out << nlohmann::ordered_json{{"error", statusText(status)}}.dump() << '\n';
    return kExitFailed;
}

} // namespace

int runParse(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    int exitStatus = kExitOk;
    auto body = readFileArgument("parse", words, err, exitStatus);
    if (!body) {
        return exitStatus;
    }
    const auto reader = soap::createSaxReader();
    if (reader == nullptr) {
        return printError(out, kOutOfMemory);
    }
    soap::MemoryStream stream{*body};
    proxy::GoogleSearchResult result{};
    if (const HResult status = proxy::parseDoGoogleSearchResponse(*reader, stream, result);
        failed(status)) {
        return printError(out, status);
    }
    body.reset(); // the result holds its own texts
    writeJson(out, result);
    proxy::releaseGoogleSearchResult(result);
    return kExitOk;
}

int runFault(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    int exitStatus = kExitOk;
    const auto body = readFileArgument("fault", words, err, exitStatus);
    if (!body) {
        return exitStatus;
    }
    soap::MemoryStream stream{*body};
    soap::SoapFaultInfo fault;
    if (const HResult status = soap::parseFault(&stream, nullptr, fault); failed(status)) {
        return printError(out, status);
    }
    out << toJson(fault).dump(2) << '\n';
    return kExitOk;
}

} // namespace tarvex::cli
