// zereduv: converts the 2-D field table of an axially symmetric RF cavity
// into the 3-D Cartesian field file of the VELTA beam-dynamics code.  No
// arguments: everything comes from "zereduv.dat" in the working directory.
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "run/driver.h"
#include "run/errors.h"
#include "run/run_state.h"

namespace {

// One complete line on standard error.
void error_line(const std::string& text) {
  std::string line = text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

int main() {
  using namespace zereduv;
  std::unique_ptr<RunState> s;
  try {
    s = std::make_unique<RunState>();
    s->console.attach_fd(1);
    s->errors.attach_fd(2);
    RUN(*s);
    return kExitNormal;
  } catch (const RunStop& stop) {
    error_line(stop.message);
    s->log.close_quietly();
    return kExitNormal;
  } catch (const IoError& e) {
    if (s) s->log.close_quietly();
    error_line(e.what());
    return kExitIoError;
  } catch (const TableRejected& e) {
    if (s) s->log.close_quietly();
    error_line(e.what());
    return kExitRejected;
  } catch (const std::bad_alloc&) {
    if (s) s->log.close_quietly();
    error_line("zereduv: out of memory");
    return kExitIoError;
  }
}
