// The response parser on small maps of its own: fixed arrays, arrays of XSD values with nil
// items, enumerations, headers, arrays of unknown size, Chain, and a server reading a request.
// Every message is parsed whole and in pieces of every size from 1 to 64 bytes, and must give
// the same result each time.
#include "base/sys_string.h"
#include "soap/byte_stream.h"
#include "soap/record_walk.h"
#include "soap/sax_reader.h"
#include "soap/soap_message_handler.h"
#include "soap/xsd_types.h"
#include "support/outcome_text.h"
#include "support/piecewise.h"
#include "support/single_operation_handler.h"
#include "support/test_sinks.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <iterator>
#include <string>

namespace tarvex::soap {
namespace {

constexpr std::uint32_t kRpc = SoapFlag::Rpc | SoapFlag::Encoded;
constexpr std::uint32_t kOutArray = SoapFlag::Out | SoapFlag::DynamicArray | SoapFlag::Nullable;

constexpr SoapMapEntry kColorEntries[] = {
    soapEntry("red", u"red", static_cast<XsdType>(0), 0, 0),
    soapEntry("blue", u"blue", static_cast<XsdType>(5), 0, 0),
    endOfEntries(),
};
constexpr SoapMap kColorMap = soapMap("Color", u"Color", SoapMapKind::Enum, kColorEntries, 4, 0);

struct Point {
    std::int32_t x;
    std::int32_t y;
};
constexpr SoapMapEntry kPointEntries[] = {
    soapEntry("x", u"x", XsdType::Int, SoapFlag::Member, offsetof(Point, x)),
    soapEntry("y", u"y", XsdType::Int, SoapFlag::Member | SoapFlag::Nullable, offsetof(Point, y)),
    endOfEntries(),
};
constexpr SoapMap kPointMap =
    soapMap("Point", u"Point", SoapMapKind::Struct, kPointEntries, sizeof(Point), 2);

constexpr std::int32_t kGridDimensions[] = {2, 2, 3};

struct MeasureParams {
    SysString unit; // in
    std::int32_t grid[2][3];
    SysString* labels;
    std::int32_t labelCount;
    std::int32_t* colors;
    std::int32_t colorCount;
    std::int32_t color;
    XsdBinary blob;
    Point point;
};

constexpr SoapMapEntry kMeasureEntries[] = {
    soapEntry("unit", u"unit", XsdType::String, SoapFlag::In, offsetof(MeasureParams, unit)),
    soapEntry("grid", u"grid", XsdType::Int, SoapFlag::Out | SoapFlag::FixedArray,
              offsetof(MeasureParams, grid), {nullptr, -1, kGridDimensions}),
    soapEntry("labels", u"labels", XsdType::String, kOutArray, offsetof(MeasureParams, labels),
              {nullptr, 3}),
    soapEntry("labels", u"labels", XsdType::Int, SoapFlag::Out | SoapFlag::SizeOnly,
              offsetof(MeasureParams, labelCount)),
    soapEntry("colors", u"colors", XsdType::User, kOutArray, offsetof(MeasureParams, colors),
              {&kColorMap, 5}),
    soapEntry("colors", u"colors", XsdType::Int, SoapFlag::Out | SoapFlag::SizeOnly,
              offsetof(MeasureParams, colorCount)),
    soapEntry("color", u"color", XsdType::User, SoapFlag::Out, offsetof(MeasureParams, color),
              {&kColorMap}),
    soapEntry("blob", u"blob", XsdType::Base64Binary, SoapFlag::Out | SoapFlag::Nullable,
              offsetof(MeasureParams, blob)),
    soapEntry("point", u"point", XsdType::User, SoapFlag::Out | SoapFlag::Nullable,
              offsetof(MeasureParams, point), {&kPointMap}),
    endOfEntries(),
};
constexpr SoapMap kMeasureMap =
    soapMap("measure", u"measure", SoapMapKind::Function, kMeasureEntries, sizeof(MeasureParams), 6,
            MapOptions{kRpc, "urn:m", u"urn:m"});

struct SessionHeaders {
    SysString session;
    std::int32_t trace;
};
constexpr SoapMapEntry kHeaderEntries[] = {
    soapEntry("session", u"session", XsdType::String, SoapFlag::Out,
              offsetof(SessionHeaders, session)),
    soapEntry("trace", u"trace", XsdType::Int, SoapFlag::In, offsetof(SessionHeaders, trace)),
    endOfEntries(),
};
constexpr SoapMap kMeasureHeaderMap =
    soapMap("measure", u"measure", SoapMapKind::Header, kHeaderEntries, sizeof(SessionHeaders), 1,
            MapOptions{kRpc, "urn:m", u"urn:m"});

// Document style: arrays may come without a size.
struct ListParams {
    std::int32_t* values;
    std::int32_t valueCount;
};
constexpr SoapMapEntry kListEntries[] = {
    soapEntry("values", u"values", XsdType::Int, kOutArray, offsetof(ListParams, values),
              {nullptr, 1}),
    soapEntry("values", u"values", XsdType::Int, SoapFlag::Out | SoapFlag::SizeOnly,
              offsetof(ListParams, valueCount)),
    endOfEntries(),
};
constexpr SoapMap kListMap =
    soapMap("list", u"list", SoapMapKind::Function, kListEntries, sizeof(ListParams), 1,
            MapOptions{SoapFlag::ParamsAsDocument, "urn:l", u"urn:l"});

// Chain: the response's elements are the members of the returned structure.
struct WhereParams {
    Point where;
};
constexpr SoapMapEntry kWhereEntries[] = {
    soapEntry("where", u"where", XsdType::User, SoapFlag::Out, offsetof(WhereParams, where),
              {&kPointMap}),
    endOfEntries(),
};
constexpr SoapMap kWhereMap =
    soapMap("where", u"where", SoapMapKind::Function, kWhereEntries, sizeof(WhereParams), 1,
            MapOptions{kRpc | SoapFlag::Chain, "urn:w", u"urn:w"});

constexpr SoapMapEntry kNoEntries[] = {endOfEntries()};
constexpr SoapMap kNoHeaders = soapMap("any", u"any", SoapMapKind::Header, kNoEntries, 0, 0,
                                       MapOptions{kRpc, "urn:m", u"urn:m"});

using TestHandler = test::SingleOperationHandler<SessionHeaders>;

// Every member of the records, to compare one parse with another.
std::string recordText(const MeasureParams& p) {
    std::string text = "unit=" + test::utf16Text(p.unit) + " grid=";
    for (const auto& row : p.grid) {
        for (const std::int32_t value : row) {
            text += std::to_string(value) + ",";
        }
    }
    text += " labels(" + std::to_string(p.labelCount) + ")=";
    for (std::int32_t i = 0; p.labels != nullptr && i < p.labelCount; ++i) {
        text += test::utf16Text(p.labels[i]) + ",";
    }
    text += " colors(" + std::to_string(p.colorCount) + ")=";
    for (std::int32_t i = 0; p.colors != nullptr && i < p.colorCount; ++i) {
        text += std::to_string(p.colors[i]) + ",";
    }
    text += " color=" + std::to_string(p.color) + " blob(" + std::to_string(p.blob.size) + ")=";
    for (std::int32_t i = 0; p.blob.data != nullptr && i < p.blob.size; ++i) {
        text += std::to_string(p.blob.data[i]) + ",";
    }
    return text + " point=" + std::to_string(p.point.x) + "," + std::to_string(p.point.y);
}

std::string recordText(const ListParams& p) {
    std::string text = "values(" + std::to_string(p.valueCount) + ")=";
    for (std::int32_t i = 0; p.values != nullptr && i < p.valueCount; ++i) {
        text += std::to_string(p.values[i]) + ",";
    }
    return text;
}

std::string recordText(const WhereParams& p) {
    return "where=" + std::to_string(p.where.x) + "," + std::to_string(p.where.y);
}

std::string envelope(const std::string& body, const std::string& header = "") {
    return R"(<e:Envelope xmlns:e="http://schemas.xmlsoap.org/soap/envelope/" )"
           R"(xmlns:enc="http://schemas.xmlsoap.org/soap/encoding/" )"
           R"(xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">)" +
           header + "<e:Body>" + body + "</e:Body></e:Envelope>";
}

const std::string kGrid =
    R"(<grid enc:arrayType="xsd:int[2,3]"><i>1</i><i>2</i><i>3</i><i>4</i><i>5</i><i>-6</i></grid>)";

class GenericParserTest : public ::testing::Test {
protected:
    // Parses a response to `operation` into `record` the way the proxy does, releasing on failure.
    // First the message is parsed whole and in every piece size into fresh records, which must
    // come out the same; the allocation count is set back before each parse, so that an
    // allocation set to fail fails in each.
    template <class Record>
    HResult parse(const SoapMap& operation, const std::string& xml, Record& record,
                  TestHandler* use = nullptr, const SoapMap& headerMap = kNoHeaders) {
        const int allocations = m_memory.allocations;
        EXPECT_TRUE(test::sameWholeAndInPieces(xml, [&](ByteStream& stream) {
            m_memory.allocations = allocations;
            TestHandler handler{m_memory, true, operation, headerMap};
            Record fresh{};
            const HResult status = parseInto(handler, stream, fresh, headerMap);
            std::string outcome =
                test::statusText(status) + " fault=" + std::to_string(handler.faultCode) +
                " session=" + test::utf16Text(handler.headers.session) + " " + recordText(fresh);
            if (!failed(status)) {
                releaseRecord(operation, &fresh, m_memory,
                              [](const SoapMapEntry&) { return true; });
                sysFreeString(handler.headers.session);
            }
            return outcome;
        }));
        m_memory.allocations = allocations;
        TestHandler own{m_memory, true, operation, headerMap};
        TestHandler& handler = use != nullptr ? *use : own;
        MemoryStream stream{xml};
        return parseInto(handler, stream, record, headerMap);
    }

