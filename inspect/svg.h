// A small self-contained SVG picture: a line plot above a colour map.
#pragma once

#include <string>
#include <vector>

namespace zereduv::inspect {

struct LinePlot {
  std::string title, xlabel, ylabel;
  std::vector<double> x, y;
};

/// A rectangle and lines in data coordinates drawn over a colour map: the
/// output grid over the map a run resamples.
struct GridOverlay {
  double xlo = 0, xhi = 0, ylo = 0, yhi = 0;  // the box
  std::vector<double> xlines, ylines;         // grid lines inside it
  std::string label;                          // its legend entry
};

/// Values on a rectangular grid of node coordinates xc (columns) and yc
/// (rows); v[row * xc.size() + col].  Nodes marked in `none` hold no field
/// (metal, or outside the map): they are hatched grey, not coloured as a
/// weak field.
struct ColourMap {
  std::string title, xlabel, ylabel, unit;
  std::vector<double> xc, yc;
  std::vector<double> v;
  std::vector<unsigned char> none;  // empty, or one flag per value
  std::string none_label;           // legend text of the hatched cells
  std::vector<GridOverlay> overlay;
};

/// The width a text takes at this font size, estimated on the safe side
/// (0.62 em per character), for placing labels clear of each other.
double text_width(const std::string& s, int size);

/// Tick positions 1, 2 or 5 times a power of ten covering [lo, hi].
std::vector<double> nice_ticks(double lo, double hi, int target = 6);

/// The picture: title line, the plot, then each map with its colour bar;
/// every panel has the same plot width and z range, so that z lines up.
std::string svg_picture(const std::string& heading, const LinePlot& plot,
                        const std::vector<ColourMap>& maps);

/// A name shortened for a title: at most `max` bytes, its beginning replaced
/// by an ellipsis when it is longer (cut between UTF-8 characters).
std::string short_name(const std::string& name, std::size_t max = 48);

/// Text with &, <, > and quotes escaped for XML, and what is not UTF-8 (or
/// not an XML character) replaced, so the picture always parses.
std::string xml_escape(const std::string& s);

}  // namespace zereduv::inspect
