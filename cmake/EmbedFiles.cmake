# Turns files into a C++ source that defines one function returning their names and bytes:
#   cmake -DFOLDER=dir -DNAMES=a.wav,b.wav -DOUTPUT=file.cpp -DHEADER=audio/voice.h
#         -DNAMESPACE=ns -DTYPE=File -DFUNCTION=Name -P EmbedFiles.cmake
# TYPE is a struct with a name (const char*) and the bytes (std::string_view), in that order.
string(REPLACE "," ";" names "${NAMES}")
set(arrays "")
set(entries "")
set(index 0)
foreach(name IN LISTS names)
    file(READ "${FOLDER}/${name}" hex HEX)
    string(LENGTH "${hex}" hexLength)
    math(EXPR size "${hexLength} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
    string(APPEND arrays "constexpr char Bytes${index}[${size} + 1] = {${bytes} 0};\n")
    string(APPEND entries "    ${TYPE}{\"${name}\", std::string_view(Bytes${index}, ${size})},\n")
    math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}"
"// Generated from the files in ${FOLDER}; do not edit.\n"
"#include \"${HEADER}\"\n"
"namespace ${NAMESPACE} {\n"
"namespace {\n"
"${arrays}"
"const ${TYPE} Files[] = {\n${entries}};\n"
"}\n"
"std::span<const ${TYPE}> ${FUNCTION}() {\n"
"    return Files;\n"
"}\n"
"} // namespace ${NAMESPACE}\n")
