// The report page's scripts and styles, taken into the program at build time
// (dygraphs from the system's libjs-dygraphs, the page's own from report_page/).
#pragma once

#include <string_view>

extern const std::string_view DYGRAPHS_SCRIPT;
extern const std::string_view DYGRAPHS_STYLE;
extern const std::string_view REPORT_SCRIPT;
extern const std::string_view REPORT_STYLE;
