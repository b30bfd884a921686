// The writer on small maps of its own: headers, enumerations, fixed and dynamic arrays, nil
// values, the three envelope styles and the server direction.
#include "base/sys_string.h"
#include "soap/soap_message_handler.h"
#include "support/single_operation_handler.h"
#include "support/test_sinks.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace tarvex::soap {
namespace {

constexpr std::uint32_t kRpc = SoapFlag::Rpc | SoapFlag::Encoded;

// --- An enumeration, a structure and an operation that uses every array form. ---

constexpr SoapMapEntry kColorEntries[] = {
    soapEntry("red", u"red", static_cast<XsdType>(0), 0, 0),
    soapEntry("green", u"green", static_cast<XsdType>(1), 0, 0),
    soapEntry("blue", u"blue", static_cast<XsdType>(5), 0, 0),
    endOfEntries(),
};
constexpr SoapMap kColorMap = soapMap("Color", u"Color", SoapMapKind::Enum, kColorEntries, 4, 1);

struct Point {
    std::int32_t x;
    std::int32_t y;
};
constexpr SoapMapEntry kPointEntries[] = {
    soapEntry("x", u"x", XsdType::Int, SoapFlag::Member, offsetof(Point, x)),
    soapEntry("y", u"y", XsdType::Int, SoapFlag::Member, offsetof(Point, y)),
    endOfEntries(),
};
constexpr SoapMap kPointMap = soapMap("Point", u"Point", SoapMapKind::Struct, kPointEntries,
                                      sizeof(Point), 2, MapOptions{0, "urn:geo", u"urn:geo"});
// The same structure without a namespace of its own: arrays of it use the default namespace.
constexpr SoapMap kBarePointMap =
    soapMap("BarePoint", u"BarePoint", SoapMapKind::Struct, kPointEntries, sizeof(Point), 2);

constexpr std::int32_t kGridDimensions[] = {2, 2, 3};

struct ShapeParams {
    std::int32_t color;
    Point* points;
    std::int32_t pointCount;
    std::int32_t grid[2][3];
    Point origin;
    SysString* labels;
    std::int64_t labelCount;
    std::int32_t* colors;
    std::uint8_t colorCount;
    Point* barePoints;
    std::int32_t barePointCount;
    SysString answer;
};

constexpr std::uint32_t kInArray = SoapFlag::In | SoapFlag::DynamicArray | SoapFlag::Nullable;
constexpr SoapMapEntry kShapeEntries[] = {
    soapEntry("color", u"color", XsdType::User, SoapFlag::In, offsetof(ShapeParams, color),
              {&kColorMap}),
    soapEntry("points", u"points", XsdType::User, kInArray, offsetof(ShapeParams, points),
              {&kPointMap, 2}),
    soapEntry("points", u"points", XsdType::Int, SoapFlag::In | SoapFlag::SizeOnly,
              offsetof(ShapeParams, pointCount)),
    soapEntry("grid", u"grid", XsdType::Int, SoapFlag::In | SoapFlag::FixedArray,
              offsetof(ShapeParams, grid), {nullptr, -1, kGridDimensions}),
    soapEntry("origin", u"origin", XsdType::User, SoapFlag::In, offsetof(ShapeParams, origin),
              {&kPointMap}),
    soapEntry("labels", u"labels", XsdType::String, kInArray, offsetof(ShapeParams, labels),
              {nullptr, 6}),
    soapEntry("labels", u"labels", XsdType::Long, SoapFlag::In | SoapFlag::SizeOnly,
              offsetof(ShapeParams, labelCount)),
    soapEntry("colors", u"colors", XsdType::User, kInArray, offsetof(ShapeParams, colors),
              {&kColorMap, 8}),
    soapEntry("colors", u"colors", XsdType::UnsignedByte, SoapFlag::In | SoapFlag::SizeOnly,
              offsetof(ShapeParams, colorCount)),
    soapEntry("barePoints", u"barePoints", XsdType::User, kInArray,
              offsetof(ShapeParams, barePoints), {&kBarePointMap, 10}),
    soapEntry("barePoints", u"barePoints", XsdType::Int, SoapFlag::In | SoapFlag::SizeOnly,
              offsetof(ShapeParams, barePointCount)),
    soapEntry("answer", u"answer", XsdType::String, SoapFlag::Out | SoapFlag::RetVal,
              offsetof(ShapeParams, answer)),
    endOfEntries(),
};
constexpr SoapMap kShapeMap =
    soapMap("drawShape", u"drawShape", SoapMapKind::Function, kShapeEntries, sizeof(ShapeParams), 1,
            MapOptions{kRpc, "urn:shapes", u"urn:shapes"});

// --- Headers: one qualified by its own namespace and marked MustUnderstand, one plain, one
// the server sends. ---

struct SessionHeaders {
    SysString session;
    std::int32_t trace;
    SysString reply;
};
constexpr SoapMapEntry kSessionHeaderEntries[] = {
    soapEntry("session", u"session", XsdType::String, SoapFlag::In | SoapFlag::MustUnderstand,
              offsetof(SessionHeaders, session),
              {nullptr, -1, nullptr, "urn:session", u"urn:session"}),
    soapEntry("trace", u"trace", XsdType::Int, SoapFlag::In, offsetof(SessionHeaders, trace)),
    soapEntry("reply", u"reply", XsdType::String, SoapFlag::Out, offsetof(SessionHeaders, reply)),
    endOfEntries(),
};
constexpr SoapMap kShapeHeaderMap =
    soapMap("drawShape", u"drawShape", SoapMapKind::Header, kSessionHeaderEntries,
            sizeof(SessionHeaders), 3, MapOptions{kRpc, "urn:shapes", u"urn:shapes"});
constexpr SoapMap kDocumentHeaderMap =
    soapMap("drawShape", u"drawShape", SoapMapKind::Header, kSessionHeaderEntries,
            sizeof(SessionHeaders), 3, MapOptions{0, "urn:h", u"urn:h"});

// --- Document-style operations. ---

struct EchoParams {
    SysString text;
    SysString echoed;
};
constexpr SoapMapEntry kEchoEntries[] = {
    soapEntry("text", u"text", XsdType::String, SoapFlag::In, offsetof(EchoParams, text)),
    soapEntry("echoed", u"echoed", XsdType::String, SoapFlag::Out, offsetof(EchoParams, echoed)),
    endOfEntries(),
};
constexpr SoapMap kWrappedEchoMap =
    soapMap("echo", u"echo", SoapMapKind::Function, kEchoEntries, sizeof(EchoParams), 1,
            MapOptions{SoapFlag::ParamsAsDocument, "urn:echo", u"urn:echo"});
constexpr SoapMap kBareEchoMap =
    soapMap("echo", u"echo", SoapMapKind::Function, kEchoEntries, sizeof(EchoParams), 1,
            MapOptions{SoapFlag::NoWrapper, "urn:echo", u"urn:echo"});
constexpr SoapMapEntry kNoEntries[] = {endOfEntries()};
constexpr SoapMap kEchoHeaderMap = soapMap("echo", u"echo", SoapMapKind::Header, kNoEntries, 0, 0,
                                           MapOptions{0, "urn:echo", u"urn:echo"});

const std::string kEnvelopeStart =
    R"(<soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns:soapenc="http://schemas.xmlsoap.org/soap/encoding/">)";
const std::string kRpcBody =
    R"(<soap:Body soap:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/">)";
