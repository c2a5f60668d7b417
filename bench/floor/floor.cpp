// The floors a whole run is measured against: the least any program that
// turns this table into a field file of this size must do.
//
//   floor cpu  TABLE OUTPUT BYTES   maps the table, reads every byte of it
//                                   once (counting its records), and writes
//                                   BYTES bytes to OUTPUT with write()
//   floor safe TABLE OUTPUT BYTES   the same, written the way the program
//                                   writes its field file: into a temporary
//                                   beside OUTPUT, flushed to disk with
//                                   fsync(), renamed over OUTPUT
//   floor flush TABLE OUTPUT BYTES  the cpu floor flushed to disk with
//                                   fsync(), replacing nothing: the safe
//                                   floor's excess over it is what replacing
//                                   the previous file costs by itself
//
// The bytes written come straight from the mapped table (repeated when the
// output is the longer), so the floor touches no fresh memory: every page it
// uses is a page the program must use too.  Time it as a whole process, the
// same way as the program.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int fail(const char* what) {
  std::perror(what);
  return 1;
}

bool write_all(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t k = ::write(fd, p, n);
    if (k <= 0)
      return false;
    p += k;
    n -= static_cast<std::size_t>(k);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 ||
      (std::strcmp(argv[1], "cpu") != 0 && std::strcmp(argv[1], "safe") != 0 &&
       std::strcmp(argv[1], "flush") != 0)) {
    std::fprintf(stderr, "usage: floor cpu|safe|flush TABLE OUTPUT BYTES\n");
    return 2;
  }
  const bool safe = std::strcmp(argv[1], "safe") == 0;
  const bool flush = safe || std::strcmp(argv[1], "flush") == 0;
  const std::string out = argv[3];
  const std::size_t out_bytes = std::strtoull(argv[4], nullptr, 10);

  const int in = ::open(argv[2], O_RDONLY);
  struct stat st {};
  if (in < 0 || ::fstat(in, &st) != 0 || st.st_size <= 0)
    return fail(argv[2]);
  const auto size = static_cast<std::size_t>(st.st_size);
  void* m = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, in, 0);
  if (m == MAP_FAILED)
    return fail("mmap");
  ::close(in);
  const char* const table = static_cast<const char*>(m);

  // Every byte read once: the records counted as a reader must find them.
  std::size_t records = 0;
  for (const char* p = table;
       (p = static_cast<const char*>(
            std::memchr(p, '\n', size - static_cast<std::size_t>(p - table))));
       ++p) {
    ++records;
  }

  const std::string target = safe ? out + ".tmp" : out;
  const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0)
    return fail(target.c_str());
  for (std::size_t done = 0; done < out_bytes;) {
    const std::size_t n = out_bytes - done < size ? out_bytes - done : size;
    if (!write_all(fd, table, n))
      return fail("write");
    done += n;
  }
  if (flush && ::fsync(fd) != 0)
    return fail("fsync");
  if (::close(fd) != 0)
    return fail("close");
  if (safe && std::rename(target.c_str(), out.c_str()) != 0)
    return fail("rename");
  ::munmap(m, size);
  // The count goes nowhere, but the loop above may not be left out.
  return records == 0 ? 3 : 0;
}
