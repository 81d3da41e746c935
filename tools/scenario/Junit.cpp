#include "tools/scenario/Junit.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace borne::scenario {

namespace {

void hex(std::string& out, unsigned char c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
    out += buffer;
}

// Length of the well-formed UTF-8 sequence starting at s[i], or 0.
std::size_t sequence(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    char32_t cp;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF)
        n = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 4, cp = c & 0x07;
    else
        return 0;
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (d & 0x3F);
    }
    const bool shortest = (n == 3 && cp >= 0x800) || (n == 4 && cp >= 0x10000) || n == 2;
    const bool allowed = !(cp >= 0xD800 && cp <= 0xDFFF) && cp <= 0x10FFFF && cp != 0xFFFE && cp != 0xFFFF;
    return shortest && allowed ? n : 0;
}

void writeCase(std::FILE* f, const CaseReport& c, const std::string& classname, const char* indent) {
    std::fprintf(f, "%s<testcase name=\"%s\" classname=\"%s\" time=\"%.3f\"", indent, xmlText(c.name).c_str(),
                 xmlText(classname).c_str(), c.seconds);
    if (c.passed) {
        std::fputs("/>\n", f);
        return;
    }
    const char* element = c.error ? "error" : "failure";
    std::fprintf(f, ">\n%s  <%s message=\"%s\">%s</%s>\n%s</testcase>\n", indent, element,
                 xmlText(c.summary).c_str(), xmlText(c.details).c_str(), element, indent);
}

} // namespace

std::string xmlText(std::string_view text) {
    std::string r;
    r.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t n = sequence(text, i);
            if (n == 0) {
                hex(r, c);
                ++i;
            } else {
                r.append(text.substr(i, n));
                i += n;
            }
            continue;
        }
        switch (c) {
        case '&': r += "&amp;"; break;
        case '<': r += "&lt;"; break;
        case '>': r += "&gt;"; break;
        case '"': r += "&quot;"; break;
        case '\n': r += "&#10;"; break;
        case '\t': r += "&#9;"; break;
        default:
            if (c < 0x20 || c == 0x7F)
                hex(r, c);
            else
                r += static_cast<char>(c);
        }
        ++i;
    }
    return r;
}

JunitWriter::~JunitWriter() {
    if (file_ != nullptr) std::fclose(file_);
    if (!scratch_.empty()) ::unlink(scratch_.c_str());
}

bool JunitWriter::open(const std::string& path, std::string& error, const files::Deadline& deadline) {
    path_ = path;
    struct stat st;
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        // A pipe waits for its reader until the deadline only.
        const int fd = files::openForWriting(path, deadline, error);
        if (fd < 0) return false;
        file_ = ::fdopen(fd, "wb");
        if (file_ == nullptr) ::close(fd);
    } else {
        // Beside what a link names, so that the link still leads to the report.
        final_ = path;
        if (exists) {
            if (char* real = ::realpath(path.c_str(), nullptr)) {
                final_ = real;
                std::free(real);
            }
        }
        const auto slash = final_.rfind('/');
        scratch_ =
            (slash == std::string::npos ? std::string() : final_.substr(0, slash + 1)) + ".junit-XXXXXX";
        const int fd = ::mkstemp(scratch_.data());
        if (fd < 0) {
            scratch_.clear();
        } else {
            // The mode the report would have had, written in place.
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd, exists ? st.st_mode & 07777 : 0666 & ~mask);
            file_ = ::fdopen(fd, "wb");
            if (file_ == nullptr) ::close(fd);
        }
    }
    if (file_ == nullptr) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool JunitWriter::write(const std::vector<CaseReport>& cases, double seconds, std::string& error) {
    if (file_ == nullptr) {
        error = "cannot write " + path_;
        return false;
    }
    std::size_t failures = 0;
    for (const CaseReport& c : cases)
        if (!c.passed) ++failures;
    std::FILE* f = file_;
    file_ = nullptr;
    std::size_t errors = 0;
    for (const CaseReport& c : cases)
        if (c.error) ++errors;
    std::fprintf(f,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<testsuite name=\"borne-scenario\" tests=\"%zu\" failures=\"%zu\" errors=\"%zu\" "
                 "skipped=\"0\" time=\"%.3f\">\n",
                 cases.size(), failures - errors, errors, seconds);
    for (const CaseReport& c : cases)
        writeCase(f, c, "borne-scenario", "  ");
    std::fputs("</testsuite>\n", f);
    return close(f, error);
}

bool JunitWriter::write(const std::vector<SuiteReport>& suites, double seconds, std::string& error) {
    if (file_ == nullptr) {
        error = "cannot write " + path_;
        return false;
    }
    std::FILE* f = file_;
    file_ = nullptr;
    // failures and errors of each suite, then of all
    std::vector<std::pair<std::size_t, std::size_t>> counts;
    std::size_t tests = 0, failures = 0, errors = 0;
    for (const SuiteReport& s : suites) {
        auto& [failed, refused] = counts.emplace_back(0, 0);
        for (const CaseReport& c : s.cases)
            if (!c.passed) ++(c.error ? refused : failed);
        tests += s.cases.size();
        failures += failed;
        errors += refused;
    }
    std::fprintf(f,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<testsuites name=\"borne-scenario\" tests=\"%zu\" failures=\"%zu\" errors=\"%zu\" "
                 "time=\"%.3f\">\n",
                 tests, failures, errors, seconds);
    for (std::size_t i = 0; i < suites.size(); ++i) {
        const SuiteReport& s = suites[i];
        std::fprintf(f,
                     "  <testsuite name=\"%s\" tests=\"%zu\" failures=\"%zu\" errors=\"%zu\" skipped=\"0\" "
                     "time=\"%.3f\">\n",
                     xmlText(s.name).c_str(), s.cases.size(), counts[i].first, counts[i].second, s.seconds);
        if (!s.properties.empty()) {
            std::fputs("    <properties>\n", f);
            for (const auto& [name, value] : s.properties)
                std::fprintf(f, "      <property name=\"%s\" value=\"%s\"/>\n", xmlText(name).c_str(),
                             xmlText(value).c_str());
            std::fputs("    </properties>\n", f);
        }
        for (const CaseReport& c : s.cases)
            writeCase(f, c, s.name, "    ");
        std::fputs("  </testsuite>\n", f);
    }
    std::fputs("</testsuites>\n", f);
    return close(f, error);
}

bool JunitWriter::close(std::FILE* f, std::string& error) {
    const bool ok = std::ferror(f) == 0;
    if (std::fclose(f) != 0 || !ok) {
        error = "cannot write " + path_ + ": " + std::strerror(errno);
        return false;
    }
    if (!scratch_.empty()) {
        if (::rename(scratch_.c_str(), final_.c_str()) != 0) {
            error = "cannot write " + path_ + ": " + std::strerror(errno);
            return false;
        }
        scratch_.clear();
    }
    return true;
}

} // namespace borne::scenario
