// Reading Log.txt: each line of the journal becomes one record (number, state, event) as tab-separated
// text or as CSV, with no zero byte in sight. A line that is not a journal line (a line cut short, a
// file from some other writer) becomes a record of its own with its bytes escaped: nothing is skipped.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace borne::journalview {

enum class Format {
    Text, // N<TAB>STATE<TAB>EVENT, LF line ends
    Csv,  // RFC 4180: a header row, CRLF line ends
};

struct Entry {
    std::string_view state;
    std::string_view event;
};

// The state and event of one line (its LF already removed) when it is exactly a line the journal
// writes, names included; nothing otherwise.
std::optional<Entry> parseLine(std::string_view line);

// Bytes as printable ASCII: a backslash is doubled, a quote is escaped the way the format quotes
// (\" in text, "" in CSV), and every other byte below 0x20, 0x7F or above is written \xHH.
void appendEscaped(std::string& to, std::string_view bytes, Format format);

// The header row of the format (nothing for text); `withFile` adds the file column.
std::string header(Format format, bool withFile);

// Turns a stream of journal bytes, fed in pieces of any size, into records on `out`. Memory stays bounded
// whatever the lines' lengths: a line too long to be a journal line is written out as it arrives.
class Converter {
public:
    // `file` non-empty: every record starts with that name (for several files).
    Converter(Format format, std::ostream& out, std::string_view file = {});

    void feed(std::string_view bytes);
    // Ends the input: bytes after the last line end are a line of their own, shown as cut.
    void finish();

    std::uint64_t lines() const { return lines_; }
    std::uint64_t others() const { return others_; } // lines that were not journal lines

private:
    void endLine(bool complete); // complete: the line ended with its LF
    void startOther(char first);
    void writeRecordStart();

    Format format_;
    std::ostream& out_;
    std::string filePrefix_;
    std::string pending_;    // the current line while it may still be a journal line
    bool streaming_ = false; // the current line is too long for one: its bytes go out as they come
    std::string scratch_;
    std::uint64_t lines_ = 0;
    std::uint64_t others_ = 0;
};

// The program: arguments with argv[0] first, standard input for "-", the two output streams.
// Returns 0 when every line was a journal line, 1 when some were not, 2 on bad usage or when a file
// could not be read or the output not written.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace borne::journalview
