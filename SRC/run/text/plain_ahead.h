// Plain records parsed ahead on a helper thread.  While the reader takes
// the first half of the records in its window, the helper reads the second
// half by the quick path (scan_plain_reals) and keeps the values; the
// reader, arriving there, takes them instead of parsing the records again.
// The helper stops at the first record the quick path does not take: from
// there on the reader goes on as it would have alone, so values, errors and
// line numbers are those of a reading in order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <span>
#include <thread>
#include "run/system/big_memory.h"

namespace zereduv {

class PlainAhead {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  /// `values`: how many reals each record holds.
  explicit PlainAhead(std::size_t values);
  ~PlainAhead();
  PlainAhead(const PlainAhead&) = delete;
  PlainAhead& operator=(const PlainAhead&) = delete;

  /// False when no helper thread could be had (then nothing is parsed
  /// ahead).
  bool working() const { return helper_.joinable(); }

  /// Parses the records from `text + from` on, up to `end` (a record end),
  /// on the helper thread.  The text must stay as it is until finish().
  void start(const char* text, std::size_t from, std::size_t end);
  /// Waits for the helper, then forgets its records.
  void finish();

  /// The records parsed ahead begin at this offset of the text (npos:
  /// none are pending).
  std::size_t next() const { return next_; }
  /// The values of the record at next() into `out`, and the offset after
  /// it; false once the records parsed ahead are used up.
  bool take(std::span<double> out, std::size_t& after) {
    if (!ready_)
      wait_ready();
    if (k_ >= count_) {
      next_ = npos;
      return false;
    }
    const double* v = vals_ + k_ * values_;
    for (double& x : out)
      x = *v++;
    after = ends_[k_++];
    next_ = after;
    return true;
  }

 private:
  void run();
  void wait_ready();

  const std::size_t values_;
  std::mutex m_;
  std::condition_variable cv_;
  bool job_ = false;   // a job is posted or running
  bool quit_ = false;  // the helper is to end
  const char* text_ = nullptr;
  std::size_t from_ = 0, end_ = 0;
  // The helper's results in `room_`: the values of each record taken, and
  // the offset after each (room for the most records the text can hold).
  BigBlock room_;
  std::size_t most_ = 0;  // records there is room for
  double* vals_ = nullptr;
  std::size_t* ends_ = nullptr;
  std::size_t count_ = 0;    // the records taken
  bool ready_ = false;       // the results are complete (reader's view)
  std::size_t next_ = npos;  // where the next record parsed ahead begins
  std::size_t k_ = 0;        // its number among them
  std::thread helper_;
};

}  // namespace zereduv
