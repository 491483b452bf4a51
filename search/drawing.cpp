#include "search/drawing.h"

#include <cmath>

#include "base/textutil.h"

namespace pelvarn::search {

void TDrawing::AddLine(TPoint a, TPoint b, TColour colour, double width) {
    TShape s;
    s.Kind = TShapeKind::Line;
    s.Points = {a, b};
    s.Stroke = colour;
    s.Width = width;
    Shapes.push_back(std::move(s));
}

void TDrawing::AddPolyline(std::vector<TPoint> points, TColour colour, double width) {
    if (points.size() < 2) return;
    TShape s;
    s.Kind = TShapeKind::Polyline;
    s.Points = std::move(points);
    s.Stroke = colour;
    s.Width = width;
    Shapes.push_back(std::move(s));
}

void TDrawing::AddRect(TPoint topLeft, TPoint bottomRight, TColour stroke, bool stroked,
                       TColour fill, bool filled) {
    TShape s;
    s.Kind = TShapeKind::Rect;
    s.Points = {topLeft, bottomRight};
    s.Stroke = stroke;
    s.Stroked = stroked;
    s.Fill = fill;
    s.Filled = filled;
    Shapes.push_back(std::move(s));
}

void TDrawing::AddMarker(TPoint centre, TMarkerKind kind, double radius, TColour colour) {
    TShape s;
    s.Kind = TShapeKind::Marker;
    s.Points = {centre};
    s.Marker = kind;
    s.Size = radius;
    s.Stroke = colour;
    s.Fill = colour;
    s.Filled = kind != TMarkerKind::Cross;
    s.Width = 1.5;
    Shapes.push_back(std::move(s));
}

void TDrawing::AddText(TPoint at, const std::string& text, double size, TColour colour,
                       TAnchor anchor, double rotation, bool bold) {
    TShape s;
    s.Kind = TShapeKind::Text;
    s.Points = {at};
    s.Text = text;
    s.Size = size;
    s.Stroke = colour;
    s.Anchor = anchor;
    s.Rotation = rotation;
    s.Bold = bold;
    Shapes.push_back(std::move(s));
}

TTicks RoundTicks(double lo, double hi, int wanted) {
    TTicks t;
    if (!(hi > lo) || !std::isfinite(lo) || !std::isfinite(hi)) {
        t.Values = {lo};
        return t;
    }
    if (wanted < 1) wanted = 1;
    const double raw = (hi - lo) / wanted;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    // The round step whose number of steps comes nearest to the wish.
    double step = power;
    for (double m : {2.0, 5.0, 10.0})
        if (std::abs((hi - lo) / (m * power) - wanted) < std::abs((hi - lo) / step - wanted))
            step = m * power;
    t.Step = step;
    const long long first = static_cast<long long>(std::ceil(lo / step - 1e-9));
    const long long last = static_cast<long long>(std::floor(hi / step + 1e-9));
    for (long long k = first; k <= last; ++k) {
        const double v = static_cast<double>(k) * step;
        t.Values.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
    }
    t.Decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    return t;
}

std::string XmlText(const std::string& text) {
    std::string out;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '<')
                out += "&lt;";
            else if (c == '>')
                out += "&gt;";
            else if (c == '&')
                out += "&amp;";
            else if (c == '"')
                out += "&quot;";
            else if (c == '\'')
                out += "&#39;";
            else if (c >= 32 && c != 127)
                out += static_cast<char>(c);
            else if (c == '\t' || c == '\n')
                out += ' ';
            continue;
        }
        // A well-formed UTF-8 sequence is kept as it is.
        const int length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        bool valid = length > 0 && c < 0xF5 && i + length <= n;
        for (int k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (valid && length == 3) {
            const unsigned char c1 = static_cast<unsigned char>(text[i + 1]);
            valid = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);
        } else if (valid && length == 4) {
            const unsigned char c1 = static_cast<unsigned char>(text[i + 1]);
            valid = !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
        }
        if (valid) {
            out.append(text, i, static_cast<std::size_t>(length));
            i += static_cast<std::size_t>(length) - 1;
        } else if (c >= 0xA0) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += "&#xFFFD;"; // 0x80 to 0x9F: no printable Latin-1 character
        }
    }
    return out;
}

