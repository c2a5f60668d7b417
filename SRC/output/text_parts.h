// A text field file written as a sequence of parts, each a run of whole
// lines that no other part's layout depends on.  The parts are formatted on
// two threads at once, into buffers of their own, and handed to the file
// strictly in order, so the bytes are those of one formatting in order.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace zereduv {

class FieldSink;

/// The characters of one part: room for list-directed statements (see
/// ListStatement), every line ended with CR LF.
class LineBuffer {
 public:
  /// Formats into the `cap` bytes at `block` (the caller's), going on in
  /// memory of its own should a part need more.
  LineBuffer(char* block, std::size_t cap) : buf_(block), cap_(cap) {}

  char* room(std::size_t n) {
    if (cap_ - used_ < n)
      grow(n);
    return buf_ + used_;
  }
  void advance(char* end) { used_ = static_cast<std::size_t>(end - buf_); }
  void end_line() {
    char* p = room(2);
    p[0] = '\r';
    p[1] = '\n';
    used_ += 2;
  }

  const char* data() const { return buf_; }
  std::size_t size() const { return used_; }
  void clear() { used_ = 0; }

 private:
  void grow(std::size_t n);

  char* buf_;
  std::size_t cap_;
  std::size_t used_ = 0;
  std::unique_ptr<char[]> own_;  // the memory past the block, when needed
};

/// The buffers write_parts formats parts into: enough for both threads to
/// format while a finished part waits for the file.
inline constexpr std::size_t kPartBuffers = 4;

/// Formats parts 0 .. n_parts-1 with `format` (which must only read what is
/// shared, so that two parts can be formatted at once) and writes them to
/// `sink` in order.  Each part's buffer starts empty with `part_bytes`
/// bytes of room from `room` (kPartBuffers * part_bytes bytes, the
/// caller's).  An error of the sink ends the formatting before it is passed
/// on.
void write_parts(FieldSink& sink, char* room, std::size_t n_parts,
                 std::size_t part_bytes,
                 const std::function<void(std::size_t, LineBuffer&)>& format);

}  // namespace zereduv
