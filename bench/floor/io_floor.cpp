// The I/O floor of a run: read the field table whole (read(), as an input
// channel would without mapping), then write a file of the field file's size
// with one write(); optionally flush it to disk as the program does before
// renaming its field file.  Prints the milliseconds of each part.
//
// Usage: io_floor TABLE OUTPUT BYTES
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

double ms_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: io_floor TABLE OUTPUT BYTES\n");
    return 2;
  }
  const std::size_t out_bytes = std::strtoull(argv[3], nullptr, 10);
  const auto t0 = std::chrono::steady_clock::now();
  const int in = ::open(argv[1], O_RDONLY);
  struct stat st {};
  if (in < 0 || ::fstat(in, &st) != 0) return 1;
  const auto size = static_cast<std::size_t>(st.st_size);
  std::unique_ptr<char[]> table(new char[size]);
  std::size_t have = 0;
  while (have < size) {
    const ssize_t n = ::read(in, table.get() + have, size - have);
    if (n <= 0) return 1;
    have += static_cast<std::size_t>(n);
  }
  ::close(in);
  const double read_ms = ms_since(t0);

  // The bytes to write, filled outside the timing (the program formats
  // them; the floor only moves them).
  std::unique_ptr<char[]> out(new char[out_bytes]);
  for (std::size_t k = 0; k < out_bytes; ++k) out[k] = table[k % size];

  const auto t1 = std::chrono::steady_clock::now();
  const int fd = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return 1;
  std::size_t done = 0;
  while (done < out_bytes) {
    const ssize_t n = ::write(fd, out.get() + done, out_bytes - done);
    if (n <= 0) return 1;
    done += static_cast<std::size_t>(n);
  }
  const double write_ms = ms_since(t1);
  const auto t2 = std::chrono::steady_clock::now();
  ::fsync(fd);
  const double fsync_ms = ms_since(t2);
  ::close(fd);
  std::printf("%.3f %.3f %.3f\n", read_ms, write_ms, fsync_ms);
  return 0;
}
