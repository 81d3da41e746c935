#include "tools/protocol/Line.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace borne::protocol {

std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

bool unescaped(std::string_view field, std::string& text) {
    text.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            text.push_back(field[i]);
            continue;
        }
        if (++i == field.size()) return false;
        switch (field[i]) {
        case '\\': text.push_back('\\'); break;
        case 't': text.push_back('\t'); break;
        case 'n': text.push_back('\n'); break;
        case 'r': text.push_back('\r'); break;
        default: return false;
        }
    }
    return true;
}

bool validUtf8(std::string_view text) noexcept {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t n;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            n = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + n >= text.size()) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
        if ((n == 1 && cp < 0x80) || (n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> f;
    std::size_t from = 0;
    for (;;) {
        const auto tab = line.find('\t', from);
        f.push_back(line.substr(from, tab == std::string_view::npos ? std::string_view::npos : tab - from));
        if (tab == std::string_view::npos) return f;
        from = tab + 1;
    }
}

bool number(std::string_view field, std::int64_t& value) noexcept {
    bool negative = false;
    if (!field.empty() && field.front() == '-') {
        negative = true;
        field.remove_prefix(1);
    }
    if (field.empty() || field.size() > 18) return false;
    std::int64_t v = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    value = negative ? -v : v;
    return true;
}

namespace {

// Milliseconds to the deadline for poll(): -1 for none, 0 once passed.
int remaining(std::chrono::steady_clock::time_point deadline) {
    if (deadline == std::chrono::steady_clock::time_point::max()) return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    return left <= 0 ? 0 : left > 1000000 ? 1000000 : static_cast<int>(left) + 1;
}

} // namespace

bool Channel::flush(std::chrono::steady_clock::time_point deadline) {
    std::size_t sent = 0;
    while (sent < out_.size()) {
        const ssize_t n = ::send(fd_, out_.data() + sent, out_.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd_, POLLOUT, 0};
            const int wait = remaining(deadline);
            if (wait == 0) break;
            if (::poll(&p, 1, wait) < 0 && errno != EINTR) break;
            continue;
        }
        break;
    }
    const bool whole = sent == out_.size();
    out_.clear();
    return whole;
}

bool Channel::ready() const noexcept {
    return in_.find('\n', start_) != std::string::npos;
}

Channel::Got Channel::next(std::string& line, std::chrono::steady_clock::time_point deadline) {
    if (!out_.empty() && !flush(deadline)) return Got::Failed;
    std::size_t scanned = start_;
    for (;;) {
        const auto lf = in_.find('\n', scanned);
        if (lf != std::string::npos) {
            if (lf + 1 - start_ > kMaxLine) return Got::TooLong;
            line.assign(in_, start_, lf - start_);
            start_ = lf + 1;
            if (start_ == in_.size()) {
                in_.clear();
                start_ = 0;
            }
            return Got::Line;
        }
        if (in_.size() - start_ >= kMaxLine) return Got::TooLong;
        scanned = in_.size();
        if (start_ > 0) {
            in_.erase(0, start_);
            scanned -= start_;
            start_ = 0;
        }
        const int wait = remaining(deadline);
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, wait);
        if (r < 0) {
            if (errno == EINTR) continue;
            return Got::Failed;
        }
        if (r == 0) return Got::Late;
        char buffer[8192];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0) return Got::Closed;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return errno == ECONNRESET ? Got::Closed : Got::Failed;
        }
        in_.append(buffer, static_cast<std::size_t>(n));
    }
}

} // namespace borne::protocol
