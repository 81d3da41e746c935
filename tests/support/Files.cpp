#include "support/Files.h"

#include <fstream>
#include <iterator>

namespace borne::test {

std::string readFile(const std::filesystem::path& file) {
    std::ifstream f(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

} // namespace borne::test
