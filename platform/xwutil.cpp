// The portable part of xwUtil: the start-up snapshot's storage and the size text.
#include "platform/xwutil.h"

#include <cmath>

#include "base/textutil.h"
#include "platform/xwutil_os.h"

namespace pelvarn {

namespace {

xwutil_detail::TSnapshot& Snapshot() {
    static xwutil_detail::TSnapshot snapshot;
    return snapshot;
}

// A value with the given decimals, trailing zeros and then a trailing point removed.
std::string ShortNumber(float value, int decimals) {
    std::string text = FormatFixed(value, decimals);
    if (text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0')
            text.pop_back();
        if (!text.empty() && text.back() == '.') text.pop_back();
    }
    return text;
}

} // namespace

void InitXwUtil() {
    static int starts = 0;
    if (starts++ > 0) return;
    xwutil_detail::TakeSnapshot(Snapshot());
}

const std::string& ComSpec() {
    return Snapshot().ComSpec;
}
std::int32_t ProcessorCount() {
    return Snapshot().ProcessorCount;
}
const std::string& WineVersion() {
    return Snapshot().WineVersion;
}

std::string SizeText(std::int64_t Bytes) {
    const float kb = static_cast<float>(Bytes) / 1024.0f;
    const float mb = kb / 1024.0f;
    const float gb = mb / 1024.0f;
    float value;
    const char* unit;
    if (gb >= 1) {
        value = gb;
        unit = "GB";
    } else if (mb >= 1) {
        value = mb;
        unit = "MB";
    } else if (kb >= 1) {
        value = kb;
        unit = "KB";
    } else {
        return std::to_string(Bytes) + " bytes";
    }
    const int decimals = value > 100 ? 0 : value > 10 ? 1 : 2;
    return ShortNumber(value, decimals) + unit;
}

} // namespace pelvarn