    template <class Record>
    HResult parseInto(TestHandler& handler, ByteStream& stream, Record& record,
                      const SoapMap& headerMap) {
        handler.setParameterRecord(&record);
        EXPECT_EQ(handler.pushState({.target = &handler.headers,
                                     .map = &headerMap,
                                     .expected = headerMap.elementCount}),
                  kOk);
        const HResult status = handler.beginParse(*m_reader, stream);
        if (failed(status)) {
            handler.cleanup();
        }
        handler.clearStates();
        return status;
    }

    void releaseMeasure(MeasureParams& params) {
        releaseRecord(kMeasureMap, &params, m_memory, [](const SoapMapEntry&) { return true; });
    }

    void TearDown() override { EXPECT_EQ(m_memory.outstanding, 0); }

    test::CountingMemory m_memory;
    std::unique_ptr<SaxReader> m_reader = createSaxReader();
};

TEST_F(GenericParserTest, EveryArrayFormAndEnumerations) {
    MeasureParams params{};
    const std::string xml = envelope(
        R"(<m:measureResponse xmlns:m="urn:m">)" + kGrid +
        R"(<labels enc:arrayType="xsd:string[3]"><s>a&amp;b</s><s xsi:nil="true"/><s></s></labels>)"
        R"(<colors enc:arrayType="m:Color[2]"><c>blue</c><c>red</c></colors><color>blue</color>)"
        "<blob>QUJD</blob><point><x>7</x><y>8</y></point></m:measureResponse>");
    ASSERT_EQ(parse(kMeasureMap, xml, params), kOk);
    EXPECT_EQ(params.grid[0][0], 1);
    EXPECT_EQ(params.grid[1][2], -6);
    ASSERT_EQ(params.labelCount, 3) << "a nil item takes its slot";
    EXPECT_EQ(sysStringView(params.labels[0]), u"a&b");
    EXPECT_EQ(params.labels[1], nullptr);
    ASSERT_NE(params.labels[2], nullptr);
    EXPECT_EQ(sysStringLen(params.labels[2]), 0U);
    ASSERT_EQ(params.colorCount, 2);
    EXPECT_EQ(params.colors[0], 5);
    EXPECT_EQ(params.colors[1], 0);
    EXPECT_EQ(params.color, 5);
    ASSERT_EQ(params.blob.size, 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(params.blob.data), 3), "ABC");
    EXPECT_EQ(params.point.x, 7);
    releaseMeasure(params);
}

