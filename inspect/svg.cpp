#include "svg.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "numfmt.h"

namespace zereduv::inspect {

namespace {

std::string n1(double v) {
  return num_fixed(v, 1);
}

/// A perceptually ordered colour scale (dark blue to yellow), t in [0, 1].
std::string colour(double t) {
  static constexpr std::array<std::array<double, 3>, 6> stops = {
      {{68, 1, 84},
       {65, 68, 135},
       {42, 120, 142},
       {34, 168, 132},
       {122, 209, 81},
       {253, 231, 37}}};
  if (!(t >= 0))
    t = 0;
  if (t > 1)
    t = 1;
  double s = t * (stops.size() - 1);
  std::size_t k =
      std::min<std::size_t>(static_cast<std::size_t>(s), stops.size() - 2);
  double f = s - static_cast<double>(k);
  char buf[8];
  static const char* hex = "0123456789abcdef";
  buf[0] = '#';
  for (int c = 0; c < 3; ++c) {
    double v = stops[k][static_cast<std::size_t>(c)] * (1 - f) +
               stops[k + 1][static_cast<std::size_t>(c)] * f;
    int iv = static_cast<int>(std::lround(v));
    buf[1 + 2 * c] = hex[(iv >> 4) & 15];
    buf[2 + 2 * c] = hex[iv & 15];
  }
  buf[7] = 0;
  return buf;
}

struct Frame {
  double x0, y0, w, h;        // pixel box
  double xlo, xhi, ylo, yhi;  // data range
  double px(double x) const { return x0 + (x - xlo) / (xhi - xlo) * w; }
  double py(double y) const { return y0 + h - (y - ylo) / (yhi - ylo) * h; }
};

void range(const std::vector<double>& v, double& lo, double& hi) {
  lo = hi = 0;
  bool first = true;
  for (double x : v) {
    if (!std::isfinite(x))
      continue;
    if (first) {
      lo = hi = x;
      first = false;
    }
    lo = std::min(lo, x);
    hi = std::max(hi, x);
  }
  if (hi <= lo) {
    double d = lo == 0 ? 1.0 : std::abs(lo) * 0.1;
    lo -= d;
    hi += d;
  }
}

std::string text(double x, double y, const std::string& s,
                 const char* anchor = "middle", int size = 13,
                 const std::string& extra = "") {
  return "<text x=\"" + n1(x) + "\" y=\"" + n1(y) + "\" font-size=\"" +
         std::to_string(size) + "\" text-anchor=\"" + anchor + "\"" + extra +
         ">" + xml_escape(s) + "</text>\n";
}

std::string axes(const Frame& f, const std::string& xlabel,
                 const std::string& ylabel) {
  std::string o;
  o += "<rect x=\"" + n1(f.x0) + "\" y=\"" + n1(f.y0) + "\" width=\"" +
       n1(f.w) + "\" height=\"" + n1(f.h) +
       "\" fill=\"none\" stroke=\"#000\" stroke-width=\"1\"/>\n";
  for (double t : nice_ticks(f.xlo, f.xhi)) {
    double x = f.px(t);
    o += "<line x1=\"" + n1(x) + "\" y1=\"" + n1(f.y0 + f.h) + "\" x2=\"" +
         n1(x) + "\" y2=\"" + n1(f.y0 + f.h + 5) + "\" stroke=\"#000\"/>\n";
    o += text(x, f.y0 + f.h + 19, num(t, 6));
  }
  double widest = 0;
  for (double t : nice_ticks(f.ylo, f.yhi)) {
    double y = f.py(t);
    o += "<line x1=\"" + n1(f.x0 - 5) + "\" y1=\"" + n1(y) + "\" x2=\"" +
         n1(f.x0) + "\" y2=\"" + n1(y) + "\" stroke=\"#000\"/>\n";
    o += text(f.x0 - 8, y + 4, num(t, 6), "end");
    widest = std::max(widest, text_width(num(t, 6), 13));
  }
  o += text(f.x0 + f.w / 2, f.y0 + f.h + 36, xlabel);
  // The rotated label's baseline stands a gap left of the widest tick
  // label; its glyphs reach up to one em to the left of it.
  double yl = f.x0 - 8 - widest - 6, ym = f.y0 + f.h / 2;
  o += text(yl, ym, ylabel, "middle", 13,
            " transform=\"rotate(-90 " + n1(yl) + " " + n1(ym) + ")\"");
  return o;
}

}  // namespace

std::string xml_escape(const std::string& s) {
  static constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD
  std::string o;
  for (std::size_t k = 0; k < s.size();) {
    const auto c = static_cast<unsigned char>(s[k]);
    switch (c) {
    case '&':
      o += "&amp;";
      ++k;
      continue;
    case '<':
      o += "&lt;";
      ++k;
      continue;
    case '>':
      o += "&gt;";
      ++k;
      continue;
    case '"':
      o += "&quot;";
      ++k;
      continue;
    default:
      break;
    }
    if (c < 0x80) {
      // Control characters are not allowed in XML 1.0 text.
      o += c < 0x20 && c != '\t' ? '?' : static_cast<char>(c);
      ++k;
      continue;
    }
    // A UTF-8 sequence is copied when it is well formed (shortest form, no
    // surrogate, at most U+10FFFF) and an XML character; any other byte,
    // such as a Latin-1 letter in a file name, becomes U+FFFD.
    const std::size_t len = c >= 0xF8   ? 0
                            : c >= 0xF0 ? 4
                            : c >= 0xE0 ? 3
                            : c >= 0xC0 ? 2
                                        : 0;
    char32_t cp = len == 4 ? c & 0x07u : len == 3 ? c & 0x0Fu : c & 0x1Fu;
    bool good = len != 0 && k + len <= s.size();
    for (std::size_t j = 1; good && j < len; ++j) {
      const auto t = static_cast<unsigned char>(s[k + j]);
      good = (t & 0xC0) == 0x80;
      cp = (cp << 6) | (t & 0x3Fu);
    }
    static constexpr char32_t kShortest[5] = {0, 0, 0x80, 0x800, 0x10000};
    good = good && cp >= kShortest[len] && cp <= 0x10FFFF &&
           !(cp >= 0xD800 && cp <= 0xDFFF) && cp != 0xFFFE && cp != 0xFFFF;
    if (good) {
      o.append(s, k, len);
      k += len;
    } else {
      o += kReplacement;
      ++k;
    }
  }
  return o;
}

std::vector<double> nice_ticks(double lo, double hi, int target) {
  std::vector<double> t;
  if (!(hi > lo) || !std::isfinite(lo) || !std::isfinite(hi))
    return t;
  double raw = (hi - lo) / target;
  double p = std::pow(10.0, std::floor(std::log10(raw)));
  double step = p;
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * p >= raw) {
      step = m * p;
      break;
    }
  double first = std::ceil(lo / step - 1e-9) * step;
  for (int k = 0; k < 100; ++k) {
    double v = first + k * step;
    if (v > hi + step * 1e-9)
      break;
    t.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
  }
  return t;
}

