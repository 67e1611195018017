// What the command line asked for: one immutable value per run. app/option_table.h says
// which word sets what.
#pragma once

#include <string>

#include "adapter/update/firmware.h"
#include "ui/user_interface.h"

// Where several mode options may stand together (-ql -u), the one declared first here wins.
enum class RunMode {
  kUpdate,            // no mode option, or -n
  kShowInstalled,     // -c
  kWriteReport,       // -d FILE
  kApplyReport,       // -u FILE
  kVersionOnlyCheck,  // -ql
  kDependencyCheck,   // -v FILE
};

struct Options {
  RunMode mode = RunMode::kUpdate;
  UpdatePolicy update;  // -n, -e, -f, -g
  AnswerModes answers;  // -s, -y
  bool debug = false;
  std::string report_file;  // the file of -d, -u or -v
};
// A new field joins the comparison.
inline bool operator==(const Options& a, const Options& b) {
  return a.mode == b.mode && a.update == b.update && a.answers == b.answers && a.debug == b.debug &&
         a.report_file == b.report_file;
}

// The longest file name -d, -u and -v accept (a 260-character buffer with its terminator).
constexpr size_t kMaxReportFileName = 259;
