// The updater, which asks about each discovered port and flashes it, and the update run's
// phases: the questions make the plan, the apply phase carries it out.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "adapter/inventory/adapter_inventory.h"
#include "adapter/tool/flash_tool.h"
#include "adapter/update/exit_code.h"
#include "base/expected.h"
#include "ui/one_time_notice.h"
#include "ui/user_interface.h"

// The options that decide what a port's question offers: -n, -e, -f and -g.
struct UpdatePolicy {
  bool report_only = false;
  bool rewrite = false;
  bool force = false;
  bool downgrade = false;
};
// A new field joins the comparison.
inline bool operator==(const UpdatePolicy& a, const UpdatePolicy& b) {
  return a.report_only == b.report_only && a.rewrite == b.rewrite && a.force == b.force &&
         a.downgrade == b.downgrade;
}

// -n: how the installed firmware compares with the package, over the ports compared.
struct VersionFindings {
  bool recommended = false;  // some port is older than the package
  bool same_version = false;
  bool installed_newer = false;

  VersionFindings& operator|=(const VersionFindings& other) {
    recommended |= other.recommended;
    same_version |= other.same_version;
    installed_newer |= other.installed_newer;
    return *this;
  }
};

// The answer for one port and what its version comparison found.
struct Confirmation {
  Answer answer = Answer::kNo;
  VersionFindings found;
};

// The decision about one port: the answer, and whether the apply phase is to flash it.
struct PortSelection {
  Answer answer = Answer::kNo;
  bool flash = false;
  VersionFindings found;
};

// What the apply phase will flash: indexes into the run's inventory, in port order.
using UpdatePlan = std::vector<size_t>;

// One flash the apply phase began.
struct PortFlash {
  size_t port = 0;
  ToolRun call;  // exit code 98 when the tool did not start
  bool flashed = false;
};

// What the apply phase did.
struct UpdateOutcome {
  bool done = false;         // at least one port was flashed
  bool failed = false;       // at least one flash failed or was not begun
  bool interrupted = false;  // an interrupt kept flashes from beginning
  std::vector<PortFlash> flashes;
};

// How the questions ended: each asked port's selection (in port order; a port at which an
// interrupt came answered q), the plan for the apply phase, what -n's comparisons found, and
// whether the user quit (then the plan is empty) or an interrupt did.
struct SelectionResult {
  std::vector<PortSelection> asked;
  UpdatePlan plan;
  VersionFindings findings;
  bool quit = false;
  bool interrupted = false;
};

// Announces the port, asks (or decides) and says whether it is to be flashed.
PortSelection SelectAdapter(UserInterface& ui, const UpdatePolicy& policy,
                            const AdapterRecord& adapter);
// The question text for the port.
std::string UpdatePrompt(const AdapterRecord& adapter);
// The version decision and the question.
Confirmation ConfirmUpdate(UserInterface& ui, const UpdatePolicy& policy,
                           const AdapterRecord& adapter);
// Flashes the port; the error carries the tool's exit code and command line. call, when given,
// receives the tool's call. The patience notice is shown before a run's first flash.
Expected<void, ToolExitCode> UpgradeAdapter(UserInterface& ui, FlashTool& tool,
                                            const AdapterRecord& adapter, OneTimeNotice& patience,
                                            ToolRun* call = nullptr);

// Asks about every port in turn; q, or an interrupt, ends the questions with nothing planned.
SelectionResult SelectionPhase(UserInterface& ui, const UpdatePolicy& policy,
                               const AdapterInventory& ports);
// Carries out the plan; after an interrupt no further flash begins.
UpdateOutcome ApplyPhase(UserInterface& ui, FlashTool& tool, const AdapterInventory& ports,
                         const UpdatePlan& plan);
// Turns the outcome into the closing message and the exit code.
ExitCode ReportOutcome(const UpdateOutcome& outcome, const VersionFindings& findings,
                       bool report_only, UserInterface& ui);
