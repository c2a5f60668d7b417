#include "run/plain_ahead.h"

#include <algorithm>
#include <system_error>

#include "run/free_format.h"

namespace zereduv {

PlainAhead::PlainAhead(std::size_t values) : values_(values) {
  try {
    helper_ = std::thread([this] { run(); });
  } catch (const std::system_error&) {
  }
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
  std::unique_lock<std::mutex> lock(m_);
  cv_.wait(lock, [this] { return !job_; });
  next_ = npos;
}

bool PlainAhead::take(std::span<double> out, std::size_t& after) {
  if (!ready_) {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return !job_; });
    ready_ = true;
  }
  if (k_ >= ends_.size()) {
    next_ = npos;
    return false;
  }
  std::copy_n(vals_.begin() + static_cast<std::ptrdiff_t>(k_ * values_),
              out.size(), out.begin());
  after = ends_[k_++];
  next_ = after;
  return true;
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
    vals_.clear();
    ends_.clear();
    std::vector<double> rec(values_);
    while (p < end) {
      const char* const q = scan_plain_reals(p, end, rec);
      if (q == nullptr)
        break;
      vals_.insert(vals_.end(), rec.begin(), rec.end());
      ends_.push_back(static_cast<std::size_t>(q - text));
      p = q;
    }
    lock.lock();
    job_ = false;
    cv_.notify_all();
  }
}

}  // namespace zereduv
