// A picture as a list of shapes in its own coordinates (x to the right, y downwards, in
// pixels of a Width x Height canvas), built by portable code and painted by a painter: SVG
// text for files and reports, a device context for a window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelvarn::search {

struct TColour {
    std::uint8_t R = 0, G = 0, B = 0;
    bool operator==(const TColour&) const = default;
};

struct TPoint {
    double X = 0, Y = 0;
};

enum class TShapeKind { Line, Polyline, Rect, Marker, Text };
enum class TMarkerKind { Dot, Cross, Triangle };
// Where a text's point lies on its baseline: at the text's start, middle or end.
enum class TAnchor { Start, Middle, End };

struct TShape {
    TShapeKind Kind = TShapeKind::Line;
    // Line: two points; Polyline: two or more; Rect: top-left and bottom-right corners;
    // Marker: its centre; Text: the anchor point on the baseline.
    std::vector<TPoint> Points;
    TColour Stroke;      // lines, outlines, a cross, the colour of a text
    bool Stroked = true; // a rectangle may be filled only
    TColour Fill;
    bool Filled = false; // rectangles, dots and triangles
    double Width = 1;    // of lines and outlines
    TMarkerKind Marker = TMarkerKind::Dot;
    double Size = 0;  // a marker's radius, or a text's height in pixels
    std::string Text; // 8-bit text as read from files; painters escape it
    TAnchor Anchor = TAnchor::Start;
    double Rotation = 0; // degrees, counter-clockwise about the anchor point
    bool Bold = false;
};

struct TDrawing {
    double Width = 0, Height = 0;
    TColour Background{255, 255, 255};
    std::vector<TShape> Shapes;

    void AddLine(TPoint a, TPoint b, TColour colour, double width = 1);
    void AddPolyline(std::vector<TPoint> points, TColour colour, double width = 1);
    void AddRect(TPoint topLeft, TPoint bottomRight, TColour stroke, bool stroked, TColour fill,
                 bool filled);
    void AddMarker(TPoint centre, TMarkerKind kind, double radius, TColour colour);
    void AddText(TPoint at, const std::string& text, double size, TColour colour,
                 TAnchor anchor = TAnchor::Start, double rotation = 0, bool bold = false);
};

// Round values for an axis from lo to hi: about `wanted` steps of 1, 2 or 5 times a power of
// ten, every multiple of the step within [lo, hi]. Decimals: how many a label needs.
struct TTicks {
    double Step = 1;
    std::vector<double> Values;
    int Decimals = 0;
};
TTicks RoundTicks(double lo, double hi, int wanted);

// The drawing as a standalone SVG element (no XML declaration): it scales to the width of
// its container and keeps its proportions.
std::string SvgElement(const TDrawing& drawing);
// The drawing as an SVG file's text.
std::string SvgDocument(const TDrawing& drawing);

// Text from files (8-bit, perhaps UTF-8) as XML character data: markup characters escaped,
// valid UTF-8 kept, any other byte read as Latin-1, control characters dropped.
std::string XmlText(const std::string& text);

} // namespace pelvarn::search
