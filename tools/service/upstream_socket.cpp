#include "service/upstream_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>

namespace tarvex::search {
namespace {

struct Block {
    std::uint32_t network;
    int bits;
};

// RFC 6890 special-purpose blocks, and multicast and the reserved range above it.
constexpr std::array kNotPublic{
    Block{0x00000000, 8},  // "this" network
    Block{0x0A000000, 8},  // private
    Block{0x64400000, 10}, // shared address space (carrier-grade NAT)
    Block{0x7F000000, 8},  // loopback
    Block{0xA9FE0000, 16}, // link-local
    Block{0xAC100000, 12}, // private
    Block{0xC0000000, 24}, // IETF protocol assignments
    Block{0xC0000200, 24}, // documentation
    Block{0xC0A80000, 16}, // private
    Block{0xC6120000, 15}, // benchmarking
    Block{0xC6336400, 24}, // documentation
    Block{0xCB007100, 24}, // documentation
    Block{0xE0000000, 4},  // multicast
    Block{0xF0000000, 4},  // reserved, broadcast
};

class UpstreamSocket final : public http::Socket {
public:
    UpstreamSocket(std::unique_ptr<http::Socket> inner, UpstreamRules rules,
                   std::shared_ptr<UpstreamNote> note)
        : m_inner(std::move(inner)), m_rules(rules), m_note(std::move(note)) {
        m_inner->setDeadline(m_rules.deadline);
    }

    [[nodiscard]] HResult connect(const std::string& host, std::uint16_t port) override {
        in_addr address{};
        if (::inet_pton(AF_INET, host.c_str(), &address) != 1) {
            addrinfo hints{};
            hints.ai_family = AF_INET;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_protocol = IPPROTO_TCP;
            addrinfo* found = nullptr;
            if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
                m_note->unknownHost = true;
                return kFail;
            }
            address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
            ::freeaddrinfo(found);
        }
        const bool loopback = (ntohl(address.s_addr) >> 24) == 127;
        if (m_rules.publicOnly && !isPublicAddress(address) &&
            !(m_rules.allowLoopback && loopback)) {
            m_note->addressRefused = true;
            return kFail;
        }
        std::array<char, INET_ADDRSTRLEN> text{};
        ::inet_ntop(AF_INET, &address, text.data(), text.size());
        return m_inner->connect(text.data(), port);
    }

    [[nodiscard]] HResult send(const std::vector<std::string_view>& pieces,
                               std::size_t& sent) override {
        return m_inner->send(pieces, sent);
    }

    [[nodiscard]] HResult receive(char* buffer, std::size_t capacity, std::size_t& count) override {
        const HResult status = m_inner->receive(buffer, capacity, count);
        m_received += count;
        if (m_received > m_rules.maxBytes) {
            m_note->tooLarge = true;
            count = 0;
            return kFail;
        }
        return status;
    }

    void close() override { m_inner->close(); }
    [[nodiscard]] bool connected() const override { return m_inner->connected(); }
    [[nodiscard]] bool reusable() override { return m_inner->reusable(); }
    void setTimeout(std::uint32_t milliseconds) override { m_inner->setTimeout(milliseconds); }
    void setDeadline(Deadline deadline) override {
        m_inner->setDeadline(std::min(deadline, m_rules.deadline));
    }
    [[nodiscard]] int lastError() const override { return m_inner->lastError(); }

private:
    std::unique_ptr<http::Socket> m_inner;
    UpstreamRules m_rules;
    std::shared_ptr<UpstreamNote> m_note;
    std::size_t m_received = 0;
};

} // namespace

bool isPublicAddress(const in_addr& address) {
    const std::uint32_t host = ntohl(address.s_addr);
    return std::none_of(kNotPublic.begin(), kNotPublic.end(), [host](const Block& block) {
        const std::uint32_t mask = ~std::uint32_t{0} << (32 - block.bits);
        return (host & mask) == block.network;
    });
}

std::unique_ptr<http::Socket> createUpstreamSocket(std::unique_ptr<http::Socket> inner,
                                                   UpstreamRules rules,
                                                   std::shared_ptr<UpstreamNote> note) {
    if (inner == nullptr) {
        return nullptr;
    }
    return std::make_unique<UpstreamSocket>(std::move(inner), rules, std::move(note));
}

} // namespace tarvex::search
