#include "run/errors.h"

namespace zereduv {

namespace {

// A file name as the message shows it: a NUL byte (a name from the control
// file may hold one) as '?', so the message, a C string, is not cut there.
std::string shown(std::string file) {
  for (char& ch : file) {
    if (ch == '\0')
      ch = '?';
  }
  return file;
}

std::string io_message(int unit, const std::string& file,
                       const std::string& kind, const std::string& detail,
                       long line) {
  std::string m = "zereduv: I/O error (" + kind + ") on unit " +
                  std::to_string(unit) + ", file \"" + shown(file) + "\"";
  if (line > 0)
    m += ", line " + std::to_string(line);
  if (!detail.empty())
    m += ": " + detail;
  return m;
}

}  // namespace

IoError::IoError(int unit_, std::string file_, std::string kind_,
                 std::string detail_, long line_)
    : std::runtime_error(io_message(unit_, file_, kind_, detail_, line_)),
      unit(unit_),
      file(std::move(file_)),
      kind(std::move(kind_)),
      detail(std::move(detail_)),
      line(line_) {}

TableRejected::TableRejected(std::string file_, std::string problem_)
    : std::runtime_error("zereduv: field table \"" + shown(file_) +
                         "\" cannot be used: " + problem_),
      file(std::move(file_)),
      problem(std::move(problem_)) {}

void stop_run(std::string_view message) {
  throw RunStop{std::string(message)};
}

}  // namespace zereduv
