#include "openpmd.h"

#include <hdf5.h>

#include <algorithm>
#include <array>
#include <complex>
#include <stdexcept>
#include <type_traits>
#include <vector>

namespace zereduv::inspect {

namespace {

// Unit conversions of the program's map into SI.
constexpr double kMetrePerCm = 0.01;
constexpr double kVmPerVcm = 100.0;
constexpr double kTeslaPerGauss = 1e-4;

// openPMD unit dimensions (L, M, T, I, theta, N, J).
constexpr std::array<double, 7> kElectricDim = {1, 1, -3, -1, 0, 0, 0};
constexpr std::array<double, 7> kMagneticDim = {0, 1, -2, -1, 0, 0, 0};

/// The path of the one field mesh in the file (%T is "1").
constexpr const char* kFieldPathTemplate = "/ExternalFieldPath/%T/";

void check(long long status, const char* what) {
  if (status < 0)
    throw std::runtime_error(std::string("HDF5 could not ") + what +
                             " while building the openPMD file");
}

/// An HDF5 identifier closed when it goes out of scope.
class Id {
 public:
  Id(hid_t id, herr_t (*close)(hid_t), const char* what)
      : id_(id), close_(close) {
    check(id, what);
  }
  Id(const Id&) = delete;
  Id& operator=(const Id&) = delete;
  ~Id() { close_(id_); }
  operator hid_t() const { return id_; }

