# Turns one file into a C++ source that defines its bytes and their count:
#   cmake -DENTREE=<file> -DSORTIE=<file.cpp> -DSYMBOLE=<name> -P Embarquer.cmake
# defines `const unsigned char <name>[]` and `const std::size_t <name>_taille` in namespace borne::integre.
file(READ "${ENTREE}" hex HEX)
string(LENGTH "${hex}" chiffres)
math(EXPR taille "${chiffres} / 2")
# Twenty bytes a line, each written 0xNN.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," octets "${hex}")
string(REPEAT "0x[0-9a-f][0-9a-f]," 20 ligne) # CMake's expressions have no {n}
string(REGEX REPLACE "(${ligne})" "\\1\n    " octets "${octets}")
get_filename_component(nom "${ENTREE}" NAME)
file(WRITE "${SORTIE}.tmp"
"// Generated from ${nom} at build time; do not edit.
#include <cstddef>

namespace borne::integre {

extern const unsigned char ${SYMBOLE}[];
extern const std::size_t ${SYMBOLE}_taille;

const unsigned char ${SYMBOLE}[] = {
    ${octets}
};
const std::size_t ${SYMBOLE}_taille = ${taille};

} // namespace borne::integre
")
# Only a changed content touches the output, so an unchanged picture rebuilds nothing.
file(COPY_FILE "${SORTIE}.tmp" "${SORTIE}" ONLY_IF_DIFFERENT)
file(REMOVE "${SORTIE}.tmp")
