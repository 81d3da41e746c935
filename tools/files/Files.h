// Reading a file whole and writing a buffer whole, for every tool: the loops that survive EINTR and short
// counts, the size limits and the refusal of what is not a regular file live here and nowhere else.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace borne::files {

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

struct ReadLimits {
    // 0: none. A file larger than this is refused as a whole, never cut: "cannot read F: larger than
    // 256 MiB, the limit for a script".
    std::uintmax_t maxBytes = 0;
    std::string_view what = "a file";
    // Anything but a regular file (a folder, a pipe, a device) is refused, opened without waiting.
    bool regularOnly = false;
    // A named pipe must get its writer and its end by then; none: a pipe waits for its writer.
    Deadline deadline;
};

// The whole file into `content`. False with "cannot read PATH: reason" in `error`.
bool readWhole(const std::filesystem::path& path, std::string& content, std::string& error,
               const ReadLimits& limits = {});
// The whole stream (standard input), with the same limit; `name` names it in the error.
bool readWhole(std::istream& in, std::string_view name, std::string& content, std::string& error,
               const ReadLimits& limits = {});

// Every byte, or false with errno set (a full disk, a closed pipe).
bool writeWhole(int fd, std::string_view data);
// The file created or emptied, then every byte. False with "cannot write PATH: reason" in `error`.
bool writeWhole(const std::filesystem::path& path, std::string_view data, std::string& error);

// A file opened for writing (created or emptied); a named pipe waits for its reader until the deadline
// only. -1 with "cannot write PATH: reason" in `error`.
int openForWriting(const std::filesystem::path& path, const Deadline& deadline, std::string& error);

// The real path of a name, links and all; empty when there is none (a dangling link, a name that does
// not exist).
std::string realPath(const std::filesystem::path& path);

// Where a name would be once written, links followed: the real path of its nearest existing folder,
// then the rest of the name. Empty when no part of it can be resolved.
std::string writtenPath(const std::string& name);

// A size as people read it: "1 MiB", "64 KiB", "300 bytes".
std::string sizeText(std::uintmax_t bytes);

} // namespace borne::files
