#include "header_scan.h"

#include <charconv>
#include <string>
#include <system_error>

namespace zereduv::inspect {

namespace {

std::vector<std::string_view> split_records(std::string_view text) {
  std::vector<std::string_view> out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t lf = text.find('\n', pos);
    std::size_t end = lf == std::string_view::npos ? text.size() : lf;
    std::string_view rec = text.substr(pos, end - pos);
    if (!rec.empty() && rec.back() == '\r') rec.remove_suffix(1);
    out.push_back(rec);
    if (lf == std::string_view::npos) break;
    pos = lf + 1;
  }
  return out;
}

/// Words separated by blanks, tabs, commas and parentheses.
std::vector<std::string_view> words(std::string_view s, bool keep_parens) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  auto is_sep = [&](char ch) {
    return ch == ' ' || ch == '\t' || ch == ',' ||
           (!keep_parens && (ch == '(' || ch == ')'));
  };
  while (i < s.size()) {
    while (i < s.size() && is_sep(s[i])) ++i;
    std::size_t b = i;
    while (i < s.size() && !is_sep(s[i])) ++i;
    if (i > b) out.push_back(s.substr(b, i - b));
  }
  return out;
}

bool parse_double(std::string_view w, double& v) {
  if (!w.empty() && w.front() == '+') w.remove_prefix(1);
  auto r = std::from_chars(w.data(), w.data() + w.size(), v);
  return r.ec == std::errc() && r.ptr == w.data() + w.size();
}

bool parse_int(std::string_view w, int& v) {
  auto r = std::from_chars(w.data(), w.data() + w.size(), v);
  return r.ec == std::errc() && r.ptr == w.data() + w.size();
}

/// Two numbers from column `col` (1-based) on.
bool two_values(std::string_view rec, std::size_t col, double& a, double& b) {
  if (rec.size() < col) return false;
  auto w = words(rec.substr(col - 1), false);
  return w.size() >= 2 && parse_double(w[0], a) && parse_double(w[1], b);
}

/// A node record: its first six words are numbers.
bool is_node_record(std::string_view rec) {
  auto w = words(rec, true);
  if (w.size() < 6) return false;
  double v;
  for (std::size_t k = 0; k < 6; ++k)
    if (!parse_double(w[k], v)) return false;
  return true;
}

bool blank(std::string_view rec) {
  return rec.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

TableHeader scan_table_header(std::string_view text) {
  TableHeader h;
  auto recs = split_records(text);
  std::size_t k = 0;
  for (; k < recs.size(); ++k) {
    if (recs[k].substr(0, 100).find("Zmin") != std::string_view::npos) break;
  }
  if (k == recs.size()) return h;
  h.found = true;
  h.limits_line = static_cast<long>(k) + 1;
  std::string_view a = recs[k];
  std::size_t zpos = a.find("Zmin"), rpos = a.find("Rmin");
  h.poisson = rpos != std::string_view::npos && rpos < zpos;
  if (k + 2 >= recs.size()) return h;
  std::string_view b = recs[k + 1], n = recs[k + 2];
  bool lim = two_values(a, 16, h.zmin, h.rmin) &&
             two_values(b, 16, h.zmax, h.rmax);
  if (h.poisson) {
    std::swap(h.zmin, h.rmin);
    std::swap(h.zmax, h.rmax);
  }
  // The counts stand in 6-character fields at columns 20-25 and 26-31; a
  // count of 1000 or more reaches left of column 23.
  auto cw = n.size() >= 20 ? words(n.substr(19), false)
                           : std::vector<std::string_view>{};
  bool cnt = cw.size() >= 2 && parse_int(cw[0], h.z_intervals) &&
             parse_int(cw[1], h.r_intervals);
  h.wide_counts = n.size() >= 22 && n[21] >= '0' && n[21] <= '9';
  h.limits_ok = lim && cnt;

  std::size_t j = k + 3;
  std::string_view last_nonblank;
  for (; j < recs.size(); ++j) {
    if (is_node_record(recs[j])) break;
    std::string_view r = recs[j];
    if (r.find("EZERO") != std::string_view::npos ||
        r.find("normalized to E0") != std::string_view::npos)
      h.ezero = true;
    auto w = words(r, true);
    if (!w.empty() && (w[0] == "Z" || w[0] == "R" || w[0] == "X" ||
                       w[0] == "Y")) {
      h.columns.assign(w.begin(), w.end());
    }
    if (!blank(r)) last_nonblank = r;
  }
  if (j < recs.size()) {
    h.first_node_line = static_cast<long>(j) + 1;
    h.records_between = static_cast<int>(j - (k + 3));
  }
  auto uw = words(last_nonblank, true);
  if (!uw.empty() && uw[0].front() == '(') {
    h.units.assign(uw.begin(), uw.end());
    if (uw.size() >= 2 && uw[0] == "(mm)" && uw[1] == "(mm)") {
      h.length_unit = "mm";
      h.unit_stated = true;
    } else if (uw.size() >= 2 && uw[0] == "(cm)" && uw[1] == "(cm)") {
      h.unit_stated = true;
    }
  }
  return h;
}

std::string TableHeader::variant() const {
  if (poisson) return "Poisson";
  if (ezero) return "EZERO";
  if (records_between == 3) return "plain";
  return "other";
}

std::string TableHeader::variant_text() const {
  std::string v = variant();
  std::string gap = std::to_string(records_between) +
                    " records between the interval counts and the first node";
  std::string t;
  if (v == "Poisson")
    t = "static (Poisson) table: limits record names Rmin before Zmin";
  else if (v == "EZERO")
    t = "EZERO variant (written with the Parmela command): " + gap;
  else if (v == "plain")
    t = "plain: " + gap;
  else
    t = "unusual: " + gap;
  if (wide_counts) t += "; interval counts of 1000 or more";
  return t;
}

}  // namespace zereduv::inspect
