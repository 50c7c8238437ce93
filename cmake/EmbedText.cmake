# Turns a text file into a C++ source that defines one function returning its bytes:
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DNAMESPACE=ns -DFUNCTION=Name -P EmbedText.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
file(WRITE "${OUTPUT}"
"// Generated from ${INPUT}; do not edit.\n"
"#include <string_view>\n"
"namespace ${NAMESPACE} {\n"
"namespace {\n"
"constexpr char Bytes[${size} + 1] = {${bytes} 0};\n"
"}\n"
"std::string_view ${FUNCTION}() {\n"
"    return std::string_view(Bytes, ${size});\n"
"}\n"
"} // namespace ${NAMESPACE}\n")
