// The attributes of a libxml2 start-element event, read through the SaxAttributes interface.
#include "soap/libxml_attributes.h"

namespace tarvex::soap {
namespace {

// True when the UTF-16 `expected` spells the UTF-8 `actual`. ASCII is compared in place and a
// mismatch ends the comparison at once; other text is converted first.
bool sameText(std::u16string_view expected, std::string_view actual, Utf16Buffer& scratch) {
    if (expected.size() > actual.size()) {
        return false; // UTF-8 never takes fewer units than UTF-16
    }
    std::size_t i = 0;
    for (; i < actual.size(); ++i) {
        const auto byte = static_cast<unsigned char>(actual[i]);
        if (byte >= 0x80) {
            break;
        }
        if (i >= expected.size() || expected[i] != byte) {
            return false;
        }
    }
    if (i == actual.size()) {
        return i == expected.size();
    }
    scratch.clear();
    scratch.appendUtf8(actual);
    return scratch.view() == expected;
}

// The same for a NUL-terminated name, without measuring it first.
bool sameName(std::u16string_view expected, Utf8 actual, Utf16Buffer& scratch) {
    if (actual == nullptr) {
        return expected.empty();
    }
    for (std::size_t i = 0;; ++i) {
        const unsigned byte = actual[i];
        if (byte >= 0x80) {
            return sameText(expected, utf8View(actual), scratch);
        }
        if (byte == 0 || i >= expected.size()) {
            return byte == 0 && i == expected.size();
        }
        if (expected[i] != byte) {
            return false;
        }
    }
}

} // namespace

void LibxmlAttributes::reset(int count, const xmlChar** attributes) {
    m_count = count;
    m_raw = attributes;
    if (m_converted.size() < static_cast<std::size_t>(count)) {
        m_converted.resize(static_cast<std::size_t>(count));
    }
    for (int i = 0; i < count; ++i) {
        m_converted[static_cast<std::size_t>(i)].ready = false;
    }
}

HResult LibxmlAttributes::valueByName(std::u16string_view uri, std::u16string_view local,
                                      std::u16string_view& value) const {
    for (int i = 0; i < m_count; ++i) {
        const xmlChar** a = raw(i);
        if (sameName(local, a[0], m_scratch) && sameName(uri, a[2], m_scratch)) {
            return this->value(i, value);
        }
    }
    return kInvalidArg;
}

HResult LibxmlAttributes::valueByQName(std::u16string_view qname,
                                       std::u16string_view& value) const {
    for (int i = 0; i < m_count; ++i) {
        const xmlChar** a = raw(i);
        bool match = false;
        if (a[1] == nullptr) {
            match = sameName(qname, a[0], m_scratch);
        } else {
            const std::size_t colon = qname.find(u':');
            match = colon != std::u16string_view::npos &&
                    sameName(qname.substr(0, colon), a[1], m_scratch) &&
                    sameName(qname.substr(colon + 1), a[0], m_scratch);
        }
        if (match) {
            return this->value(i, value);
        }
    }
    return kInvalidArg;
}

HResult LibxmlAttributes::name(int index, std::u16string_view& uri, std::u16string_view& local,
                               std::u16string_view& qname) const {
    if (index < 0 || index >= m_count) {
        return kInvalidArg;
    }
    const Converted& c = convert(index);
    uri = c.uri.view();
    local = c.qname.view().substr(c.localOffset);
    qname = c.qname.view();
    return kOk;
}

HResult LibxmlAttributes::value(int index, std::u16string_view& value) const {
    if (index < 0 || index >= m_count) {
        return kInvalidArg;
    }
    value = convert(index).value.view();
    return kOk;
}

const LibxmlAttributes::Converted& LibxmlAttributes::convert(int index) const {
    Converted& c = m_converted[static_cast<std::size_t>(index)];
    if (!c.ready) {
        const xmlChar** a = raw(index);
        c.uri.clear();
        c.qname.clear();
        c.value.clear();
        c.uri.appendUtf8(utf8View(a[2]));
        if (a[1] != nullptr) {
            c.qname.appendUtf8(utf8View(a[1]));
            c.qname.append(u':');
        }
        c.localOffset = c.qname.size();
        c.qname.appendUtf8(utf8View(a[0]));
        c.value.appendUtf8(utf8View(a[3], a[4]));
        c.ready = true;
    }
    return c;
}

} // namespace tarvex::soap
