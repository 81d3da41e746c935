// The page's own files, as written in tools/report/site/ (built in).
#pragma once

#include <string_view>

namespace borne::report {

extern const std::string_view kIndexHtml;
extern const std::string_view kReportCss;
extern const std::string_view kReportJs;

} // namespace borne::report
