#include "service/upstream_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

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

// Name lookups still running, each on a thread of its own; past the bound a lookup is refused.
std::atomic<int> pendingLookups{0};
constexpr int kMaxPendingLookups = 32;

struct Lookup {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    bool found = false;
    in_addr address{};
};

enum class Resolved { Found, Unknown, TimedOut };

// getaddrinfo() has no time limit of its own and a resolver that does not answer holds it for
// many seconds, so it runs on a thread of its own that the caller stops waiting for at the
// deadline; the thread ends with the lookup and frees what it shares.
Resolved resolve(const std::string& host, http::Socket::Deadline deadline, in_addr& address) {
    if (pendingLookups.fetch_add(1) >= kMaxPendingLookups) {
        pendingLookups.fetch_sub(1);
        return Resolved::TimedOut;
    }
    const auto lookup = std::make_shared<Lookup>();
    try {
        std::thread{[lookup, host] {
            addrinfo hints{};
            hints.ai_family = AF_INET;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_protocol = IPPROTO_TCP;
            addrinfo* found = nullptr;
            const bool ok =
                ::getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0 && found != nullptr;
            {
                const std::lock_guard hold{lookup->lock};
                if (ok) {
                    lookup->address =
                        reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
                }
                lookup->found = ok;
                lookup->finished = true;
            }
            if (found != nullptr) {
                ::freeaddrinfo(found);
            }
            lookup->done.notify_all();
            pendingLookups.fetch_sub(1);
        }}.detach();
    } catch (const std::system_error&) {
        pendingLookups.fetch_sub(1);
        return Resolved::TimedOut;
    }
    std::unique_lock hold{lookup->lock};
    if (!lookup->done.wait_until(hold, deadline, [&lookup] { return lookup->finished; })) {
        return Resolved::TimedOut;
    }
    address = lookup->address;
    return lookup->found ? Resolved::Found : Resolved::Unknown;
}

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
            switch (resolve(host, m_rules.deadline, address)) {
            case Resolved::Found:
                break;
            case Resolved::Unknown:
                m_note->unknownHost = true;
                return kFail;
            case Resolved::TimedOut:
                m_note->lookupTimedOut = true;
                return kFail;
            }
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
