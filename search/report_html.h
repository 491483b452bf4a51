// The search report as one self-contained page: inline style and pictures, no script and no
// outside resource, well-formed XML (it parses as XHTML too), readable printed and on a
// narrow screen. Every text taken from files is escaped.
#pragma once

#include <string>

#include "search/report.h"

namespace pelvarn::search {

std::string SearchReportHtml(const TSearchAnalysis& analysis);

} // namespace pelvarn::search
