// Records the terminal's writes to the panel as "NAME.PROPERTY = value" lines, in the order made.
#pragma once

#include "panel/PanneauOperateur.h"

#include <string>
#include <vector>

namespace borne::test {

class WriteLog {
public:
    WriteLog();
    ~WriteLog();
    WriteLog(const WriteLog&) = delete;
    WriteLog& operator=(const WriteLog&) = delete;

    std::vector<std::string> lines;

private:
    int key_;
};

} // namespace borne::test
