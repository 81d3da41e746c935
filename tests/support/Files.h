// Reading a whole file, as the tests compare journals and outputs byte for byte.
#pragma once

#include <filesystem>
#include <string>

namespace borne::test {

// The file's bytes; empty when it cannot be read.
std::string readFile(const std::filesystem::path& file);

} // namespace borne::test
