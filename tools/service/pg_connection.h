#pragma once

#include <libpq-fe.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::search {

struct PgResultClear {
    void operator()(PGresult* result) const { PQclear(result); }
};
using PgResult = std::unique_ptr<PGresult, PgResultClear>;

// One session with a PostgreSQL server. Statements go with their values as separate
// parameters, so no text from outside ever enters the SQL. One thread at a time.
// Which server of a connection string's hosts a session is on: whichever answers first, one
// that takes writes (a primary), or a standby where one answers (reads).
enum class SessionKind { Any, ReadWrite, PreferStandby };

class PgConnection {
public:
    // How long a connection attempt may take when the connection string does not say.
    static constexpr const char* kConnectTimeoutSeconds = "3";
    // How long a session serving a request waits for a statement's answer: below the 10 s a
    // client waits, so that it hears a fault rather than a timeout.
    static constexpr std::chrono::milliseconds kRequestAnswerTimeout{8000};

    // Throws std::runtime_error with libpq's message when the server cannot be reached. A kind
    // other than Any sets target_session_attrs, whatever the string says.
    explicit PgConnection(const std::string& conninfo, SessionKind kind = SessionKind::Any);

    // Runs `sql` with `parameters` as $1, $2, ... (text, no zero bytes). A session lost outside
    // a transaction is opened again and the statement run once more; BackendError ("database
    // unavailable: ...") when no server answers or the session was lost inside a transaction,
    // std::runtime_error with the server's message when the statement fails.
    PgResult execute(std::string_view sql, const std::vector<std::string>& parameters = {});

    // From now on a statement whose answer takes longer than `timeout` (zero: no bound, the
    // default) closes the session and throws BackendError ("database unavailable: ..."): a
    // server that stopped answering, or a host that went away without a word.
    void setAnswerTimeout(std::chrono::milliseconds timeout) { m_answerTimeout = timeout; }

    // Whether the session is still usable; a broken one can be reset.
    [[nodiscard]] bool healthy() const;
    void reset();

private:
    // Sends the statement and waits for its last result within the answer timeout; a null
    // result when the session failed.
    PgResult run(const std::string& statement, const std::vector<const char*>& values,
                 const std::vector<int>& lengths);

    struct Finish {
        void operator()(PGconn* connection) const { PQfinish(connection); }
    };
    std::unique_ptr<PGconn, Finish> m_connection;
    std::chrono::milliseconds m_answerTimeout{0};
};

// A field of a result row as text (empty for NULL).
[[nodiscard]] std::string_view pgText(const PGresult* result, int row, int column);

} // namespace tarvex::search
