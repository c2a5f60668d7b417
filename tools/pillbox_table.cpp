// pillbox_table: writes the field table of an ideal TM010 pillbox cavity in
// the post-processor's text form, so that a run can be made (and checked
// against closed-form fields) without a field-solver installation.
//
// Fields of the TM010 mode in a pillbox of radius Rc = j01 / k, k = 2 pi f / c:
//   Ez = E0 J0(k r),  Er = 0,  H = +(E0 / eta0) J1(k r)  (eta0 = mu0 c),
// independent of z.  H carries the solver's time-phase sign, the opposite of
// the program's convention, so a run on this table reports a mean Maxwell
// ratio near -1 and corrects the sign.  E in MV/m, H in A/m, lengths in cm
// (or mm with --mm).
//
// The node records are laid out as the field solver's post-processor
// writes them: 84 characters, Z and R in Fortran G14.6 form (fixed point
// with six significant digits and four trailing blanks, such as
// "   0.00000    ", "  0.100960    ", "   50.6061    "; E14.6 below 0.1),
// the four fields in E14.6 ("  3.727425E+00").  --e-form writes Z and R in
// E14.6 as well (the layout of this tool's earlier tables); --lf ends the
// lines with LF instead of CR LF.
//
// Usage: pillbox_table [--frequency Hz] [--length cm] [--nz n] [--nr n]
//                      [--rmax cm] [--e0 MV/m] [--half] [--mm] [--reverse]
//                      [--e-form] [--lf] [--out file]
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kC = 299792458.0;          // speed of light [m/s]
constexpr double kJ01 = 2.404825557695773;  // first zero of J0

struct Options {
  double frequency = 1.3e9;  // [Hz]
  double length = 11.5;      // cavity length (full z extent) [cm]
  int nz = 60;               // z intervals of the table
  int nr = 20;               // r intervals of the table
  double rmax = -1.0;        // r extent [cm]; < 0: the cavity radius
  double e0 = 1.0;           // on-axis Ez [MV/m]
  bool half = false;         // table holds z = 0 .. length/2 only
  bool mm = false;           // lengths written in mm
  bool reverse = false;      // each r block written in decreasing z
  bool e_form = false;       // Z and R in E14.6 instead of G14.6
  bool lf = false;           // LF line ends instead of CR LF
  std::string out = "pillbox.txt";
};

[[noreturn]] void usage(const char* why) {
  std::fprintf(stderr,
               "pillbox_table: %s\n"
               "usage: pillbox_table [--frequency Hz] [--length cm] [--nz n] "
               "[--nr n] [--rmax cm] [--e0 MV/m] [--half] [--mm] [--reverse] "
               "[--e-form] [--lf] [--out file]\n",
               why);
  std::exit(2);
}

double to_double(std::string_view s) {
  double v = 0.0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size())
    usage("bad number");
  return v;
}

int to_int(std::string_view s) {
  int v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size())
    usage("bad integer");
  return v;
}

Options parse(int argc, char** argv) {
  Options o;
  for (int a = 1; a < argc; ++a) {
    std::string_view name = argv[a];
    if (name == "--half") {
      o.half = true;
      continue;
    }
    if (name == "--mm") {
      o.mm = true;
      continue;
    }
    if (name == "--reverse") {
      o.reverse = true;
      continue;
    }
    if (name == "--e-form") {
      o.e_form = true;
      continue;
    }
    if (name == "--lf") {
      o.lf = true;
      continue;
    }
    if (a + 1 >= argc)
      usage("option without value");
    std::string_view v = argv[++a];
    if (name == "--frequency")
      o.frequency = to_double(v);
    else if (name == "--length")
      o.length = to_double(v);
    else if (name == "--nz")
      o.nz = to_int(v);
    else if (name == "--nr")
      o.nr = to_int(v);
    else if (name == "--rmax")
      o.rmax = to_double(v);
    else if (name == "--e0")
      o.e0 = to_double(v);
    else if (name == "--out")
      o.out = std::string(v);
    else
      usage("unknown option");
  }
  if (o.nz < 2 || o.nr < 2)
    usage("need at least 2 intervals in z and r");
  if (!(o.frequency > 0.0) || !(o.length > 0.0))
    usage("bad frequency or length");
  return o;
}

// A limit as the solver writes it: shortest exact digits, always with a point.
// (The post-processor writes a whole number without the point; the earlier
// tables of this tool, --e-form, have it.)
std::string limit(double v, bool point) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  std::string s(buf, r.ptr);
  if (point && s.find_first_of(".e") == std::string::npos)
    s += ".0";
  return s;
}