TEST_F(GenericParserTest, FixedArraysAndEnumerationsAreChecked) {
    const std::string rest = "<color>red</color></m:r>";
    const std::string open = R"(<m:r xmlns:m="urn:m">)";
    MeasureParams params{};
    const std::string sixItems = "<i>1</i><i>2</i><i>3</i><i>4</i><i>5</i><i>6</i>";
    EXPECT_EQ(parse(kMeasureMap,
                    envelope(open + R"(<grid enc:arrayType="xsd:int[3,2]">)" + sixItems +
                             "</grid>" + rest),
                    params),
              kOk)
        << "3 x 2 is six items too";
    EXPECT_EQ(parse(kMeasureMap, envelope(open + "<grid>" + sixItems + "</grid>" + rest), params),
              kOk)
        << "a fixed array needs no arrayType";
    EXPECT_EQ(parse(kMeasureMap,
                    envelope(open + R"(<grid enc:arrayType="xsd:int[6]">)" + sixItems +
                             "<i>7</i></grid>" + rest),
                    params),
              kFail)
        << "one item too many";
    EXPECT_EQ(
        parse(kMeasureMap, envelope(open + R"(<grid enc:arrayType="xsd:int[5]"/>)" + rest), params),
        kFail);
    EXPECT_EQ(parse(kMeasureMap, envelope(open + kGrid + "<color>green</color></m:r>"), params),
              kFail)
        << "no such enumerator";
    EXPECT_EQ(parse(kMeasureMap, envelope(open + kGrid + "<color> red</color></m:r>"), params),
              kFail);
    EXPECT_EQ(parse(kMeasureMap, envelope(open + kGrid + "<color></color></m:r>"), params), kFail);
    EXPECT_EQ(parse(kMeasureMap, envelope(open + kGrid + "<unit>u</unit>" + rest), params), kFail)
        << "an in-parameter does not come back";
}

