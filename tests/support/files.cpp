#include "support/files.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/platform.h"

namespace test {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
  std::string bytes = ReadBytes(path);
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text.push_back(bytes[i]);
  }
  return text;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty() || platform::IsPathSeparator(dir.back())) return dir + name;
  return dir + platform::PathSeparator() + name;
}

std::string BinaryDir() {
  std::string self = platform::OwnExecutablePath().value();
  size_t end = self.size();
  while (end > 0 && !platform::IsPathSeparator(self[end - 1])) --end;
  return self.substr(0, end > 0 ? end - 1 : 0);
}

TempDir::TempDir() {
  static int counter = 0;
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::string base = platform::TempDirectory().value();
  for (int attempt = 0;; ++attempt) {
    path_ = base + "qv-test-" + std::to_string(stamp) + "-" + std::to_string(++counter);
    if (platform::MakeDirectory(path_) || attempt > 100) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

void RemoveIfPresent(const std::string& path) {
  Ignore(platform::RemoveFile(path), "a file that is not there is what the caller wants");
}

bool RemoveDirectory(const std::string& path) {
  std::error_code ec;
  return std::filesystem::remove(path, ec);
}

}  // namespace test
