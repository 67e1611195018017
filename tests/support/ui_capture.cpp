#include "support/ui_capture.h"

#include <utility>

namespace test {

CapturedUi::CapturedUi(const std::string& typed_input, UiSettings settings) {
  WriteBytes(dir_.File("input.txt"), typed_input);
  input_ = std::fopen(dir_.File("input.txt").c_str(), "r");
  output_ = std::fopen(dir_.File("console.txt").c_str(), "w");
  settings.log_path = dir_.File("test.log");
  settings.columns = 121;
  settings.rows = 65;
  settings.input = input_;
  settings.output = output_;
  ui_ = new UserInterface(std::move(settings));
}

CapturedUi::~CapturedUi() {
  delete ui_;
  std::fclose(input_);
  std::fclose(output_);
}

std::string CapturedUi::Console() {
  std::fflush(output_);
  return ReadText(dir_.File("console.txt"));
}

}  // namespace test
