# Turns a file into a C++ source that returns its bytes as a std::string_view.
# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DNAMESPACE=<ns> -DFUNCTION=<name> -P EmbedFile.cmake
file(READ "${INPUT}" content HEX)
string(LENGTH "${content}" hex_length)
math(EXPR byte_count "${hex_length} / 2")
# Sixteen bytes to a line (CMake's regular expressions have no counted repeats).
string(REPEAT "[0-9a-f]" 32 line_pattern)
string(REGEX REPLACE "(${line_pattern})" "\\1\n" lines "${content}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${lines}")
string(REPLACE "\n" "\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}; do not edit.
#include <string_view>

namespace ${NAMESPACE} {
namespace {
// One extra byte so that an empty input still gives a valid array.
constexpr char kEmbeddedBytes[] = {
    ${bytes}'\\0'};
}  // namespace

std::string_view ${FUNCTION}() { return std::string_view(kEmbeddedBytes, ${byte_count}); }
}  // namespace ${NAMESPACE}
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
