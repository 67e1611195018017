#include "support/ui_capture.h"

namespace test {

CapturedUi::CapturedUi(const std::string& typed_input) {
  WriteBytes(dir_.File("input.txt"), typed_input);
  input_ = std::fopen(dir_.File("input.txt").c_str(), "r");
  output_ = std::fopen(dir_.File("console.txt").c_str(), "w");
  ui_ = new UserInterface(dir_.File("test.log"), 121, 65, input_, output_);
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