const std::string kEnvelopeEnd = "</soap:Body></soap:Envelope>";

// A handler with one operation and its header map.
using TestHandler = test::SingleOperationHandler<SessionHeaders>;

class RequestWriterTest : public ::testing::Test {
protected:
    // Writes only `entryName` of the shape operation (all its other arrays are empty).
    std::string writeShape(ShapeParams& params, const SoapMap& headers = kShapeHeaderMap) {
        TestHandler handler{m_memory, true, kShapeMap, headers};
        handler.headers = m_headers;
        StringSink sink;
        EXPECT_EQ(handler.writeRequest(&params, sink), kOk);
        return sink.text();
    }

    // The body of the shape operation between its wrapper tags.
    std::string shapeParams(ShapeParams& params) {
        const std::string text = writeShape(params);
        const std::string open = kRpcBody + R"(<snp:drawShape xmlns:snp="urn:shapes">)";
        const auto begin = text.find(open);
        const auto end = text.rfind("</snp:drawShape>");
        EXPECT_NE(begin, std::string::npos);
        EXPECT_NE(end, std::string::npos);
        return text.substr(begin + open.size(), end - begin - open.size());
    }

    ShapeParams emptyShape() {
        ShapeParams params{};
        params.grid[0][0] = 1;
        params.grid[0][1] = 2;
        params.grid[0][2] = 3;
        params.grid[1][0] = 4;
        params.grid[1][1] = 5;
        params.grid[1][2] = -6;
        params.origin = Point{7, 8};
        return params;
    }

