#include "tools/log/JournalView.h"

#include "journal/tDebug.h"
#include "tools/files/Csv.h"
#include "tools/version/Version.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace borne::journalview {

namespace {

// The fixed parts of a journal line; each label carries its terminating zero byte.
constexpr std::string_view kHead("EtatCourant = \0", 15);
constexpr std::string_view kMiddle(";      Evenement = \0", 20);
constexpr std::string_view kTail(";");
// The journal's names live in 50-byte fields, so no journal line is longer than this.
constexpr std::size_t kLongestLine = kHead.size() + 49 + kMiddle.size() + 49 + kTail.size();

constexpr std::string_view kOther = "not a journal line";
constexpr std::string_view kCut = "no line end";

bool isState(std::string_view name) {
    for (unsigned code = 0; const char* known = tDebug::NomEtat(code); ++code)
        if (name == known) return true;
    return false;
}

bool isEvent(std::string_view name) {
    for (unsigned code = 0; const char* known = tDebug::NomEvenement(code); ++code)
        if (name == known) return true;
    return false;
}

std::string_view lineEnd(Format format) {
    return format == Format::Csv ? "\r\n" : "\n";
}

char separator(Format format) {
    return format == Format::Csv ? ',' : '\t';
}

// The quote that keeps a CSV cell starting with `first` from being read as a formula. Escaped, a tab or a
// CR is no longer first: the guard goes by the byte as it is written.
std::string_view guard(char first) {
    return static_cast<unsigned char>(first) < 0x20 ? std::string_view() : files::csvGuard(first);
}

// A file name as a field: escaped, and in CSV guarded against a formula and quoted when it holds a comma
// or a quote.
std::string fileField(std::string_view file, Format format) {
    std::string escaped(format == Format::Csv && !file.empty() ? guard(file.front()) : "");
    appendEscaped(escaped, file, format);
    if (format == Format::Csv && file.find_first_of(",\"") != std::string_view::npos)
        return '"' + escaped + '"';
    return escaped;
}

constexpr const char* kUsage =
    "usage: borne-log [--csv] [FILE...]\n"
    "  Shows each line of the journal (default Log.txt) as its number, state and\n"
    "  event separated by tabs; --csv writes CSV with a header row instead. A line\n"
    "  that is not a journal line is shown with its bytes escaped. \"-\" reads\n"
    "  standard input. Exit status: 0 every line was a journal line, 1 some were\n"
    "  not, 2 bad usage or a file that could not be read.\n"
    "\n"
    "  --csv        CSV with a header row\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the version and the controller interface version, and exit\n";

// Reads a whole file (or standard input for "-") into the converter. False, with the reason in `why`,
// when it cannot be read; what was read before a failure has been converted all the same.
bool convertFile(const std::string& name, Converter& converter, std::ostream& out, std::string& why) {
    const bool stdinput = name == "-";
    const int fd = stdinput ? 0 : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        why = "is a folder";
        if (!stdinput) ::close(fd);
        return false;
    }
    bool ok = true;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = std::strerror(errno);
            ok = false;
            break;
        }
        if (n == 0) break;
        converter.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        if (!out) break; // nobody reads the records any more
    }
    converter.finish();
    if (!stdinput) ::close(fd);
    return ok;
}

} // namespace

std::optional<Entry> parseLine(std::string_view line) {
    if (line.size() > kLongestLine || !line.starts_with(kHead) || !line.ends_with(kTail)) return std::nullopt;
    line.remove_prefix(kHead.size());
    line.remove_suffix(kTail.size());
    const std::size_t middle = line.find(kMiddle);
    if (middle == std::string_view::npos) return std::nullopt;
    const Entry entry{line.substr(0, middle), line.substr(middle + kMiddle.size())};
    if (!isState(entry.state) || !isEvent(entry.event)) return std::nullopt;
    return entry;
}

