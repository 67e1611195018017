// The answer reader over arbitrary typed input. Property: every question takes exactly one
// input line, so one line never answers two questions and no line goes unread.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "ui/user_interface.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // a memory stream needs a byte
  std::string input(reinterpret_cast<const char*>(data), size);
  std::FILE* in = fmemopen(&input[0], size, "r");
  std::FILE* out = std::fopen("/dev/null", "w");
  {
    UiSettings settings;
    settings.log_path = "/dev/null";
    settings.input = in;
    settings.output = out;
    UserInterface ui(settings);
    for (size_t at = 0; at < size;) {
      size_t newline = input.find('\n', at);
      size_t next = newline == std::string::npos ? size : newline + 1;
      ui.Ask("Update the adapter?", QuestionDefaults{});
      long after = std::ftell(in);
      // Each question takes exactly one line, however long.
      Check(after == static_cast<long>(next));
      at = static_cast<size_t>(after);
    }
  }
  std::fclose(out);
  std::fclose(in);
  return 0;
}