    void TearDown() override { EXPECT_EQ(m_memory.outstanding, 0); }

    test::CountingMemory m_memory;
    SessionHeaders m_headers{};
};

constexpr const char* kGrid =
    R"(<grid soapenc:arrayType="xsd:int[2, 3]"><int>1</int><int>2</int><int>3</int><int>4</int><int>5</int><int>-6</int></grid>)";
constexpr const char* kOrigin = "<origin><x>7</x><y>8</y></origin>";

TEST_F(RequestWriterTest, NullDynamicArraysAreNilAndFixedArraysListEveryItem) {
    ShapeParams params = emptyShape();
    EXPECT_EQ(shapeParams(params),
              std::string{"<color>red</color>"} + R"(<points xsi:nil="1"/>)" + kGrid + kOrigin +
                  R"(<labels xsi:nil="1"/><colors xsi:nil="1"/>)" + R"(<barePoints xsi:nil="1"/>)");
}

TEST_F(RequestWriterTest, DynamicArrayOfStructuresWrapsEachItem) {
    ShapeParams params = emptyShape();
    Point points[] = {{1, 2}, {3, 4}, {-5, 6}};
    params.points = points;
    params.pointCount = 3;
    const std::string text = shapeParams(params);
    EXPECT_NE(text.find(R"(<points xmlns:q1="urn:geo" soapenc:arrayType="q1:Point[3]">)"
                        "<snp:Point><x>1</x><y>2</y></snp:Point>"
                        "<snp:Point><x>3</x><y>4</y></snp:Point>"
                        "<snp:Point><x>-5</x><y>6</y></snp:Point></points>"),
              std::string::npos)
        << text;
}

TEST_F(RequestWriterTest, DynamicArrayWithCountZeroIsAnEmptyElement) {
    ShapeParams params = emptyShape();
    Point points[1] = {{1, 2}};
    params.points = points;
    params.pointCount = 0;
    EXPECT_NE(shapeParams(params).find("<points></points>"), std::string::npos);
    params.pointCount = -4;
    EXPECT_NE(shapeParams(params).find("<points></points>"), std::string::npos)
        << "a negative count is 0";
}

TEST_F(RequestWriterTest, ArrayOfStructuresWithoutNamespaceUsesTheDefault) {
    ShapeParams params = emptyShape();
    Point points[] = {{9, 9}};
    params.barePoints = points;
    params.barePointCount = 1;
    EXPECT_NE(shapeParams(params).find(
                  R"(<barePoints xmlns:q1="urn:default" soapenc:arrayType="q1:BarePoint[1]">)"
                  "<snp:BarePoint><x>9</x><y>9</y></snp:BarePoint></barePoints>"),
              std::string::npos);
}