std::string short_name(const std::string& name, std::size_t max) {
  if (name.size() <= max || max < 4)
    return name;
  // Keep the end (the file's own name), cut where a UTF-8 character begins.
  std::size_t from = name.size() - (max - 3);
  while (from < name.size() &&
         (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80)
    ++from;
  // Rather from a directory separator, when one follows.
  const std::size_t slash = name.find('/', from);
  if (slash != std::string::npos && slash + 1 < name.size())
    from = slash;
  return "\xE2\x80\xA6" + name.substr(from);
}

double text_width(const std::string& s, int size) {
  std::size_t chars = 0;
  for (char c : s)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
      ++chars;
  return 0.62 * size * static_cast<double>(chars);
}

namespace {

// The range widened to the nearest ticks outside it, so that the ticks cover
// the extremes of the curve.
void cover_with_ticks(double& lo, double& hi) {
  const std::vector<double> t = nice_ticks(lo, hi);
  if (t.size() < 2)
    return;
  const double step = t[1] - t[0];
  lo = std::min(lo, std::floor(lo / step + 1e-9) * step);
  hi = std::max(hi, std::ceil(hi / step - 1e-9) * step);
}

// Every panel: its frame, then below it the tick labels, the axis label
// and a legend line, then a gap before the next panel's title.
constexpr double kLeft = 110, kPlotWidth = 680, kWidth = 980;
constexpr double kPlotTop = 70, kPlotHeight = 220;
constexpr double kMapTop = 380, kMapHeight = 210, kMapPitch = 310;
constexpr double kLegendBelow = 58;  // legend baseline below a map's frame

/// The hatching of nodes without field, defined once per picture.
constexpr const char* kNoFieldPattern =
    "<defs><pattern id=\"nofield\" width=\"6\" height=\"6\" "
    "patternUnits=\"userSpaceOnUse\" patternTransform=\"rotate(45)\">"
    "<rect width=\"6\" height=\"6\" fill=\"#d9d9d9\"/>"
    "<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" stroke=\"#8c8c8c\" "
    "stroke-width=\"2\"/></pattern></defs>\n";

std::string overlay(const Frame& f, const GridOverlay& g) {
  std::string o = "<g fill=\"none\" stroke=\"#e8352b\">\n";
  for (double x : g.xlines)
    o += "<line x1=\"" + n1(f.px(x)) + "\" y1=\"" + n1(f.py(g.ylo)) +
         "\" x2=\"" + n1(f.px(x)) + "\" y2=\"" + n1(f.py(g.yhi)) +
         "\" stroke-width=\"0.5\" stroke-opacity=\"0.7\"/>\n";
  for (double y : g.ylines)
    o += "<line x1=\"" + n1(f.px(g.xlo)) + "\" y1=\"" + n1(f.py(y)) +
         "\" x2=\"" + n1(f.px(g.xhi)) + "\" y2=\"" + n1(f.py(y)) +
         "\" stroke-width=\"0.5\" stroke-opacity=\"0.7\"/>\n";
  const double x0 = f.px(g.xlo), x1 = f.px(g.xhi);
  const double y0 = f.py(g.yhi), y1 = f.py(g.ylo);
  o += "<rect x=\"" + n1(x0) + "\" y=\"" + n1(y0) + "\" width=\"" +
       n1(x1 - x0) + "\" height=\"" + n1(y1 - y0) +
       "\" stroke-width=\"2\"/>\n</g>\n";
  return o;
}

/// One legend entry: a swatch and its text; returns where the next begins.
double legend_entry(std::string& o, double x, double y, const char* fill,
                    const char* stroke, const std::string& label) {
  o += "<rect x=\"" + n1(x) + "\" y=\"" + n1(y - 10) +
       "\" width=\"14\" height=\"12\" fill=\"" + fill + "\" stroke=\"" +
       stroke + "\" stroke-width=\"" +
       (std::string(fill) == "none" ? "2" : "1") + "\"/>\n";
  o += text(x + 20, y, label, "start", 12);
  return x + 20 + text_width(label, 12) + 24;
}

std::string colour_map(const ColourMap& map, double top, double zlo,
                       double zhi) {
  std::string o;
  Frame f{kLeft, top, kPlotWidth, kMapHeight, zlo, zhi, 0, 0};
  range(map.yc, f.ylo, f.yhi);
  o += text(f.x0 + f.w / 2, f.y0 - 10, map.title, "middle", 14);
  auto no_field = [&](std::size_t k) {
    return k < map.none.size() && map.none[k] != 0;
  };
  double vmax = 0;
  for (std::size_t k = 0; k < map.v.size(); ++k)
    if (std::isfinite(map.v[k]) && !no_field(k))
      vmax = std::max(vmax, map.v[k]);
  // At most about 300 x 120 cells.
  const std::size_t nx = map.xc.size(), ny = map.yc.size();
  const std::size_t sx = std::max<std::size_t>(1, (nx + 299) / 300);
  const std::size_t sy = std::max<std::size_t>(1, (ny + 119) / 120);
  o += "<g shape-rendering=\"crispEdges\">\n";
  for (std::size_t r = 0; r < ny; r += sy) {
    for (std::size_t c = 0; c < nx && r * nx + c < map.v.size(); c += sx) {
      // Cell edges halfway to the neighbouring shown nodes.
      auto edge = [](const std::vector<double>& a, std::size_t i,
                     std::size_t step, bool upper) {
        std::size_t n = a.size();
        if (upper) {
          std::size_t j = i + step;
          return j < n ? (a[i] + a[j]) / 2 : a[n - 1];
        }
        return i == 0 ? a[0] : (a[i] + a[i - step]) / 2;
      };
      double x0 = f.px(edge(map.xc, c, sx, false));
      double x1 = f.px(edge(map.xc, c, sx, true));
      double y1 = f.py(edge(map.yc, r, sy, false));
      double y0 = f.py(edge(map.yc, r, sy, true));
      double v = map.v[r * nx + c];
      o += "<rect x=\"" + n1(x0) + "\" y=\"" + n1(y0) + "\" width=\"" +
           n1(std::max(x1 - x0, 0.1) + 0.3) + "\" height=\"" +
           n1(std::max(y1 - y0, 0.1) + 0.3) + "\" fill=\"" +
           (no_field(r * nx + c) ? std::string("url(#nofield)")
                                 : colour(vmax > 0 ? v / vmax : 0)) +
           "\"/>\n";
    }
  }
  o += "</g>\n";
  for (const GridOverlay& g : map.overlay)
    o += overlay(f, g);
  o += axes(f, map.xlabel, map.ylabel);
  // The legend line: what is hatched, what the overlay is.
  double lx = f.x0;
  const double ly = f.y0 + f.h + kLegendBelow;
  bool any_none = false;
  for (std::size_t k = 0; k < map.v.size() && !any_none; ++k)
    any_none = no_field(k);
  if (any_none)
    lx = legend_entry(o, lx, ly, "url(#nofield)", "#8c8c8c", map.none_label);
  for (const GridOverlay& g : map.overlay)
    lx = legend_entry(o, lx, ly, "none", "#e8352b", g.label);
  // Colour bar with labelled ticks from 0 to the largest value.
  const double bx = kLeft + kPlotWidth + 20, bw = 22;
  for (int k = 0; k < 50; ++k) {
    double y = f.y0 + f.h - (k + 1) * f.h / 50;
    o += "<rect x=\"" + n1(bx) + "\" y=\"" + n1(y) + "\" width=\"" + n1(bw) +
         "\" height=\"" + n1(f.h / 50 + 0.3) + "\" fill=\"" +
         colour((k + 0.5) / 50) + "\"/>\n";
  }
  o += "<rect x=\"" + n1(bx) + "\" y=\"" + n1(f.y0) + "\" width=\"" + n1(bw) +
       "\" height=\"" + n1(f.h) + "\" fill=\"none\" stroke=\"#000\"/>\n";
  std::vector<double> ticks =
      vmax > 0 ? nice_ticks(0, vmax, 4) : std::vector<double>{0.0};
  for (double t : ticks) {
    double y = f.y0 + f.h - (vmax > 0 ? t / vmax : 0) * f.h;
    o += "<line x1=\"" + n1(bx + bw) + "\" y1=\"" + n1(y) + "\" x2=\"" +
         n1(bx + bw + 4) + "\" y2=\"" + n1(y) + "\" stroke=\"#000\"/>\n";
    o += text(bx + bw + 6, y + 4, num(t, 4), "start", 12);
  }
  // The unit and the largest value under the bar, ending at the picture's
  // right edge when it is wider than the room to the right of the bar.
  const std::string unit = map.unit + (vmax > 0 ? ", max " + num(vmax, 4) : "");
  const double room = kWidth - 8 - (bx + bw / 2);
  if (text_width(unit, 12) / 2 <= room)
    o += text(bx + bw / 2, f.y0 + f.h + 36, unit, "middle", 12);
  else
    o += text(kWidth - 8, f.y0 + f.h + 36, unit, "end", 12);
  return o;
}

}  // namespace

std::string svg_picture(const std::string& heading, const LinePlot& plot,
                        const std::vector<ColourMap>& maps) {
  const double width = kWidth;
  const double height = kMapTop + static_cast<double>(maps.size()) * kMapPitch;
  std::string o;
  o += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  o += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + n1(width) +
       "\" height=\"" + n1(height) + "\" viewBox=\"0 0 " + n1(width) + " " +
       n1(height) + "\" font-family=\"sans-serif\">\n";
  o += "<rect x=\"0\" y=\"0\" width=\"" + n1(width) + "\" height=\"" +
       n1(height) + "\" fill=\"#fff\"/>\n";
  o += kNoFieldPattern;
  // A long heading (a deep path) gets a smaller font rather than running
  // past the picture's edges.
  int heading_size = 15;
  while (heading_size > 8 && text_width(heading, heading_size) > width - 16)
    --heading_size;
  o += text(width / 2, 24, heading, "middle", heading_size);

  // One z range for every panel: the line's and the maps' together.
  std::vector<double> all_z = plot.x;
  for (const auto& m : maps)
    all_z.insert(all_z.end(), m.xc.begin(), m.xc.end());
  double zlo = 0, zhi = 0;
  range(all_z, zlo, zhi);

  // The line plot.
  {
    Frame f{kLeft, kPlotTop, kPlotWidth, kPlotHeight, zlo, zhi, 0, 0};
    range(plot.y, f.ylo, f.yhi);
    cover_with_ticks(f.ylo, f.yhi);
    o += text(f.x0 + f.w / 2, f.y0 - 10, plot.title, "middle", 14);
    if (f.ylo < 0 && f.yhi > 0)
      o += "<line x1=\"" + n1(f.x0) + "\" y1=\"" + n1(f.py(0)) + "\" x2=\"" +
           n1(f.x0 + f.w) + "\" y2=\"" + n1(f.py(0)) +
           "\" stroke=\"#999\" stroke-dasharray=\"4 3\"/>\n";
    o += "<polyline fill=\"none\" stroke=\"#1f4e9c\" stroke-width=\"1.5\" "
         "points=\"";
    for (std::size_t k = 0; k < plot.x.size() && k < plot.y.size(); ++k) {
      if (k)
        o += ' ';
      o += n1(f.px(plot.x[k])) + "," + n1(f.py(plot.y[k]));
    }
    o += "\"/>\n";
    o += axes(f, plot.xlabel, plot.ylabel);
  }
  for (std::size_t k = 0; k < maps.size(); ++k)
    o += colour_map(maps[k], kMapTop + static_cast<double>(k) * kMapPitch, zlo,
                    zhi);
  o += "</svg>\n";
  return o;
}

}  // namespace zereduv::inspect
