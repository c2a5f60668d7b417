// The field file's temporary and its replace on Windows: the temporary is
// hidden while it is written and an ordinary file once it is the field
// file, and a field file that another program holds open, or a read-only
// one, is reported in those words, the older file kept.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "run/errors.h"
#include "run/system/field_sink.h"
#include "support/scratch_dir.h"

namespace zereduv::testing {
namespace {

DWORD attributes_of(const std::filesystem::path& p) {
  return ::GetFileAttributesW(p.c_str());
}

TEST(FieldSinkWindows, TemporaryIsHiddenUntilItIsTheFieldFile) {
  ScratchDir dir;
  const auto target = dir / "eh_ZIV.#01";
  FieldSink sink(target, 7, "eh_ZIV.#01");
  // (The temporary attribute is only a caching hint, which Wine does not
  // keep: it is not looked at.)
  EXPECT_NE(attributes_of(sink.temp_path()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  sink.write("field", 5);
  sink.commit();
  EXPECT_EQ(attributes_of(target) &
                (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY),
            0u);
}

TEST(FieldSinkWindows, ReplaceRefusedSaysWhy) {
  const struct {
    const char* what;
    DWORD share;     // how another handle holds the field file; 0: none
    bool read_only;  // the field file's read-only attribute
    const char* says;
  } cases[] = {
      {"held open, nothing shared", 0, false, "in use by another program"},
      {"held open, reading shared", FILE_SHARE_READ, false,
       "in use by another program"},
      {"read-only", 0, true, "read-only"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    const auto target = dir / "eh_ZIV.#01";
    dir.write("eh_ZIV.#01", "older field file");
    HANDLE held = INVALID_HANDLE_VALUE;
    if (c.read_only) {
      ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    } else {
      held = ::CreateFileW(target.c_str(), GENERIC_READ, c.share, nullptr,
                           OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }
    std::string message;
    try {
      FieldSink sink(target, 7, "eh_ZIV.#01");
      sink.write("new", 3);
      sink.commit();
    } catch (const IoError& e) {
      message = e.what();
    }
    if (held != INVALID_HANDLE_VALUE)
      ::CloseHandle(held);
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_NE(message.find(c.says), std::string::npos) << message;
    EXPECT_EQ(dir.read("eh_ZIV.#01"), "older field file");
  }
}

}  // namespace
}  // namespace zereduv::testing
