// The per-vendor updater that the update loops hand each discovered adapter port to.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "base/expected.h"
#include "inventory/adapter_inventory.h"
#include "tool/flash_tool.h"
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

// An updater's decision about one port: the answer, and whether the apply phase is to flash it.
struct PortSelection {
  Answer answer = Answer::kNo;
  bool flash = false;
  VersionFindings found;
};

class Firmware;

// One step of the apply phase: an updater flashes a port (an index into the run's inventory).
struct PlannedFlash {
  size_t port = 0;
  Firmware* updater = nullptr;
};

// What the apply phase will do, in order; the steps of one port are next to each other.
using UpdatePlan = std::vector<PlannedFlash>;

// What the apply phase did.
struct UpdateOutcome {
  bool done = false;         // at least one port was flashed
  bool failed = false;       // at least one flash failed or was not begun
  bool interrupted = false;  // an interrupt kept flashes from beginning
};

class Firmware {
 public:
  virtual ~Firmware() = default;
  // Announces the port, asks (or decides) and says whether it is to be flashed.
  virtual PortSelection SelectAdapter(const AdapterRecord& adapter) = 0;
  // The question text for the port.
  virtual std::string UpdatePrompt(const AdapterRecord& adapter) = 0;
  // The version decision and the question.
  virtual Confirmation ConfirmUpdate(const AdapterRecord& adapter) = 0;
  // Flashes the port; the error carries the tool's exit code and command line. call, when
  // given, receives the tool's call (exit code 98 when it did not start).
  virtual Expected<void, ToolExitCode> UpgradeAdapter(const AdapterRecord& adapter,
                                                      ToolRun* call = nullptr) = 0;
};

class VAroruFirmware : public Firmware {
 public:
  VAroruFirmware(UserInterface& ui, FlashTool& tool, const UpdatePolicy& policy)
      : ui_(ui), tool_(tool), policy_(policy) {}

  PortSelection SelectAdapter(const AdapterRecord& adapter) override;
  std::string UpdatePrompt(const AdapterRecord& adapter) override;
  Confirmation ConfirmUpdate(const AdapterRecord& adapter) override;
  Expected<void, ToolExitCode> UpgradeAdapter(const AdapterRecord& adapter,
                                              ToolRun* call = nullptr) override;

 private:
  UserInterface& ui_;
  FlashTool& tool_;
  const UpdatePolicy policy_;
  OneTimeNotice patience_notice_;
};

// The updaters of a run: one for the supported adapter family.
using UpdaterList = std::vector<std::unique_ptr<Firmware>>;
UpdaterList CreateUpdaterList(UserInterface& ui, FlashTool& tool, const UpdatePolicy& policy);
