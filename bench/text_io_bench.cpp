// Microbenchmarks of the text layer's hot paths: the 24-character field of
// a double (every value of the text field files) and the free-format reading
// of six-value node records (every node of the field table).
#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "run/text/channels.h"
#include "run/text/fast_d24.h"
#include "run/text/number_fields.h"

namespace zereduv {
namespace {

// Field values of both signs from 1e-3 to 1e7 with one in ten an exact
// zero, and grid coordinates Xmin + (i-1)*Dx, in the mix a field file has.
std::vector<double> field_values(std::size_t n) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> decade(-3.0, 7.0);
  std::uniform_int_distribution<int> kind(0, 9);
  std::vector<double> v(n);
  for (std::size_t k = 0; k < n; ++k) {
    const int c = kind(rng);
    if (c == 0) {
      v[k] = 0.0;
    } else if (c == 1) {
      v[k] = -1.5 + static_cast<double>(k % 25) * (3.0 / 24.0);
    } else {
      const double x = std::pow(10.0, decade(rng));
      v[k] = (c % 2) ? x : -x;
    }
  }
  return v;
}

constexpr std::size_t kValues = 4096;

void BM_put_d24(benchmark::State& state) {
  const std::vector<double> v = field_values(kValues);
  std::vector<char> out(kValues * kDoubleWidth);
  for (auto _ : state) {
    char* p = out.data();
    for (double x : v)
      p = put_d24(p, x);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kValues));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(kValues * kDoubleWidth));
}
BENCHMARK(BM_put_d24);

void BM_put_d24_reference(benchmark::State& state) {
  const std::vector<double> v = field_values(kValues);
  std::vector<char> out(kValues * kDoubleWidth);
  for (auto _ : state) {
    char* p = out.data();
    for (double x : v)
      p = put_d24_reference(p, x);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kValues));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(kValues * kDoubleWidth));
}
BENCHMARK(BM_put_d24_reference);

// One node record as the field-table post-processor writes it: Z and R in
// fixed notation, then Ez, Er, |E|, H in E notation with 7 digits.
std::string table_value(double x, bool fixed) {
  char buf[40];
  std::to_chars_result r{};
  if (fixed)
    r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, 5);
  else
    r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific,
                      6);
  std::string s(buf, r.ptr);
  for (char& c : s)
    if (c == 'e')
      c = 'E';
  const std::size_t width = fixed ? 10 : 14;
  if (s.size() < width)
    s.insert(0, width - s.size(), ' ');
  return s;
}

std::string node_records(std::size_t nrec) {
  const std::vector<double> f = field_values(4 * nrec);
  std::string text;
  for (std::size_t k = 0; k < nrec; ++k) {
    const double z = static_cast<double>(k % 1000) * 0.0587820;
    const double r = static_cast<double>(k / 1000) * 0.0502513;
    text += table_value(z, true) + "    " + table_value(r, true) + "  ";
    for (int c = 0; c < 4; ++c)
      text += table_value(f[4 * k + static_cast<std::size_t>(c)], false);
    text += "\r\n";
  }
  return text;
}

constexpr std::size_t kRecords = 2000;

void BM_scan_real(benchmark::State& state) {
  // The words of the node records, each scanned on its own.
  const std::string text = node_records(kRecords);
  std::vector<std::string_view> words;
  for (std::size_t p = 0; p < text.size();) {
    while (p < text.size() &&
           (text[p] == ' ' || text[p] == '\r' || text[p] == '\n'))
      ++p;
    std::size_t e = p;
    while (e < text.size() && text[e] != ' ' && text[e] != '\r')
      ++e;
    if (e > p)
      words.emplace_back(text.data() + p, e - p);
    p = e;
  }
  for (auto _ : state) {
    double sum = 0.0;
    for (std::string_view w : words) {
      double v = 0.0;
      scan_real(w, 0, v);
      sum += v;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() *
                          static_cast<int64_t>(words.size()));
}
BENCHMARK(BM_scan_real);

void BM_read_list_node_records(benchmark::State& state) {
  const std::string text = node_records(kRecords);
  double v[6];
  const ReadItem items[6] = {real_item(v[0], "Z"),  real_item(v[1], "R"),
                             real_item(v[2], "Ez"), real_item(v[3], "Er"),
                             real_item(v[4], "E"),  real_item(v[5], "H")};
  TextIn in(2, "table");
  for (auto _ : state) {
    state.PauseTiming();
    in.open_memory(text);
    state.ResumeTiming();
    double sum = 0.0;
    for (std::size_t k = 0; k < kRecords; ++k) {
      in.read_list(items);
      sum += v[2] + v[5];
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() *
                          static_cast<int64_t>(kRecords * 6));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_read_list_node_records);

// One field array of a layout-1 file: 25 x 25 x 201 values in one
// statement, three to a line, through a channel on /dev/null (so the
// buffer is written out as it fills, as for the field file).
void BM_list_doubles_field_array(benchmark::State& state) {
  const std::vector<double> v = field_values(25 * 25 * 201);
  TextOut out(7, "/dev/null", LineEnd::CrLf);
  out.open("/dev/null");
  for (auto _ : state) {
    ListStatement<TextOut> st(out);
    st.reals(v.data(), v.size());
    st.end();
  }
  out.close();
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(v.size()));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(v.size() / 3 * 74));
}
BENCHMARK(BM_list_doubles_field_array)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zereduv
