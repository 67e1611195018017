#include "app/run_flags.h"

namespace {
uint32_t g_run_flags = 0;
std::string g_report_file_name;
}  // namespace

namespace RunFlags {

uint32_t Value() {
  return g_run_flags;
}
bool IsSet(uint32_t bits) {
  return (g_run_flags & bits) != 0;
}
void Set(uint32_t bits) {
  g_run_flags |= bits;
}
void Clear(uint32_t bits) {
  g_run_flags &= ~bits;
}

void Reset() {
  g_run_flags = 0;
  g_report_file_name.clear();
}

}  // namespace RunFlags

const std::string& ReportFileName() {
  return g_report_file_name;
}
void SetReportFileName(const std::string& name) {
  g_report_file_name = name;
}
