// The per-vendor updater that the update loops hand each discovered adapter port to.
#pragma once

#include <memory>
#include <string>
#include <vector>

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

// What the update loops found and did.
struct UpdateOutcome {
  bool done = false;    // at least one port was flashed
  bool failed = false;  // at least one flash failed
  // -n: how the installed firmware compares with the package, over all ports asked about.
  bool recommended = false;
  bool same_version = false;
  bool installed_newer = false;
};

class Firmware {
 public:
  virtual ~Firmware() = default;
  // Announces the port, asks (or decides) and marks it selected or not.
  virtual Answer SelectAdapter(AdapterRecord& adapter, UpdateOutcome* outcome) = 0;
  // The question text for the port.
  virtual std::string UpdatePrompt(const AdapterRecord& adapter) = 0;
  // The version decision and the question.
  virtual Answer ConfirmUpdate(const AdapterRecord& adapter, UpdateOutcome* outcome) = 0;
  // Flashes the port if it was selected.
  virtual void UpgradeAdapter(const AdapterRecord& adapter, UpdateOutcome* outcome) = 0;
};

class VAroruFirmware : public Firmware {
 public:
  VAroruFirmware(UserInterface& ui, FlashTool& tool, const UpdatePolicy& policy)
      : ui_(ui), tool_(tool), policy_(policy) {}

  Answer SelectAdapter(AdapterRecord& adapter, UpdateOutcome* outcome) override;
  std::string UpdatePrompt(const AdapterRecord& adapter) override;
  Answer ConfirmUpdate(const AdapterRecord& adapter, UpdateOutcome* outcome) override;
  void UpgradeAdapter(const AdapterRecord& adapter, UpdateOutcome* outcome) override;

 private:
  UserInterface& ui_;
  FlashTool& tool_;
  const UpdatePolicy policy_;
  OneTimeNotice patience_notice_;
};

// True when the port was selected and its report does not skip it: the apply phase flashes it.
bool IsToBeFlashed(const AdapterRecord& adapter);

// The updaters of a run: one for the supported adapter family.
using UpdaterList = std::vector<std::unique_ptr<Firmware>>;
UpdaterList CreateUpdaterList(UserInterface& ui, FlashTool& tool, const UpdatePolicy& policy);
