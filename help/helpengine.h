// The HTML Help engine as the help routing sees it: the five commands it sends. The Win32
// engine passes them to HtmlHelpA; tests record them.
#pragma once

#include <cstdint>
#include <string>

namespace pelvarn {

enum class THhCommand : unsigned {
    DisplayTopic = 0,  // the default topic; data 0
    DisplayToc = 1,    // the table of contents; data 0
    DisplayIndex = 2,  // the index at a keyword; data: the keyword text
    HelpContext = 15,  // the topic mapped to a context number; data: the number
    CloseAll = 18,     // every help window; no file, data 0
};

class THelpEngine {
  public:
    virtual ~THelpEngine() = default;
    // file is empty for CloseAll. number carries the context (or 0); keyword is used only by
    // DisplayIndex. The owner window is always none, and the result is not examined.
    virtual void HtmlHelp(THhCommand command, const std::string& file, std::uint32_t number,
                          const std::string& keyword) = 0;
};

} // namespace pelvarn