// One table number: 1.234567E+00, right-justified in 14 characters.
std::string field14(double v) {
  if (v == 0.0)
    v = 0.0;  // no "-0.000000E+00"
  char buf[64];
  auto r =
      std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 6);
  std::string s(buf, r.ptr);
  for (char& ch : s)
    if (ch == 'e')
      ch = 'E';
  if (s.size() < 14)
    s.insert(0, 14 - s.size(), ' ');
  return s;
}

// A coordinate in Fortran G14.6: from 0.1 up to below 10^6 (after rounding
// to six significant digits) fixed point with 6 - e digits after the point
// for a value of 10^e .. 10^(e+1), right-justified in ten columns and
// followed by four blanks (zero as 0.00000); otherwise E14.6.
std::string g14(double v) {
  if (v == 0.0)
    return "   0.00000    ";
  char buf[64];
  // The decimal exponent of the value rounded to six significant digits.
  auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v),
                         std::chars_format::scientific, 5);
  const std::string_view sci(buf, static_cast<std::size_t>(r.ptr - buf));
  const int e = std::atoi(std::string(sci.substr(sci.find('e') + 1)).c_str());
  if (e < -1 || e > 5)
    return field14(v);
  r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 5 - e);
  std::string s(buf, r.ptr);
  if (5 - e == 0)
    s += '.';
  if (s.size() < 10)
    s.insert(0, 10 - s.size(), ' ');
  return s + "    ";
}

std::string count6(int n) {
  std::string s = std::to_string(n);
  if (s.size() < 6)
    s.insert(0, 6 - s.size(), ' ');
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);

  const double k = (kPi * 2.0 * o.frequency) / kC;         // [1/m]
  const double radius_cm = kJ01 / k * 100.0;               // cavity radius
  const double rmax = o.rmax > 0.0 ? o.rmax : radius_cm;   // [cm]
  const double zmax = o.half ? o.length / 2.0 : o.length;  // [cm]
  const double eta0 = (kPi * 4.0e-7) * kC;                 // [ohm]
  const double unit = o.mm ? 10.0 : 1.0;                   // cm -> written unit
  const char* uname = o.mm ? "(mm)" : "(cm)";

  std::string t;
  auto rec = [&t, &o](std::string_view line) {
    t += line;
    t += o.lf ? "\n" : "\r\n";
  };
  char fbuf[64];
  auto fixed = [&fbuf](double v, int digits) {
    auto r = std::to_chars(fbuf, fbuf + sizeof fbuf, v,
                           std::chars_format::fixed, digits);
    return std::string(fbuf, r.ptr);
  };

  rec("Analytic field table: TM010 mode of an ideal pillbox cavity");
  rec("Written by pillbox_table (closed-form Bessel-function fields)");
  rec("");
  rec("Frequency = " + fixed(o.frequency / 1e6, 6) + " MHz");
  rec("Cavity radius = " + fixed(radius_cm, 6) + " cm, length = " +
      fixed(o.length, 6) + " cm" + (o.half ? ", upper half in z" : ""));
  rec("Peak on-axis Ez = " + fixed(o.e0, 6) + " MV/m");
  rec("");
  rec("Electromagnetic fields for a rectangular area with corners at:");
  rec("(Zmin,Rmin) = (0.0,0.0)");
  rec("(Zmax,Rmax) = (" + limit(zmax * unit, o.e_form) + "," +
      limit(rmax * unit, o.e_form) + ")");
  rec("Z and R increments:" + count6(o.nz) + count6(o.nr));
  rec("");
  rec("      Z             R              Ez            Er            |E|      "
      "     H ");
  rec(std::string("    ") + uname + "          " + uname +
      "           (MV/m)        (MV/m)        (MV/m)        (A/m) ");

  // r slowest, z fastest within each r block.
  for (int i = 0; i <= o.nr; ++i) {
    const double r = rmax * i / o.nr;  // [cm]
    const double kr = k * (r / 100.0);
    const double ez = o.e0 * std::cyl_bessel_j(0.0, kr);
    const double h = (o.e0 * 1e6 / eta0) * std::cyl_bessel_j(1.0, kr);
    for (int n = 0; n <= o.nz; ++n) {
      const int j = o.reverse ? o.nz - n : n;
      const double z = zmax * j / o.nz;
      const auto coord = o.e_form ? field14 : g14;
      std::string line = coord(z * unit) + coord(r * unit) + field14(ez) +
                         field14(0.0) + field14(std::fabs(ez)) + field14(h);
      rec(line);
    }
  }
  rec("");
  rec("End of table");

  std::FILE* f = std::fopen(o.out.c_str(), "wb");
  if (f == nullptr) {
    std::perror(o.out.c_str());
    return 1;
  }
  const bool ok = std::fwrite(t.data(), 1, t.size(), f) == t.size();
  if (std::fclose(f) != 0 || !ok) {
    std::perror(o.out.c_str());
    return 1;
  }
  return 0;
}