 private:
  hid_t id_;
  herr_t (*close_)(hid_t);
};

/// Strings are written fixed-length, as the BeamPhysics readers expect
/// them (bytes they decode).
void attr_string(hid_t at, const char* key, const std::string& v) {
  Id type(H5Tcopy(H5T_C_S1), H5Tclose, "make a string type");
  check(H5Tset_size(type, v.empty() ? 1 : v.size()), "size a string");
  check(H5Tset_strpad(type, H5T_STR_NULLPAD), "pad a string");
  Id space(H5Screate(H5S_SCALAR), H5Sclose, "make a scalar");
  Id a(H5Acreate2(at, key, type, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose,
       "make an attribute");
  std::string buf = v.empty() ? std::string(1, '\0') : v;
  check(H5Awrite(a, type, buf.data()), "write an attribute");
}

void attr_strings(hid_t at, const char* key,
                  const std::vector<std::string>& v) {
  std::size_t w = 1;
  for (const auto& s : v)
    w = std::max(w, s.size());
  std::string buf;
  for (const auto& s : v)
    buf += s + std::string(w - s.size(), '\0');
  Id type(H5Tcopy(H5T_C_S1), H5Tclose, "make a string type");
  check(H5Tset_size(type, w), "size a string");
  check(H5Tset_strpad(type, H5T_STR_NULLPAD), "pad a string");
  const hsize_t n = v.size();
  Id space(H5Screate_simple(1, &n, nullptr), H5Sclose, "make a list");
  Id a(H5Acreate2(at, key, type, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose,
       "make an attribute");
  check(H5Awrite(a, type, buf.data()), "write an attribute");
}

template <class T>
void attr_numbers(hid_t at, const char* key, const std::vector<T>& v,
                  bool scalar = false) {
  const hid_t file_type =
      std::is_same_v<T, double> ? H5T_IEEE_F64LE : H5T_STD_I64LE;
  const hid_t mem_type =
      std::is_same_v<T, double> ? H5T_NATIVE_DOUBLE : H5T_NATIVE_LLONG;
  const hsize_t n = v.size();
  Id space(scalar ? H5Screate(H5S_SCALAR) : H5Screate_simple(1, &n, nullptr),
           H5Sclose, "make an attribute's space");
  Id a(H5Acreate2(at, key, file_type, space, H5P_DEFAULT, H5P_DEFAULT),
       H5Aclose, "make an attribute");
  check(H5Awrite(a, mem_type, v.data()), "write an attribute");
}

void attr_double(hid_t at, const char* key, double v) {
  attr_numbers<double>(at, key, {v}, true);
}

void attr_int(hid_t at, const char* key, long long v) {
  attr_numbers<long long>(at, key, {v}, true);
}

/// One component: a complex array in C order of the mesh's axes (the last
/// axis, z, fastest), with its units.
void component(hid_t record, const char* name, std::array<hsize_t, 3> shape,
               const std::vector<std::complex<double>>& v, bool electric) {
  Id type(H5Tcreate(H5T_COMPOUND, sizeof(std::complex<double>)), H5Tclose,
          "make the complex type");
  check(H5Tinsert(type, "r", 0, H5T_NATIVE_DOUBLE), "make the complex type");
  check(H5Tinsert(type, "i", sizeof(double), H5T_NATIVE_DOUBLE),
        "make the complex type");
  Id space(H5Screate_simple(3, shape.data(), nullptr), H5Sclose,
           "make a component's space");
  Id d(H5Dcreate2(record, name, type, space, H5P_DEFAULT, H5P_DEFAULT,
                  H5P_DEFAULT),
       H5Dclose, "make a component");
  check(H5Dwrite(d, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, v.data()),
        "write a component");
  attr_double(d, "unitSI", 1.0);
  const auto& dim = electric ? kElectricDim : kMagneticDim;
  attr_numbers<double>(d, "unitDimension",
                       std::vector<double>(dim.begin(), dim.end()));
  attr_string(d, "unitSymbol", electric ? "V/m" : "T");
}

hid_t make_record(hid_t mesh, const char* name, bool electric) {
  const hid_t g = H5Gcreate2(mesh, name, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
  check(g, "make a record");
  const auto& dim = electric ? kElectricDim : kMagneticDim;
  attr_numbers<double>(g, "unitDimension",
                       std::vector<double>(dim.begin(), dim.end()));
  attr_double(g, "timeOffset", 0.0);
  return g;
}

struct MeshAttrs {
  std::string geometry;
  std::vector<std::string> labels;
  std::vector<long long> lower, size;
  std::vector<double> origin, spacing;  // [m]
  double frequency;                     // [Hz]
  std::string name;
};

/// The file in memory: the root's openPMD attributes, the field mesh group
/// with its attributes; `fill` adds the records.  Returns the file's bytes.
template <class Fill>
std::string build(const MeshAttrs& m, Fill fill) {
  // A failure is reported by the exception, not by HDF5's own printout.
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  Id fapl(H5Pcreate(H5P_FILE_ACCESS), H5Pclose, "make file properties");
  check(H5Pset_fapl_core(fapl, 1 << 20, 0), "keep the file in memory");
  Id file(H5Fcreate("zereduv-openpmd.h5", H5F_ACC_TRUNC, H5P_DEFAULT, fapl),
          H5Fclose, "make the file");
  attr_string(file, "openPMD", "2.0.0");
  attr_string(file, "openPMDextension", "BeamPhysics");
  attr_string(file, "dataType", "openPMD");
  attr_string(file, "basePath", kFieldPathTemplate);
  attr_string(file, "externalFieldPath", kFieldPathTemplate);
  attr_string(file, "iterationEncoding", "groupBased");
  attr_string(file, "iterationFormat", kFieldPathTemplate);
  attr_string(file, "software", "zereduv-inspect");
  Id top(H5Gcreate2(file, "ExternalFieldPath", H5P_DEFAULT, H5P_DEFAULT,
                    H5P_DEFAULT),
         H5Gclose, "make the field path");
  Id mesh(H5Gcreate2(top, "1", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose,
          "make the field mesh");
  // The grid's z is centred on the element: the anchor is its centre.
  attr_string(mesh, "eleAnchorPt", "center");
  attr_string(mesh, "gridGeometry", m.geometry);
  attr_strings(mesh, "axisLabels", m.labels);
  attr_numbers<long long>(mesh, "gridLowerBound", m.lower);
  attr_numbers<double>(mesh, "gridOriginOffset", m.origin);
  attr_numbers<double>(mesh, "gridSpacing", m.spacing);
  attr_numbers<long long>(mesh, "gridSize", m.size);
  attr_int(mesh, "harmonic", 1);
  attr_double(mesh, "fundamentalFrequency", m.frequency);
  attr_double(mesh, "RFphase", 0.0);
  attr_double(mesh, "fieldScale", 1.0);
  attr_string(mesh, "name", m.name);
  fill(static_cast<hid_t>(mesh));
  check(H5Fflush(file, H5F_SCOPE_GLOBAL), "finish the file");
  const ssize_t n = H5Fget_file_image(file, nullptr, 0);
  check(n, "measure the file");
  std::string bytes(static_cast<std::size_t>(n), '\0');
  check(H5Fget_file_image(file, bytes.data(), static_cast<std::size_t>(n)),
        "copy the file");
  return bytes;
}

}  // namespace

bool openpmd_available() {
  return true;
}

std::string openpmd_field(const FieldFile& f, double frequency,
                          const std::string& name) {
  MeshAttrs m;
  m.geometry = "rectangular";
  m.labels = {"x", "y", "z"};
  m.lower = {0, 0, 0};
  m.size = {kNx, kNy, kNzOut};
  m.origin = {f.X.front() * kMetrePerCm, f.Y.front() * kMetrePerCm,
              f.Z.front() * kMetrePerCm};
  m.spacing = {(f.X.back() - f.X.front()) / (kNx - 1) * kMetrePerCm,
               (f.Y.back() - f.Y.front()) / (kNy - 1) * kMetrePerCm,
               (f.Z.back() - f.Z.front()) / (kNzOut - 1) * kMetrePerCm};
  m.frequency = frequency;
  m.name = name;
  return build(m, [&](hid_t mesh) {
    const std::array<hsize_t, 3> shape = {kNx, kNy, kNzOut};
    static constexpr const char* axes[3] = {"x", "y", "z"};
    for (int rec = 0; rec < 2; ++rec) {
      const bool electric = rec == 0;
      const hid_t g = make_record(
          mesh, electric ? "electricField" : "magneticField", electric);
      Id record(g, H5Gclose, "make a record");
      for (std::size_t c = 0; c < 3; ++c) {
        const std::vector<double>& v =
            f.comp[static_cast<std::size_t>(rec) * 3 + c];
        std::vector<std::complex<double>> out;
        out.reserve(kOutPoints);
        for (int ix = 1; ix <= kNx; ++ix)
          for (int iy = 1; iy <= kNy; ++iy)
            for (int iz = 1; iz <= kNzOut; ++iz) {
              const double x = v[FieldFile::index(ix, iy, iz)];
              out.push_back(
                  electric ? std::complex<double>(x * kVmPerVcm, 0.0)
                           : std::complex<double>(0.0, x * kTeslaPerGauss));
            }
        component(record, axes[c], shape, out, electric);
      }
    }
  });
}

std::string openpmd_table(const TableMap& tm, const std::string& name) {
  const RunState& s = *tm.s;
  MeshAttrs m;
  m.geometry = "cylindrical";
  m.labels = {"r", "theta", "z"};
  m.lower = {0, 1, 0};
  m.size = {s.Nr, 1, s.Nz};
  const double dr = s.Nr > 1 ? (s.Rgrid(s.Nr) - s.Rgrid(1)) / (s.Nr - 1) : 0;
  const double dz = s.Nz > 1 ? (s.Zgrid(s.Nz) - s.Zgrid(1)) / (s.Nz - 1) : 0;
  m.origin = {s.Rgrid(1) * kMetrePerCm, 0.0, s.Zgrid(1) * kMetrePerCm};
  m.spacing = {dr * kMetrePerCm, 0.0, dz * kMetrePerCm};
  m.frequency = tm.frequency;
  m.name = name;
  return build(m, [&](hid_t mesh) {
    const std::array<hsize_t, 3> shape = {static_cast<hsize_t>(s.Nr), 1,
                                          static_cast<hsize_t>(s.Nz)};
    auto walk = [&](auto value) {
      std::vector<std::complex<double>> out;
      for (int32_t i = 1; i <= s.Nr; ++i)
        for (int32_t j = 1; j <= s.Nz; ++j)
          out.push_back(value(i, j));
      return out;
    };
    {
      Id record(make_record(mesh, "electricField", true), H5Gclose,
                "make a record");
      component(record, "r", shape, walk([&](int32_t i, int32_t j) {
                  return std::complex<double>(s.Er2D(i, j) * kVmPerVcm, 0.0);
                }),
                true);
      component(record, "z", shape, walk([&](int32_t i, int32_t j) {
                  return std::complex<double>(s.Ez2D(i, j) * kVmPerVcm, 0.0);
                }),
                true);
    }
    Id record(make_record(mesh, "magneticField", false), H5Gclose,
              "make a record");
    component(record, "theta", shape, walk([&](int32_t i, int32_t j) {
                return std::complex<double>(0.0, s.B2D(i, j) * kTeslaPerGauss);
              }),
              false);
  });
}

}  // namespace zereduv::inspect