TEST_F(RequestWriterTest, ArrayOfStringsWritesNilItemsInPlace) {
    ShapeParams params = emptyShape();
    const UniqueSysString first{sysAllocString(u"a&b")};
    const UniqueSysString third{sysAllocString(u"")};
    SysString labels[] = {first.get(), nullptr, third.get()};
    params.labels = labels;
    params.labelCount = 3;
    EXPECT_NE(shapeParams(params).find(R"(<labels soapenc:arrayType="xsd:string[3]">)"
                                       R"(<string>a&amp;b</string><string xsi:nil="1"></string>)"
                                       "<string></string></labels>"),
              std::string::npos);
}

TEST_F(RequestWriterTest, EnumerationsWriteTheEnumeratorName) {
    ShapeParams params = emptyShape();
    params.color = 5;
    std::int32_t colors[] = {1, 0};
    params.colors = colors;
    params.colorCount = 2;
    const std::string text = shapeParams(params);
    EXPECT_EQ(text.rfind("<color>blue</color>", 0), 0U) << text;
    EXPECT_NE(text.find(R"(<colors xmlns:q1="urn:default" soapenc:arrayType="q1:Color[2]">)"
                        "<Color>green</Color><Color>red</Color></colors>"),
              std::string::npos)
        << text;
}

TEST_F(RequestWriterTest, EnumerationWithoutMatchingEnumeratorFails) {
    ShapeParams params = emptyShape();
    params.color = 3;
    TestHandler handler{m_memory, true, kShapeMap, kShapeHeaderMap};
    StringSink sink;
    EXPECT_EQ(handler.writeRequest(&params, sink), kFail);
    EXPECT_EQ(sink.text().find("red"), std::string::npos);
}

TEST_F(RequestWriterTest, HeadersCarryTheirNamespaceAndMustUnderstand) {
    const UniqueSysString session{sysAllocString(u"s<1>")};
    m_headers.session = session.get();
    m_headers.trace = 7;
    ShapeParams params = emptyShape();
    const std::string text = writeShape(params);
    const std::string expectedStart =
        kEnvelopeStart +
        R"(<soap:Header><snp:session xmlns:snp="urn:session" soap:mustUnderstand="1">)"
        "s&lt;1&gt;</snp:session><trace>7</trace></soap:Header>" +
        kRpcBody;
    EXPECT_EQ(text.rfind(expectedStart, 0), 0U) << text;
    EXPECT_EQ(text.find("reply"), std::string::npos) << "an Out header is not sent by the client";

    const std::string document = writeShape(params, kDocumentHeaderMap);
    EXPECT_NE(document.find(R"(<soap:Header xmlns="urn:h"><snp:session)"), std::string::npos);
}

TEST_F(RequestWriterTest, HeaderMapWithoutEntriesWritesNoHeaderElement) {
    const SoapMap emptyHeaders = soapMap("drawShape", u"drawShape", SoapMapKind::Header, kNoEntries,
                                         0, 0, MapOptions{kRpc, "urn:shapes", u"urn:shapes"});
    ShapeParams params = emptyShape();
    const std::string text = writeShape(params, emptyHeaders);
    EXPECT_EQ(text.find("Header"), std::string::npos);
    EXPECT_EQ(text.rfind(kEnvelopeStart + kRpcBody, 0), 0U);
    EXPECT_EQ(text.substr(text.size() - kEnvelopeEnd.size()), kEnvelopeEnd);
}

TEST_F(RequestWriterTest, WrappedDocumentStyle) {
    const UniqueSysString text{sysAllocString(u"hi")};
    EchoParams params{text.get(), nullptr};
    TestHandler handler{m_memory, true, kWrappedEchoMap, kEchoHeaderMap};
    StringSink sink;
    ASSERT_EQ(handler.writeRequest(&params, sink), kOk);
    EXPECT_EQ(sink.text(), kEnvelopeStart +
                               R"(<soap:Body><echo xmlns="urn:echo"><text>hi</text></echo>)" +
                               kEnvelopeEnd);
}

