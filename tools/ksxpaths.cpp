// The chosen file's paths with this system's file-name rules. Kept apart from movecnd.cpp
// so that the portable tool links without the platform's xwUtil services.
#include "base/paths.h"
#include "platform/xwutil.h"
#include "tools/movecnd.h"

namespace pelvarn {

namespace {

#ifdef _WIN32
constexpr bool NamesIgnoreCase = true;
#else
constexpr bool NamesIgnoreCase = false;
#endif

} // namespace

TKsxPaths KsxPathsFor(const std::string& chosenPath) {
    return KsxPathsFor(chosenPath, LowerFileName(FileNamePart(chosenPath)), NamesIgnoreCase,
                       PathDelim);
}

} // namespace pelvarn
