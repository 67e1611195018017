// Files and temporary directories for the tests.
#pragma once

#include <string>

namespace test {

// The file's bytes; "" when it cannot be read.
std::string ReadBytes(const std::string& path);
// The file's text with CR LF line ends folded to LF, so one expectation fits both hosts.
std::string ReadText(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
std::string Join(const std::string& dir, const std::string& name);
bool Contains(const std::string& text, const std::string& part);
// Removes a file left by an earlier step, if there is one.
void RemoveIfPresent(const std::string& path);
// Removes an empty directory.
bool RemoveDirectory(const std::string& path);
// Makes link a symbolic link to target; false where the host cannot (Wine makes none).
// Defined with the host's process helpers.
bool MakeSymbolicLink(const std::string& target, const std::string& link);
// The folder that holds the test binary, the utility and the substitute tool.
std::string BinaryDir();

// A fresh directory under the host's temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return Join(path_, name); }

 private:
  std::string path_;
};

}  // namespace test