TEST_F(RequestWriterTest, DocumentLiteralWithoutWrapperQualifiesEachParameter) {
    const UniqueSysString text{sysAllocString(u"hi")};
    EchoParams params{text.get(), nullptr};
    TestHandler handler{m_memory, true, kBareEchoMap, kEchoHeaderMap};
    StringSink sink;
    ASSERT_EQ(handler.writeRequest(&params, sink), kOk);
    EXPECT_EQ(sink.text(),
              kEnvelopeStart + R"(<soap:Body><text xmlns="urn:echo">hi</text>)" + kEnvelopeEnd);
}

TEST_F(RequestWriterTest, ServerWritesTheOutEntriesAndTheResponseSuffix) {
    const UniqueSysString echoed{sysAllocString(u"back")};
    EchoParams params{nullptr, echoed.get()};
    TestHandler handler{m_memory, false, kWrappedEchoMap, kEchoHeaderMap};
    StringSink sink;
    ASSERT_EQ(handler.writeResponse(&params, sink), kOk);
    EXPECT_EQ(
        sink.text(),
        kEnvelopeStart +
            R"(<soap:Body><echoResponse xmlns="urn:echo"><echoed>back</echoed></echoResponse>)" +
            kEnvelopeEnd);
}

TEST_F(RequestWriterTest, ServerWritesItsHeadersAndReturnValuesUnderTheNameReturn) {
    ShapeParams params = emptyShape();
    const UniqueSysString answer{sysAllocString(u"ok")};
    params.answer = answer.get();
    TestHandler handler{m_memory, false, kShapeMap, kShapeHeaderMap};
    const UniqueSysString reply{sysAllocString(u"r")};
    handler.headers.reply = reply.get();
    StringSink sink;
    ASSERT_EQ(handler.writeResponse(&params, sink), kOk);
    EXPECT_EQ(sink.text(),
              kEnvelopeStart + "<soap:Header><reply>r</reply></soap:Header>" + kRpcBody +
                  R"(<snp:drawShape xmlns:snp="urn:shapes"><return>ok</return></snp:drawShape>)" +
                  kEnvelopeEnd);
}

TEST_F(RequestWriterTest, EveryFailingWriteStopsTheEnvelopeWithItsStatus) {
    ShapeParams params = emptyShape();
    Point points[] = {{1, 2}, {3, 4}};
    params.points = points;
    params.pointCount = 2;
    test::FailingSink counter{1 << 30, kFail};
    TestHandler handler{m_memory, true, kShapeMap, kShapeHeaderMap};
    ASSERT_EQ(handler.writeRequest(&params, counter), kOk);
    for (int failAt = 0; failAt < counter.calls(); ++failAt) {
        test::FailingSink sink{failAt, kOutOfMemory};
        EXPECT_EQ(handler.writeRequest(&params, sink), kOutOfMemory) << "write " << failAt;
        EXPECT_EQ(sink.calls(), failAt + 1) << "nothing is written after the first failure";
    }
}

TEST_F(RequestWriterTest, WithoutAFirstStateThereIsNothingToWrite) {
    TestHandler handler{m_memory, true, kShapeMap, kShapeHeaderMap};
    StringSink sink;
    EXPECT_EQ(handler.generateRequest(sink), kFail);
    ASSERT_EQ(
        handler.pushState({.target = &handler.headers, .map = &kShapeHeaderMap, .capacity = 1}),
        kOk);
    EXPECT_EQ(handler.generateRequest(sink), kFail) << "operation index past the end of the list";
    EXPECT_EQ(sink.text(), "");
}

} // namespace
} // namespace tarvex::soap