TEST_F(GenericParserTest, HeadersKnownUnknownAndRequired) {
    TestHandler handler{m_memory, true, kMeasureMap, kMeasureHeaderMap};
    MeasureParams params{};
    const std::string body = R"(<m:r xmlns:m="urn:m">)" + kGrid + "<color>red</color></m:r>";
    ASSERT_EQ(parse(kMeasureMap,
                    envelope(body, "<e:Header><session>s1</session><other><x/></other></e:Header>"),
                    params, &handler, kMeasureHeaderMap),
              kOk);
    EXPECT_EQ(sysStringView(handler.headers.session), u"s1");
    handler.setParameterRecord(&params);
    sysFreeString(handler.headers.session);
    handler.headers.session = nullptr;

    EXPECT_EQ(parse(kMeasureMap, envelope(body, "<e:Header></e:Header>"), params, &handler,
                    kMeasureHeaderMap),
              kFail)
        << "the session header is required";
    EXPECT_EQ(
        parse(kMeasureMap,
              envelope(body,
                       R"(<e:Header><session>s</session><o e:mustUnderstand="true"/></e:Header>)"),
              params, &handler, kMeasureHeaderMap),
        kFail);
    EXPECT_EQ(handler.faultCode, 200);
    EXPECT_EQ(handler.headers.session, nullptr) << "released after the failure";
    EXPECT_EQ(
        parse(kMeasureMap,
              envelope(body,
                       R"(<e:Header><session>s</session><o e:mustUnderstand="maybe"/></e:Header>)"),
              params, &handler, kMeasureHeaderMap),
        kFail);
}

TEST_F(GenericParserTest, ArraysOfUnknownSizeGrow) {
    std::string items;
    for (int i = 0; i < 25; ++i) {
        items += "<v>" + std::to_string(i * i) + "</v>";
    }
    ListParams params{};
    ASSERT_EQ(parse(kListMap,
                    envelope("<listResponse><values>" + items + "</values></listResponse>"),
                    params),
              kOk);
    ASSERT_EQ(params.valueCount, 25);
    EXPECT_EQ(params.values[24], 576);
    releaseRecord(kListMap, &params, m_memory, [](const SoapMapEntry&) { return true; });
}

TEST_F(GenericParserTest, ChainReadsTheStructureMembersDirectly) {
    WhereParams params{};
    ASSERT_EQ(parse(kWhereMap, envelope("<whereResponse><x>3</x><y>4</y></whereResponse>"), params),
              kOk);
    EXPECT_EQ(params.where.x, 3);
    EXPECT_EQ(params.where.y, 4);
    EXPECT_EQ(parse(kWhereMap, envelope("<whereResponse><y>4</y></whereResponse>"), params), kFail)
        << "x is required";
}

