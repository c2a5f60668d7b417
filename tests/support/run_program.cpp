#include "support/run_program.h"

namespace zereduv::testing {

RunResult run_program(const std::string& exe,
                      const std::vector<std::string>& args,
                      const std::filesystem::path& workdir) {
  ScratchDir capture;  // outside workdir, so the run sees only its own files
  const std::string out_path = (capture / "stdout").string();
  const std::string err_path = (capture / "stderr").string();
  RunResult r;
  r.status = run_child(exe, args, workdir, out_path, err_path);
  r.out = captured_text(read_file(out_path));
  r.err = captured_text(read_file(err_path));
  r.grid_warning = take_grid_warning(r.err);
  return r;
}

}  // namespace zereduv::testing
