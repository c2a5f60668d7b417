// The second thread of a phase that splits its work in two.  Only where the
// machine has a second processor: on one, a helper would only take turns
// with the thread that started it.
#pragma once

#include <new>
#include <system_error>
#include <thread>
#include <utility>

namespace zereduv {

/// A thread running `work`, or an empty (not joinable) one where the
/// machine has a single processor or no thread can be had; the caller then
/// does all the work itself.
template <class Work>
std::thread helper_thread(Work&& work) {
  if (std::thread::hardware_concurrency() < 2)
    return {};
  try {
    return std::thread(std::forward<Work>(work));
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  return {};
}

}  // namespace zereduv