namespace {

std::string Num(double v) {
    std::string s = FormatFixed(v, 1);
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
    return s == "-0" ? "0" : s;
}

std::string Colour(TColour c) {
    const char* hex = "0123456789abcdef";
    std::string s = "#";
    for (std::uint8_t v : {c.R, c.G, c.B}) {
        s += hex[v >> 4];
        s += hex[v & 15];
    }
    return s;
}

std::string PointList(const std::vector<TPoint>& points) {
    std::string s;
    for (const TPoint& p : points)
        s += (s.empty() ? "" : " ") + Num(p.X) + "," + Num(p.Y);
    return s;
}

std::string StrokeAttributes(const TShape& s) {
    return " stroke=\"" + Colour(s.Stroke) + "\"" +
           (s.Width != 1 ? " stroke-width=\"" + Num(s.Width) + "\"" : "");
}

std::string ShapeSvg(const TShape& s) {
    switch (s.Kind) {
    case TShapeKind::Line:
        return "<line x1=\"" + Num(s.Points[0].X) + "\" y1=\"" + Num(s.Points[0].Y) + "\" x2=\"" +
               Num(s.Points[1].X) + "\" y2=\"" + Num(s.Points[1].Y) + "\"" + StrokeAttributes(s) +
               "/>";
    case TShapeKind::Polyline:
        return "<polyline points=\"" + PointList(s.Points) + "\" fill=\"none\"" +
               StrokeAttributes(s) + " stroke-linejoin=\"round\"/>";
    case TShapeKind::Rect: {
        const TPoint a = s.Points[0], b = s.Points[1];
        return "<rect x=\"" + Num(a.X) + "\" y=\"" + Num(a.Y) + "\" width=\"" + Num(b.X - a.X) +
               "\" height=\"" + Num(b.Y - a.Y) + "\" fill=\"" +
               (s.Filled ? Colour(s.Fill) : "none") + "\"" +
               (s.Stroked ? StrokeAttributes(s) : "") + "/>";
    }
    case TShapeKind::Marker: {
        const TPoint c = s.Points[0];
        const double r = s.Size;
        if (s.Marker == TMarkerKind::Dot)
            return "<circle cx=\"" + Num(c.X) + "\" cy=\"" + Num(c.Y) + "\" r=\"" + Num(r) +
                   "\" fill=\"" + Colour(s.Fill) + "\"/>";
        if (s.Marker == TMarkerKind::Triangle)
            return "<polygon points=\"" +
                   PointList({{c.X, c.Y - r}, {c.X + r, c.Y + r * 0.8}, {c.X - r, c.Y + r * 0.8}}) +
                   "\" fill=\"" + Colour(s.Fill) + "\"/>";
        return "<path d=\"M" + Num(c.X - r) + " " + Num(c.Y - r) + "L" + Num(c.X + r) + " " +
               Num(c.Y + r) + "M" + Num(c.X - r) + " " + Num(c.Y + r) + "L" + Num(c.X + r) + " " +
               Num(c.Y - r) + "\"" + StrokeAttributes(s) + "/>";
    }
    case TShapeKind::Text: {
        const TPoint p = s.Points[0];
        const char* anchor = s.Anchor == TAnchor::Start    ? "start"
                             : s.Anchor == TAnchor::Middle ? "middle"
                                                           : "end";
        std::string e =
            "<text x=\"" + Num(p.X) + "\" y=\"" + Num(p.Y) + "\" font-size=\"" + Num(s.Size) + "\"";
        if (s.Anchor != TAnchor::Start) e += std::string(" text-anchor=\"") + anchor + "\"";
        if (s.Stroke != TColour{}) e += " fill=\"" + Colour(s.Stroke) + "\"";
        if (s.Bold) e += " font-weight=\"bold\"";
        if (s.Rotation != 0)
            e +=
                " transform=\"rotate(" + Num(-s.Rotation) + " " + Num(p.X) + " " + Num(p.Y) + ")\"";
        return e + ">" + XmlText(s.Text) + "</text>";
    }
    }
    return "";
}

} // namespace

std::string SvgElement(const TDrawing& d) {
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(d.Width) +
                      "\" height=\"" + Num(d.Height) + "\" viewBox=\"0 0 " + Num(d.Width) + " " +
                      Num(d.Height) + "\" font-family=\"sans-serif\">\n";
    svg += "<rect width=\"" + Num(d.Width) + "\" height=\"" + Num(d.Height) + "\" fill=\"" +
           Colour(d.Background) + "\"/>\n";
    for (const TShape& s : d.Shapes)
        svg += ShapeSvg(s) + "\n";
    return svg + "</svg>\n";
}

std::string SvgDocument(const TDrawing& drawing) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + SvgElement(drawing);
}

} // namespace pelvarn::search
