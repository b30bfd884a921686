# Writes a C++ source defining tarvex::search::bundledCorpusText() from INPUT into OUTPUT.
file(READ "${INPUT}" bytes HEX)
string(LENGTH "${bytes}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," chars "${bytes}")
string(REGEX REPLACE "(('\\\\x[0-9a-f][0-9a-f]',){16})" "\\1\n" chars "${chars}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}; do not edit.
#include \"service/corpus.h\"

namespace tarvex::search {
namespace {
constexpr char kText[${size} + 1] = {
${chars}'\\0'};
} // namespace

std::string_view bundledCorpusText() { return {kText, ${size}}; }

} // namespace tarvex::search
")
