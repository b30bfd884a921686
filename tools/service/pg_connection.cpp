#include "service/pg_connection.h"

#include "service/search_backend.h"

#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <limits>
#include <stdexcept>
#include <tuple>
#include <utility>

namespace tarvex::search {
namespace {

// The server's notices (a query without words, a word too long to index) are no faults, and
// libpq would print them on standard error.
void ignoreNotice(void* /*context*/, const char* /*message*/) {}

std::string message(const PGconn* connection, std::string_view what) {
    std::string text = PQerrorMessage(connection);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return std::string{what} + ": " + text;
}

} // namespace

PgConnection::PgConnection(const std::string& conninfo, SessionKind kind) {
    // The connection string is expanded in place of dbname; what it names overrides the
    // timeout given before it, so the default only applies when it names none, and the session
    // kind given after it wins.
    const char* attributes = kind == SessionKind::ReadWrite       ? "read-write"
                             : kind == SessionKind::PreferStandby ? "prefer-standby"
                                                                  : nullptr;
    const std::array<const char*, 4> keywords{
        "connect_timeout", "dbname", attributes != nullptr ? "target_session_attrs" : nullptr,
        nullptr};
    const std::array<const char*, 4> values{kConnectTimeoutSeconds, conninfo.c_str(), attributes,
                                            nullptr};
    m_connection.reset(PQconnectdbParams(keywords.data(), values.data(), 1));
    if (!m_connection) {
        throw std::runtime_error("cannot connect to the database: out of memory");
    }
    if (PQstatus(m_connection.get()) != CONNECTION_OK) {
        throw std::runtime_error(message(m_connection.get(), "cannot connect to the database"));
    }
    PQsetNoticeProcessor(m_connection.get(), ignoreNotice, nullptr);
}

PgResult PgConnection::execute(std::string_view sql, const std::vector<std::string>& parameters) {
    if (parameters.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw std::runtime_error("too many parameters for one statement");
    }
    std::vector<const char*> values;
    std::vector<int> lengths;
    values.reserve(parameters.size());
    lengths.reserve(parameters.size());
    for (const std::string& parameter : parameters) {
        if (parameter.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
            throw std::runtime_error("a statement parameter is too long");
        }
        // The server would read a text parameter only up to its first zero byte.
        if (parameter.find('\0') != std::string::npos) {
            throw std::runtime_error("a statement parameter holds a zero byte");
        }
        values.push_back(parameter.c_str());
        lengths.push_back(static_cast<int>(parameter.size()));
    }
    const std::string statement{sql};
    // Inside a transaction a new session would run the statement on its own, and a COMMIT there
    // would report as done what the server threw away: the loss is a fault the caller sees.
    const PGTransactionStatusType before = PQtransactionStatus(m_connection.get());
    const bool inTransaction = before == PQTRANS_INTRANS || before == PQTRANS_INERROR;
    const auto attempt = [&] {
        PgResult result = run(statement, values, lengths);
        const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        return std::pair{std::move(result),
                         status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK};
    };
    auto [result, done] = attempt();
    if (!done && !healthy() && inTransaction) {
        throw BackendError(message(m_connection.get(), "database unavailable"));
    }
    if (!done && !healthy()) {
        // The session was lost (a server restarted, a host went away): once more on a new one,
        // which libpq opens on the first host of the list that answers.
        reset();
        if (!healthy()) {
            throw BackendError(message(m_connection.get(), "database unavailable"));
        }
        std::tie(result, done) = attempt();
        if (!done && !healthy()) {
            throw BackendError(message(m_connection.get(), "database unavailable"));
        }
    }
    if (!done) {
        throw std::runtime_error(message(m_connection.get(), "database statement failed"));
    }
    return std::move(result);
}

PgResult PgConnection::run(const std::string& statement, const std::vector<const char*>& values,
                           const std::vector<int>& lengths) {
    PGconn* connection = m_connection.get();
    // Without blocking, a server that stops reading cannot hold up the sending either.
    if (PQsetnonblocking(connection, 1) != 0 ||
        PQsendQueryParams(connection, statement.c_str(), static_cast<int>(values.size()), nullptr,
                          values.data(), lengths.data(), nullptr, 0) == 0) {
        return PgResult{};
    }
    const auto deadline = std::chrono::steady_clock::now() + m_answerTimeout;
    // Waits until the socket is ready for `events`; false once the deadline has passed.
    const auto ready = [&](short events) {
        for (;;) {
            int wait = -1;
            if (m_answerTimeout.count() > 0) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) {
                    return false;
                }
                wait = static_cast<int>(left.count());
            }
            pollfd descriptor{PQsocket(connection), events, 0};
            const int polled = ::poll(&descriptor, 1, wait);
            if (polled > 0 || (polled < 0 && errno != EINTR)) {
                return true; // ready, or a failure the next libpq call reports
            }
        }
    };
    bool answered = true;
    int flushing = 0;
    while ((flushing = PQflush(connection)) == 1) {
        if (!ready(POLLIN | POLLOUT)) {
            answered = false;
            break;
        }
        if (PQconsumeInput(connection) == 0) {
            break;
        }
    }
    while (answered && flushing == 0 && PQisBusy(connection) != 0) {
        if (!ready(POLLIN)) {
            answered = false;
        } else if (PQconsumeInput(connection) == 0) {
            break; // the session failed: PQgetResult says how
        }
    }
    if (!answered) {
        // The session can no longer be trusted with anything: closing it makes it broken for
        // libpq, so the pool opens it again before its next use.
        ::shutdown(PQsocket(connection), SHUT_RDWR);
        static_cast<void>(PQconsumeInput(connection));
        while (PgResult{PQgetResult(connection)}) {
        }
        throw BackendError("database unavailable: no answer within " +
                           std::to_string(m_answerTimeout.count()) + " ms");
    }
    // The last result is the statement's; earlier ones (none for one statement) are dropped.
    PgResult last;
    while (PGresult* next = PQgetResult(connection)) {
        last.reset(next);
    }
    return last;
}

bool PgConnection::healthy() const {
    return PQstatus(m_connection.get()) == CONNECTION_OK;
}

void PgConnection::reset() {
    PQreset(m_connection.get());
}

std::string_view pgText(const PGresult* result, int row, int column) {
    if (PQgetisnull(result, row, column) != 0) {
        return {};
    }
    return {PQgetvalue(result, row, column),
            static_cast<std::size_t>(PQgetlength(result, row, column))};
}

} // namespace tarvex::search
