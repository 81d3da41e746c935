#include "tools/scenario/Wire.h"

#include "tools/files/Files.h"

#include <cerrno>
#include <string>
#include <string_view>
#include <unistd.h>

namespace borne::scenario {

namespace {

// What a worker sends back is cut to this: a report, not a dump.
constexpr std::size_t kMaxSummary = 4096;
constexpr std::size_t kMaxDetails = 65536;
constexpr std::size_t kMaxCoverage = 1 << 20; // far above the counts of one run (a few kilobytes)

struct Record {
    std::uint32_t index;
    std::uint32_t passed; // 0 failed, 1 passed, 2 the bench failed
    double seconds;
    std::uint32_t summary;
    std::uint32_t details;
    std::uint32_t coverage;
    std::int32_t expectationsPassed;
    std::int32_t expectationsFailed;
};

} // namespace

bool readAll(int fd, void* data, std::size_t size) {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool sendOutcome(int fd, std::uint32_t index, const ScenarioOutcome& o) {
    const std::string_view summary = std::string_view(o.summary).substr(0, kMaxSummary);
    const std::string_view details = std::string_view(o.details).substr(0, kMaxDetails);
    // Counts are never cut: a part of them would be wrong counts.
    const std::string_view coverage = o.coverage.size() <= kMaxCoverage ? o.coverage : std::string_view();
    const Record r{index,
                   o.passed  ? 1u
                   : o.error ? 2u
                             : 0u,
                   o.seconds,
                   static_cast<std::uint32_t>(summary.size()),
                   static_cast<std::uint32_t>(details.size()),
                   static_cast<std::uint32_t>(coverage.size()),
                   o.expectationsPassed,
                   o.expectationsFailed};
    std::string message(reinterpret_cast<const char*>(&r), sizeof r);
    message.append(summary).append(details).append(coverage);
    return files::writeWhole(fd, message);
}

bool receiveOutcome(int fd, std::uint32_t& index, ScenarioOutcome& o) {
    Record r;
    if (!readAll(fd, &r, sizeof r) || r.summary > kMaxSummary || r.details > kMaxDetails ||
        r.coverage > kMaxCoverage)
        return false;
    o.summary.resize(r.summary);
    o.details.resize(r.details);
    o.coverage.resize(r.coverage);
    if (!readAll(fd, o.summary.data(), r.summary) || !readAll(fd, o.details.data(), r.details) ||
        !readAll(fd, o.coverage.data(), r.coverage))
        return false;
    index = r.index;
    o.passed = r.passed == 1;
    o.error = r.passed == 2;
    o.seconds = r.seconds;
    o.expectationsPassed = r.expectationsPassed;
    o.expectationsFailed = r.expectationsFailed;
    return true;
}

} // namespace borne::scenario
