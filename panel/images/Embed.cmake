# Turns one file into a C++ source that defines its bytes and their count:
#   cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -P Embed.cmake
# defines `const unsigned char <name>[]` and `const std::size_t <name>_taille` in namespace borne::integre.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
# Twenty bytes a line, each written 0xNN.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x[0-9a-f][0-9a-f]," 20 line) # CMake's expressions have no {n}
string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${name} at build time; do not edit.
#include <cstddef>

namespace borne::integre {

extern const unsigned char ${SYMBOL}[];
extern const std::size_t ${SYMBOL}_taille;

const unsigned char ${SYMBOL}[] = {
    ${bytes}
};
const std::size_t ${SYMBOL}_taille = ${size};

} // namespace borne::integre
")
# Only a changed content touches the output, so an unchanged picture rebuilds nothing.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
