#include "service/searxng_reader.h"
#include "service/upstream_engine.h"

namespace tarvex::search {
namespace {

class SearxngEngine final : public UpstreamEngine {
public:
    explicit SearxngEngine(std::string_view baseUrl) : m_base(baseUrl) {
        while (m_base.ends_with('/')) {
            m_base.pop_back();
        }
    }

    [[nodiscard]] std::string pageUrl(const PageRequest& request) const override {
        // Safe search on asks for SearXNG's strict level, which leaves out adult content.
        std::string url = m_base + "/search?q=" + percentEncoded(request.query) +
                          "&format=json&pageno=" + std::to_string(request.page) +
                          "&safesearch=" + (request.safeSearch ? "2" : "0");
        if (!request.language.empty()) {
            url += "&language=" + percentEncoded(request.language);
        }
        return url;
    }

    [[nodiscard]] std::optional<UpstreamPage> read(std::string_view body,
                                                   std::string& error) const override {
        return readSearxngAnswer(body, error);
    }

    [[nodiscard]] bool pages() const override { return true; }
    [[nodiscard]] bool spells() const override { return true; }
    [[nodiscard]] const char* accept() const override { return "application/json"; }

private:
    std::string m_base;
};

} // namespace

std::unique_ptr<UpstreamEngine> makeSearxngEngine(std::string_view baseUrl) {
    return std::make_unique<SearxngEngine>(baseUrl);
}

} // namespace tarvex::search
