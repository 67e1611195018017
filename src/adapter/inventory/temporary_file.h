// Removes a temporary file of the package directory when an exception leaves the scope, so
// that nothing is left behind; the normal paths decide about the file themselves.
#pragma once

#include <exception>
#include <string>

#include "platform/platform.h"

class TemporaryFileGuard {
 public:
  explicit TemporaryFileGuard(std::string path)
      : path_(std::move(path)), exceptions_(std::uncaught_exceptions()) {}
  TemporaryFileGuard(const TemporaryFileGuard&) = delete;
  TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;
  ~TemporaryFileGuard() {
    if (std::uncaught_exceptions() > exceptions_) {
      Ignore(platform::RemoveFile(path_), "the run is ending on an error that says more");
    }
  }

 private:
  std::string path_;
  int exceptions_;
};