// `text` (ASCII) in UTF-16LE after its byte order mark.
std::string utf16(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

TEST_F(GenericParserTest, OnlyUtf8OrUtf16MayBeDeclared) {
    const std::string body = envelope("<listResponse><values><v>7</v></values></listResponse>");
    // The fuzz-found message (after the harness's piece-size byte): "UTF8-" and a 0xAF byte in an
    // attribute read whole but failed one byte at a time.
    std::ifstream in(std::string{TARVEX_TEST_DIR} +
                         "/fuzz/corpus/response_parser_fuzz/declared_utf8_dash_encoding",
                     std::ios::binary);
    const std::string found{std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
    ASSERT_GT(found.size(), 1U);
    const struct {
        std::string xml;
        HResult expected;
    } rows[] = {
        {found.substr(1), kFail},
        {"<?xml version='1.0' encoding='UTF8-'?>" +
             envelope("<listResponse a='\xAF'><values><v>7</v></values></listResponse>"),
         kFail},
        {R"(<?xml version="1.0" encoding="ISO-8859-1"?>)" + body, kFail},
        {R"(<?xml version="1.0" encoding="UTF-8"?>)" + body, kOk},
        {R"(<?xml version="1.0" encoding="utf8"?>)" + body, kOk},
        {R"(<?xml version="1.0"?>)" + body, kOk},
        {body, kOk},
        {utf16(R"(<?xml version="1.0" encoding="UTF-16"?>)" + body), kOk},
        {utf16(R"(<?xml version="1.0" encoding="utf-16le"?>)" + body), kOk},
    };
    for (const auto& row : rows) {
        ListParams params{};
        const HResult status = parse(kListMap, row.xml, params);
        EXPECT_EQ(status, row.expected) << row.xml.substr(0, 60);
        if (!failed(status)) {
            releaseRecord(kListMap, &params, m_memory, [](const SoapMapEntry&) { return true; });
        }
    }
}

TEST_F(GenericParserTest, EveryRefusedAllocationFailsCleanly) {
    const std::string xml =
        envelope(R"(<m:r xmlns:m="urn:m">)" + kGrid +
                 R"(<labels enc:arrayType="xsd:string[2]"><s>a</s><s>b</s></labels>)"
                 R"(<colors enc:arrayType="m:Color[1]"><c>red</c></colors><color>red</color>)"
                 "<blob>QUJD</blob></m:r>");
    // A good run first, to know how many allocations there are to refuse.
    MeasureParams good{};
    ASSERT_EQ(parse(kMeasureMap, xml, good), kOk);
    releaseMeasure(good);
    const int allocations = m_memory.allocations;
    ASSERT_EQ(allocations, 3) << "the labels, the colours and the blob";
    ASSERT_EQ(m_memory.outstanding, 0);
    for (int failAt = 0; failAt < allocations; ++failAt) {
        m_memory.failAt = failAt;
        m_memory.allocations = 0;
        MeasureParams params{};
        EXPECT_EQ(parse(kMeasureMap, xml, params), kOutOfMemory) << "allocation " << failAt;
        EXPECT_EQ(m_memory.outstanding, 0) << "allocation " << failAt;
    }
}

TEST_F(GenericParserTest, ServerFindsTheOperationByNameAndAnswers) {
    static constexpr SoapMapEntry kEchoEntries[] = {
        soapEntry("text", u"text", XsdType::String, SoapFlag::In, 0),
        soapEntry("echoed", u"echoed", XsdType::String, SoapFlag::Out, sizeof(SysString)),
        endOfEntries(),
    };
    static constexpr SoapMap kEchoMap =
        soapMap("echo", u"echo", SoapMapKind::Function, kEchoEntries, 2 * sizeof(SysString), 1,
                MapOptions{kRpc, "urn:e", u"urn:e"});
    // A server reading `request`: the status and the in-parameter it read.
    const auto serve = [this](ByteStream& stream) {
        TestHandler server{m_memory, false, kEchoMap, kNoHeaders};
        const HResult status = server.beginParse(*m_reader, stream);
        const auto* record = static_cast<SysString*>(server.parameterRecord());
        std::string outcome = test::statusText(status) +
                              " text=" + test::utf16Text(record != nullptr ? record[0] : nullptr);
        server.cleanup();
        server.clearStates();
        return outcome;
    };
    const std::string requestText =
        envelope(R"(<q:echo xmlns:q="urn:e"><text>hi &lt;3</text></q:echo>)");
    const std::string unknownText = envelope(R"(<q:other xmlns:q="urn:e"/>)");
    const std::string wrongNsText = envelope(R"(<q:echo xmlns:q="urn:x"><text>a</text></q:echo>)");
    for (const std::string* text : {&requestText, &unknownText, &wrongNsText}) {
        EXPECT_TRUE(test::sameWholeAndInPieces(*text, serve));
    }

    TestHandler server{m_memory, false, kEchoMap, kNoHeaders};
    MemoryStream request{requestText};
    ASSERT_EQ(server.beginParse(*m_reader, request), kOk);
    auto* record = static_cast<SysString*>(server.parameterRecord());
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(sysStringView(record[0]), u"hi <3");
    record[1] = sysAllocString(u"back");
    StringSink sink;
    ASSERT_EQ(server.generateRequest(sink), kOk);
    EXPECT_NE(sink.text().find(R"(<snp:echo xmlns:snp="urn:e"><echoed>back</echoed></snp:echo>)"),
              std::string::npos);
    server.cleanup();

    MemoryStream unknown{unknownText};
    EXPECT_EQ(server.beginParse(*m_reader, unknown), kFail);
    server.clearStates();
    MemoryStream wrongNs{wrongNsText};
    EXPECT_EQ(server.beginParse(*m_reader, wrongNs), kFail);
    server.cleanup();
}

} // namespace
} // namespace tarvex::soap
