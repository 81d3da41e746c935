#include "tests/support/ScratchFolder.h"

#include <fstream>
#include <system_error>
#include <unistd.h>

namespace borne::test {

namespace fs = std::filesystem;

std::string benchSettings(int mode) {
    return "mode=" + std::to_string(mode) +
           "\nIPsuperviseur=192.0.2.10\nPORTsuperviseur=4000\nportserver=4001\nnomacces=Entree Nord\n"
           "numeroacces=2\n";
}

void writeSettings(const fs::path& folder, std::string_view config, std::string_view chip) {
    std::ofstream(folder / "Config.cfg", std::ios::binary) << config;
    std::ofstream(folder / "CHIP.INI", std::ios::binary) << chip;
}

void copySettings(const fs::path& from, const fs::path& folder) {
    for (const char* name : {"Config.cfg", "CHIP.INI"})
        fs::copy_file(from / name, folder / name, fs::copy_options::overwrite_existing);
}

ScratchFolder::ScratchFolder(std::string_view name)
    : previous_(fs::current_path()),
      path_(fs::temp_directory_path() / ("borne-" + std::string(name) + "-" + std::to_string(::getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
    fs::current_path(path_);
}

ScratchFolder::~ScratchFolder() {
    // Never throws: a folder that cannot be removed is left behind, not a crash at the end of a run.
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(path_, ec);
}

} // namespace borne::test
