// The response reader fed through the TLS socket reads every answer exactly as it reads the same
// bytes from a plain source: the fuzz corpus of HTTP answers and hostile ones, at several block
// sizes, whatever the TLS records cut them into.
#include "http/http_response.h"
#include "http/tls_socket.h"
#include "support/hostile_answers.h"
#include "support/scripted_server.h"
#include "support/tls_test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tarvex::http {
namespace {

using test::ScriptedServer;
using test::TlsTestServer;

const test::TestCertificates& certificates() {
    static const test::TestCertificates made;
    return made;
}

class Script final : public ByteSource {
public:
    explicit Script(std::string bytes) : m_bytes(std::move(bytes)) {}
    HResult receive(char* buffer, std::size_t capacity, std::size_t& count) override {
        count = std::min(capacity, m_bytes.size() - m_at);
        std::memcpy(buffer, m_bytes.data() + m_at, count);
        m_at += count;
        return kOk;
    }

private:
    std::string m_bytes;
    std::size_t m_at = 0;
};

struct Read {
    ReadResult result;
    std::int32_t status;
    std::string body;
};

Read readPlain(const std::string& answer, std::size_t blockSize) {
    Script source{answer};
    HttpResponse response;
    const ReadResult result = readResponse(source, response, blockSize);
    return {result, response.status, response.body};
}

// The answer sent in `pieces` parts (one TLS record or more each) and read through a TLS socket.
Read readOverTls(const std::string& answer, std::size_t blockSize, std::size_t pieces = 1) {
    ScriptedServer::Answer scripted;
    const std::size_t step = std::max<std::size_t>(1, answer.size() / pieces);
    for (std::size_t at = 0; at < answer.size(); at += step) {
        scripted.pieces.push_back({answer.substr(at, step)});
    }
    TlsTestServer server{TlsTestServer::Behaviour::Serve, certificates().good(), {scripted}};
    std::string error;
    auto socket =
        createTlsSocket(createSocket(), TlsTrust::create(certificates().authority(), error));
    EXPECT_FALSE(failed(socket->connect("127.0.0.1", server.port())));
    std::size_t sent = 0;
    EXPECT_FALSE(failed(socket->send({"GET / HTTP/1.1\r\nHost: x\r\n\r\n"}, sent)));
    HttpResponse response;
    const ReadResult result = readResponse(*socket, response, blockSize);
    return {result, response.status, response.body};
}

void expectSame(const std::string& answer, const std::string& name) {
    for (const std::size_t blockSize : {std::size_t{1}, std::size_t{3}, std::size_t{4096}}) {
        for (const std::size_t pieces : {std::size_t{1}, std::size_t{7}}) {
            const Read plain = readPlain(answer, blockSize);
            const Read secure = readOverTls(answer, blockSize, pieces);
            EXPECT_EQ(secure.result, plain.result) << name << " block " << blockSize;
            EXPECT_EQ(secure.status, plain.status) << name << " block " << blockSize;
            EXPECT_EQ(secure.body, plain.body) << name << " block " << blockSize;
        }
    }
}

TEST(TlsAnswerTest, TheFuzzCorpusReadsAlikeOverTls) {
    const std::filesystem::path corpus =
        std::filesystem::path{TARVEX_TEST_DIR} / "fuzz/corpus/http_response_fuzz";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator{corpus}) {
        std::ifstream in{entry.path(), std::ios::binary};
        const std::string input{std::istreambuf_iterator<char>{in}, {}};
        ASSERT_FALSE(input.empty());
        // The first byte of a fuzz input chooses its piece size; the rest is the answer.
        expectSame(input.substr(1), entry.path().filename().string());
        ++files;
    }
    EXPECT_GT(files, 0);
}

TEST(TlsAnswerTest, HostileAnswersFailOverTlsAsTheyDoInTheClear) {
    const std::string tooManyLines = "HTTP/1.1 200 OK\r\n" +
                                     test::shortHeaderLines(0, kMaxHeaderLines + 1) +
                                     "Content-Length: 2\r\n\r\nok";
    expectSame(tooManyLines, "too many header lines");
    expectSame("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFF\r\nx",
               "huge chunk size");
    expectSame("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort", "cut body");
    expectSame("HTTP/1.1 200 OK\r\n\r\n" + std::string(30000, 'b'), "body to the end");
    expectSame("NOT HTTP AT ALL\r\n\r\n", "no status line");
}

// The server's close ends a body that runs to the end; one with a length still fails when cut
// short.
TEST(TlsAnswerTest, TheServersCloseEndsOnlyABodyWithoutLength) {
    EXPECT_EQ(readOverTls("HTTP/1.1 200 OK\r\n\r\nall", 4096).result, ReadResult::Done);
    EXPECT_EQ(readOverTls("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nall", 4096).result,
              ReadResult::BodyReadFailed);
}

} // namespace
} // namespace tarvex::http
