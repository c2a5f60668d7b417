#include "output/text_parts.h"

#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "run/system/field_sink.h"
#include "run/system/helper_thread.h"

namespace zereduv {

void LineBuffer::grow(std::size_t n) {
  std::size_t cap = 2 * cap_;
  while (cap - used_ < n)
    cap *= 2;
  auto bigger = std::make_unique<char[]>(cap);
  std::memcpy(bigger.get(), buf_, used_);
  own_ = std::move(bigger);
  buf_ = own_.get();
  cap_ = cap;
}

namespace {

// The parts' state, shared by the writing thread and the helper thread.
// Parts are taken in order; a finished part waits in its buffer until all
// before it are written.  The part next to be written is always either
// taken or the next to be taken (with every buffer then free), so the two
// threads never wait for each other forever.
class Parts {
 public:
  Parts(char* room, std::size_t n_parts, std::size_t part_bytes,
        const std::function<void(std::size_t, LineBuffer&)>& format)
      : format_(format), done_(n_parts, nullptr) {
    bufs_.reserve(kPartBuffers);
    for (std::size_t b = 0; b < kPartBuffers; ++b) {
      bufs_.emplace_back(room + b * part_bytes, part_bytes);
      free_.push_back(&bufs_.back());
    }
  }

  // The helper thread: formats parts until none is left or it is told to
  // stop.
  void help() {
    try {
      std::unique_lock<std::mutex> lock(m_);
      for (;;) {
        cv_.wait(lock, [this] { return stop_ || can_take(); });
        if (stop_ || next_ == done_.size())
          return;
        format_next(lock);
      }
    } catch (...) {
      const std::lock_guard<std::mutex> lock(m_);
      failure_ = std::current_exception();
      stop_ = true;
      cv_.notify_all();
    }
  }

  // The writing thread: writes every part in order, formatting parts
  // itself whenever the next one to write is not ready yet.
  void write_all(FieldSink& sink) {
    std::unique_lock<std::mutex> lock(m_);
    for (std::size_t k = 0; k < done_.size(); ++k) {
      for (;;) {
        if (failure_)
          std::rethrow_exception(failure_);
        if (done_[k] != nullptr)
          break;
        if (can_take())
          format_next(lock);
        else
          cv_.wait(lock);
      }
      LineBuffer* b = done_[k];
      lock.unlock();
      sink.write(b->data(), b->size());
      lock.lock();
      free_.push_back(b);
      cv_.notify_all();
    }
  }

  void stop() {
    const std::lock_guard<std::mutex> lock(m_);
    stop_ = true;
    cv_.notify_all();
  }

 private:
  bool can_take() const { return next_ < done_.size() && !free_.empty(); }

  // Takes the next part and a free buffer, formats it with the lock
  // released, and marks it finished.
  void format_next(std::unique_lock<std::mutex>& lock) {
    const std::size_t k = next_++;
    LineBuffer* b = free_.back();
    free_.pop_back();
    lock.unlock();
    b->clear();
    format_(k, *b);
    lock.lock();
    done_[k] = b;
    cv_.notify_all();
  }

  const std::function<void(std::size_t, LineBuffer&)>& format_;
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<LineBuffer> bufs_;
  std::vector<LineBuffer*> free_;
  std::vector<LineBuffer*> done_;  // each part's buffer once formatted
  std::size_t next_ = 0;           // the next part to take
  bool stop_ = false;
  std::exception_ptr failure_;
};

}  // namespace

void write_parts(FieldSink& sink, char* room, std::size_t n_parts,
                 std::size_t part_bytes,
                 const std::function<void(std::size_t, LineBuffer&)>& format) {
  Parts parts(room, n_parts, part_bytes, format);
  // Without a helper this thread formats every part.  However the writing
  // ends (an error of the sink included), the helper is stopped and waited
  // for before the parts go.
  struct Helper {
    Parts& parts;
    std::thread thread;
    ~Helper() {
      parts.stop();
      if (thread.joinable())
        thread.join();
    }
  } helper{parts, helper_thread([&parts] { parts.help(); })};
  parts.write_all(sink);
}

}  // namespace zereduv