void appendEscaped(std::string& to, std::string_view bytes, Format format) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\') {
            to += "\\\\";
        } else if (c == '"') {
            to += format == Format::Csv ? "\"\"" : "\\\"";
        } else if (b < 0x20 || b >= 0x7F) {
            to += "\\x";
            to += kHex[b >> 4];
            to += kHex[b & 0xF];
        } else {
            to += c;
        }
    }
}

std::string header(Format format, bool withFile) {
    if (format != Format::Csv) return {};
    return std::string(withFile ? "file," : "") + "line,state,event,not_a_journal_line,note\r\n";
}

Converter::Converter(Format format, std::ostream& out, std::string_view file) : format_(format), out_(out) {
    if (!file.empty()) filePrefix_ = fileField(file, format) + separator(format);
    pending_.reserve(kLongestLine + 1);
}

void Converter::feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        if (!streaming_ && pending_.size() + piece.size() > kLongestLine) {
            startOther(pending_.empty() ? piece.front() : pending_.front());
            streaming_ = true;
        }
        if (streaming_) {
            scratch_.clear();
            appendEscaped(scratch_, piece, format_);
            out_ << scratch_;
        } else {
            pending_.append(piece);
        }
        if (end == std::string_view::npos) return;
        endLine(true);
        bytes.remove_prefix(end + 1);
    }
}

void Converter::finish() {
    if (streaming_ || !pending_.empty()) endLine(false);
}

void Converter::writeRecordStart() {
    ++lines_;
    out_ << filePrefix_ << lines_ << separator(format_);
}

// Starts the record of a line that is not a journal line, with what is held of it so far; `first` is the
// line's first byte, which decides the CSV cell's guard against a formula.
void Converter::startOther(char first) {
    ++others_;
    writeRecordStart();
    scratch_.clear();
    if (format_ == Format::Csv) {
        scratch_ += ",,\"";
        scratch_ += guard(first);
    } else {
        scratch_ += kOther;
        scratch_ += ": \"";
    }
    appendEscaped(scratch_, pending_, format_);
    pending_.clear();
    out_ << scratch_;
}

void Converter::endLine(bool complete) {
    if (!streaming_ && complete) {
        if (const auto entry = parseLine(pending_)) {
            writeRecordStart();
            out_ << entry->state << separator(format_) << entry->event;
            if (format_ == Format::Csv) out_ << ",,";
            out_ << lineEnd(format_);
            pending_.clear();
            return;
        }
    }
    if (!streaming_) startOther(pending_.empty() ? '\0' : pending_.front());
    streaming_ = false;
    out_ << '"';
    if (format_ == Format::Csv)
        out_ << ',' << (complete ? "" : kCut);
    else if (!complete)
        out_ << " (" << kCut << ')';
    out_ << lineEnd(format_);
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Format format = Format::Text;
    std::vector<std::string> files;
    bool options = true;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options && a == "--") {
            options = false;
        } else if (options && a == "--csv") {
            format = Format::Csv;
        } else if (options && (a == "-h" || a == "--help" || a == "--version")) {
            out << (a == "--version" ? versionText("borne-log") : std::string(kUsage));
            out.flush();
            if (out) return 0;
            err << "borne-log: cannot write the output\n";
            return 2;
        } else if (options && a.size() > 1 && a[0] == '-') {
            std::string shown;
            appendEscaped(shown, a, Format::Text);
            err << "borne-log: unknown option \"" << shown << "\"\n" << kUsage;
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) files.emplace_back("Log.txt");

    const bool several = files.size() > 1;
    out << header(format, several);
    bool unreadable = false;
    bool others = false;
    for (const std::string& file : files) {
        Converter converter(format, out, several ? std::string_view(file) : std::string_view());
        std::string why;
        if (!convertFile(file, converter, out, why)) {
            out.flush();
            err << "borne-log: " << fileField(file, Format::Text) << ": " << why << '\n';
            unreadable = true;
        }
        others = others || converter.others() > 0;
    }
    out.flush();
    if (!out) {
        err << "borne-log: cannot write the output\n";
        return 2;
    }
    return unreadable ? 2 : others ? 1 : 0;
}

} // namespace borne::journalview
