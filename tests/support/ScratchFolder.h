// A working folder of its own with the settings the terminal reads there, for the benchmarks and the
// soak: each makes its folder, writes or copies its settings and cleans up the same way.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace borne::test {

// Config.cfg for `mode` as the benchmarks and the soak run it: a supervision station at a documentation
// address, an access name and number. No local code: a caller that needs one appends its line.
std::string benchSettings(int mode);

// Config.cfg and CHIP.INI written into `folder`, byte for byte.
void writeSettings(const std::filesystem::path& folder, std::string_view config,
                   std::string_view chip = "ADDRESS=12\n");
// Config.cfg and CHIP.INI copied from a folder of settings (one of examples/) into `folder`.
void copySettings(const std::filesystem::path& from, const std::filesystem::path& folder);

// A fresh folder "borne-NAME-PID" under the system's temporary folder, the working directory from its
// making to its end; then the previous working directory is back and the folder is removed, whatever it
// holds by then.
class ScratchFolder {
public:
    explicit ScratchFolder(std::string_view name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

} // namespace borne::test
