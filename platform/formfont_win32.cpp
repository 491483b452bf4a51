#include "platform/formfont.h"

#include <cstring>

namespace pelvarn {

namespace {

bool MenuFont(LOGFONTA& font) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        // Systems before Vista know the structure without its last field.
        metrics.cbSize = sizeof metrics - sizeof metrics.iPaddedBorderWidth;
        if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
            return false;
    }
    font = metrics.lfMenuFont;
    return true;
}

std::string FaceOf(const LOGFONTA& font) {
    return std::string(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE - 1));
}

int CALLBACK CollectFamily(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM param) {
    auto* names = reinterpret_cast<std::vector<std::string>*>(param);
    names->push_back(FaceOf(*font));
    return 1;
}

std::vector<std::string> InstalledFamilies() {
    std::vector<std::string> names;
    HDC dc = GetDC(nullptr);
    if (!dc) return names;
    LOGFONTA query{};
    query.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExA(dc, &query, CollectFamily, reinterpret_cast<LPARAM>(&names), 0);
    ReleaseDC(nullptr, dc);
    return names;
}

std::string& StoredDefaultFace() {
    static std::string face = MenuFontFace();
    return face;
}

} // namespace

std::string MenuFontFace() {
    LOGFONTA font{};
    return MenuFont(font) ? FaceOf(font) : std::string();
}

const std::string& DefaultFontFace() {
    return StoredDefaultFace();
}

std::string FirstInstalledFont(const std::vector<std::string>& List,
                               const std::vector<std::string>& Installed,
                               const std::string& Fallback) {
    for (const auto& wanted : List)
        for (const auto& have : Installed)
            if (lstrcmpiA(wanted.c_str(), have.c_str()) == 0) return have;
    return Fallback;
}

std::string FirstInstalledFont(const std::vector<std::string>& List) {
    return FirstInstalledFont(List, InstalledFamilies(), MenuFontFace());
}

std::string ProportionalFontName() {
    return FirstInstalledFont({"Arial", "Segoe UI"});
}
std::string FixedFontName() {
    return FirstInstalledFont({"Consolas", "Courier New"});
}

void ApplyUiFont(LOGFONTA& Font) {
    LOGFONTA menu{};
    if (MenuFont(menu)) Font = menu;
    std::string face = ProportionalFontName();
    std::memset(Font.lfFaceName, 0, sizeof Font.lfFaceName);
    std::strncpy(Font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    int dpi = 96;
    if (HDC dc = GetDC(nullptr)) {
        dpi = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
    }
    Font.lfHeight = -MulDiv(10, dpi, 72);
    Font.lfWidth = 0;
}

std::string StockFixedFontName() {
    LOGFONTA font{};
    if (!GetObjectA(GetStockObject(ANSI_FIXED_FONT), sizeof font, &font)) return "";
    return FaceOf(font);
}

} // namespace pelvarn
