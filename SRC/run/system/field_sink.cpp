#include "run/system/field_sink.h"

#include <string>

#include "run/errors.h"
#include "run/system/platform.h"
#include "run/system/process.h"

namespace zereduv {

namespace {

bool all_digits(std::string_view s) {
  return !s.empty() &&
         s.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

bool is_field_file_temporary(std::string_view name) {
  // "." "eh_ZIV.#" two characters (digits, or ** for a number outside
  // 0..99) ".part" digits "-" digits.
  constexpr std::string_view kHead = ".eh_ZIV.#";
  constexpr std::string_view kPart = ".part";
  if (name.substr(0, kHead.size()) != kHead)
    return false;
  name.remove_prefix(kHead.size());
  if (name.size() < 2 || name.substr(2, kPart.size()) != kPart)
    return false;
  name.remove_prefix(2 + kPart.size());
  const std::size_t dash = name.find('-');
  return dash != std::string_view::npos && all_digits(name.substr(0, dash)) &&
         all_digits(name.substr(dash + 1));
}

std::string temporary_stem(const std::string& name) {
  // A directory entry holds at most 255 bytes; the process id and count
  // take at most 15 of them.
  constexpr std::size_t kNameMax = 255;
  constexpr std::string_view kPart = ".part";
  if (1 + name.size() + kPart.size() + 15 > kNameMax)
    return std::string(kPart);
  return "." + name + std::string(kPart);
}

bool is_temporary_of(std::string_view entry, std::string_view stem) {
  if (entry.substr(0, stem.size()) != stem)
    return false;
  entry.remove_prefix(stem.size());
  const std::size_t dash = entry.find('-');
  return dash != std::string_view::npos && all_digits(entry.substr(0, dash)) &&
         all_digits(entry.substr(dash + 1));
}

// The system calls of a FieldSink are in field_sink-posix.cpp and
// field_sink-win32.cpp.

void FieldSink::fail(std::string_view kind, const std::string& what,
                     const std::string& reason) {
  discard();
  throw SinkError(unit_, name_, std::string(kind), what + ": " + reason,
                  reason);
}

void FieldSink::create_temporary(const std::string& stem,
                                 const std::string& process_id) {
  // The temporary sits in the same directory, so the final rename stays on
  // one file system (volume) and is atomic.  Its name is unique to this
  // process.
  const std::string head = stem + process_id + "-";
  for (int k = 0;; ++k) {
    temp_ = target_.parent_path() / (head + std::to_string(k));
    bool taken = false;
    const std::optional<std::string> failure = create_new(taken);
    if (!failure)
      return;
    if (!taken || k >= 100) {
      temp_.clear();  // nothing of ours to remove
      fail("cannot create file",
           "in " + platform::shown_path(target_.parent_path()), *failure);
    }
  }
}

FieldSink::~FieldSink() {
  if (!committed_)
    discard();
}

void FieldSink::write(const void* data, std::size_t n) {
  check_interrupted();
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const std::size_t k = write_some(p, n);
    p += k;
    n -= k;
    written_ += k;
  }
}

}  // namespace zereduv
