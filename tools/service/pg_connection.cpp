#include "service/pg_connection.h"

#include "service/search_backend.h"

#include <array>
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
    const auto run = [&] {
        PgResult result{PQexecParams(m_connection.get(), statement.c_str(),
                                     static_cast<int>(values.size()), nullptr, values.data(),
                                     lengths.data(), nullptr, 0)};
        const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        return std::pair{std::move(result),
                         status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK};
    };
    auto [result, done] = run();
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
        std::tie(result, done) = run();
        if (!done && !healthy()) {
            throw BackendError(message(m_connection.get(), "database unavailable"));
        }
    }
    if (!done) {
        throw std::runtime_error(message(m_connection.get(), "database statement failed"));
    }
    return std::move(result);
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
