#include "run/text/plain_ahead.h"

#include <cstddef>
#include <new>

#include "run/text/free_format.h"
#include "run/system/helper_thread.h"

namespace zereduv {

PlainAhead::PlainAhead(std::size_t values) : values_(values) {
  helper_ = helper_thread([this] { run(); });
}

PlainAhead::~PlainAhead() {
  {
    const std::lock_guard<std::mutex> lock(m_);
    quit_ = true;
  }
  cv_.notify_all();
  if (helper_.joinable())
    helper_.join();
}

void PlainAhead::start(const char* text, std::size_t from, std::size_t end) {
  finish();
  {
    const std::lock_guard<std::mutex> lock(m_);
    text_ = text;
    from_ = from;
    end_ = end;
    job_ = true;
  }
  cv_.notify_all();
  next_ = from;
  k_ = 0;
  ready_ = false;
}

void PlainAhead::finish() {
  if (next_ == npos)
    return;
  wait_ready();
  next_ = npos;
}

void PlainAhead::wait_ready() {
  std::unique_lock<std::mutex> lock(m_);
  cv_.wait(lock, [this] { return !job_; });
  ready_ = true;
}

void PlainAhead::run() {
  std::unique_lock<std::mutex> lock(m_);
  for (;;) {
    cv_.wait(lock, [this] { return job_ || quit_; });
    if (quit_)
      return;
    const char* const text = text_;
    const char* p = text + from_;
    const char* const end = text + end_;
    lock.unlock();
    // Each record holds `values_` numbers of a character and a blank at
    // least.
    const std::size_t most =
        static_cast<std::size_t>(end - p) / (2 * values_) + 1;
    if (most_ < most) {
      // In huge pages, kept for the next parts: fresh small pages cost
      // more than the parsing saves.  Without the memory, nothing is
      // parsed ahead.
      try {
        room_ =
            BigBlock(most * (values_ * sizeof(double) + sizeof(std::size_t)));
        most_ = most;
        void* const room = room_.data();
        vals_ = static_cast<double*>(room);
        void* const after_vals = vals_ + most * values_;
        ends_ = static_cast<std::size_t*>(after_vals);
      } catch (const std::bad_alloc&) {
        p = end;
      }
    }
    std::size_t n = 0;
    while (p < end) {
      const char* const q = scan_plain_reals(
          p, end, std::span<double>(vals_ + n * values_, values_));
      if (q == nullptr)
        break;
      ends_[n++] = static_cast<std::size_t>(q - text);
      p = q;
    }
    count_ = n;
    lock.lock();
    job_ = false;
    cv_.notify_all();
  }
}

}  // namespace zereduv
