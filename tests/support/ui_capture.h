// A UserInterface whose console, input and log are files the test can read.
#pragma once

#include <cstdio>
#include <string>

#include "support/files.h"
#include "ui/user_interface.h"

namespace test {

class CapturedUi {
 public:
  // settings gives the modes; the log, the console and the input are the capture's own.
  explicit CapturedUi(const std::string& typed_input = "", UiSettings settings = {});
  ~CapturedUi();
  CapturedUi(const CapturedUi&) = delete;
  CapturedUi& operator=(const CapturedUi&) = delete;

  UserInterface& ui() { return *ui_; }
  std::string Console();
  std::string Log() const { return ReadText(dir_.File("test.log")); }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  std::FILE* input_ = nullptr;
  std::FILE* output_ = nullptr;
  UserInterface* ui_ = nullptr;
};

}  // namespace test
