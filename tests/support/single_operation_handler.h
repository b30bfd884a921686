#pragma once

#include "soap/soap_message_handler.h"

#include <cstdint>
#include <string_view>

namespace tarvex::test {

// A message handler for tests: one operation, its header map and a header record of type
// Headers, with the default namespace "urn:default".
template <class Headers>
class SingleOperationHandler final : public soap::SoapMessageHandler {
public:
    SingleOperationHandler(MemoryManager& memory, bool client, const soap::SoapMap& operation,
                           const soap::SoapMap& headerMap)
        : SoapMessageHandler(memory, client), m_functions{&operation, nullptr}, m_headers{
                                                                                    &headerMap,
                                                                                    nullptr} {}

    const soap::SoapMap* const* functionMaps() const override { return m_functions; }
    const soap::SoapMap* const* headerMaps() const override { return m_headers; }
    const char16_t* serviceNamespace() const override { return u"urn:default"; }
    const char* defaultNamespace() const override { return "urn:default"; }
    void* headerRecord() override { return &headers; }
    void faultHook(std::int32_t code, std::u16string_view /*uri*/,
                   std::u16string_view /*local*/) override {
        faultCode = code;
    }

    // Client: the first state holds the header map and the operation index.
    HResult beginClientCall(void* record) {
        setParameterRecord(record);
        clearStates();
        return pushState(
            {.target = &headers, .map = m_headers[0], .expected = m_headers[0]->elementCount});
    }

    HResult writeRequest(void* record, soap::OutputSink& sink) {
        const HResult pushed = beginClientCall(record);
        return failed(pushed) ? pushed : generateRequest(sink);
    }

    // Server: the first state is the operation state.
    HResult writeResponse(void* record, soap::OutputSink& sink) {
        clearStates();
        const HResult pushed = pushState({.target = record, .map = m_functions[0], .expected = 1});
        return failed(pushed) ? pushed : generateRequest(sink);
    }

    Headers headers{};
    std::int32_t faultCode = 0;

private:
    const soap::SoapMap* m_functions[2];
    const soap::SoapMap* m_headers[2];
};

} // namespace tarvex::test
