// The JUnit XML report that CI servers read: one testsuite, one testcase per scenario folder (its
// relative path as name, its time), a failure element with the first difference. A grade writes one
// testsuite per student instead, where a case that could not run at all is an error.
#pragma once

#include "tools/files/Files.h"

#include <cstdio>
#include <string>
#include <vector>

namespace borne::scenario {

struct CaseReport {
    std::string name;
    double seconds = 0;
    bool passed = true;
    std::string summary; // the failure's message
    std::string details; // the failure's text
    bool error = false;  // it could not run (a refused or missing script, a failure of the bench itself):
                         // an error element, not a failure
};

struct SuiteReport {
    std::string name; // also the classname of its cases
    double seconds = 0;
    std::vector<CaseReport> cases;
    std::vector<std::pair<std::string, std::string>> properties; // name, value: a properties element
};

class JunitWriter {
public:
    JunitWriter() = default;
    ~JunitWriter();
    JunitWriter(const JunitWriter&) = delete;
    JunitWriter& operator=(const JunitWriter&) = delete;

    // Makes a scratch file beside the path now, so a path that cannot be written is known before the
    // suite runs; write() renames it over the path once the report is whole, so a suite that stops
    // half-way leaves the previous report as it was. A path that is not a regular file (a pipe,
    // /dev/stdout) is written in place; a named pipe waits for its reader until the deadline only
    // (without one, for as long as it takes). False with a message naming the path.
    bool open(const std::string& path, std::string& error, const files::Deadline& deadline = std::nullopt);
    bool write(const std::vector<CaseReport>& cases, double seconds, std::string& error);
    // Several testsuites in one testsuites element.
    bool write(const std::vector<SuiteReport>& suites, double seconds, std::string& error);

private:
    bool close(std::FILE* f, std::string& error);

    std::string path_;
    std::string scratch_; // the report being written, renamed to final_
    std::string final_;
    std::FILE* file_ = nullptr;
};

// Text made safe for XML 1.0: markup characters as entities, control characters (which XML cannot hold
// at all) as \xHH, and bytes that are not UTF-8 as \xHH.
std::string xmlText(std::string_view text);

} // namespace borne::scenario
