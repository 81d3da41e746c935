// The protocol's line: fields separated by one TAB, ended by one LF, texts in UTF-8 with four escapes
// (\\ \t \n \r). Both ends use it: the bench's controller and borne-host, which links nothing of the
// terminal's but its base.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace borne::protocol {

inline constexpr int kVersion = 1;
inline constexpr std::size_t kMaxLine = 4096; // LF included

// A text as a field: the four escapes, nothing else changed.
std::string escaped(std::string_view text);
// The text a field stands for; false on an escape that is not one of the four.
bool unescaped(std::string_view field, std::string& text);
bool validUtf8(std::string_view text) noexcept;
// The fields of a line without its LF.
std::vector<std::string_view> fields(std::string_view line);
// A decimal number, optional leading '-', nothing else.
bool number(std::string_view field, std::int64_t& value) noexcept;

// One end of the channel: lines out are kept until flush() (a write needs no answer, so many go in one
// send), lines in are cut from what was read.
class Channel {
public:
    enum class Got { Line, Closed, Late, TooLong, Failed };

    explicit Channel(int fd) : fd_(fd) {}
    int fd() const noexcept { return fd_; }

    void put(std::string_view line) {
        out_.append(line);
        out_.push_back('\n');
    }
    // Sends what was put; false when the other end is gone or, with a deadline, will not take it in time.
    bool flush(std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max());
    // The next line, its LF dropped. Flushes first. Late once the deadline passed without a whole line.
    Got next(std::string& line,
             std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max());
    // A whole line already read and waiting, so that next() would not block.
    bool ready() const noexcept;

private:
    int fd_;
    std::string out_;
    std::string in_;
    std::size_t start_ = 0; // where the next line of in_ begins
};

} // namespace borne::protocol
