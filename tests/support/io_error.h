// The one way the tests expect an I/O error: the call must end with one,
// which is handed back for the test's own checks.
#pragma once

#include <gtest/gtest.h>

#include <utility>

#include "run/errors.h"

namespace zereduv::testing {

/// The IoError that `f()` ends with; a test failure (and an empty error on
/// unit 0) when it ends without one.
template <class F>
IoError io_error_of(F&& f) {
  try {
    std::forward<F>(f)();
  } catch (const IoError& e) {
    return e;
  }
  ADD_FAILURE() << "no IoError raised";
  return IoError(0, "", "", "");
}

}  // namespace zereduv::testing
