// The per-vendor updater that the update loops hand each discovered adapter port to. Every
// operation works on the inventory record at the current-adapter index.
#pragma once

#include <ostream>

#include "update/tool_runner.h"

class Firmware {
 public:
  // Announces the port, asks (or decides) and marks it selected or not.
  virtual void SelectAdapter() = 0;
  // The question text for the current port.
  virtual std::ostream& WriteUpdatePrompt(std::ostream& out) = 0;
  // The version decision and the question; returns an Answer.
  virtual int ConfirmUpdate() = 0;
  // Flashes the current port if it was selected.
  virtual void UpgradeAdapter() = 0;

 protected:
  ~Firmware() = default;  // updaters live until the process ends
};

class VAroruFirmware : public Firmware {
 public:
  void SelectAdapter() override;
  std::ostream& WriteUpdatePrompt(std::ostream& out) override;
  int ConfirmUpdate() override;
  void UpgradeAdapter() override;

 private:
  OneTimeNotice patience_notice_{false, 2};
};

// Creates the process-wide list of updaters (one for the supported adapter family).
void CreateUpdaterList();
int UpdaterCount();
Firmware* UpdaterAt(int index);
