#include "adapter/env/dependencies.h"

#include "messages/messages.h"
#include "platform/platform.h"

namespace {

constexpr const char kServer2003Driver[] = "qlxgnd32.sys";
constexpr const char kOtherDriver[] = "zeltnd5x86.sys";

struct DriverVersion {
  uint32_t part[4];
};

DriverVersion Split(uint32_t most, uint32_t least) {
  return {{most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF}};
}

bool AllAdaptersAtThreshold(const AdapterInventory& inventory) {
  for (const AdapterRecord& adapter : inventory) {
    if (!(DependencyThresholdVersion <= adapter.installed_version)) return false;
  }
  return true;
}

}  // namespace

std::optional<platform::ProductVersion> ReadDriverVersion(const std::string& driver_file) {
  std::optional<std::string> system = platform::SystemDirectory();
  if (!system) return std::nullopt;
  return platform::FileProductVersion(*system + platform::PathSeparator() + driver_file);
}

bool DriverVersionAllowed(const std::string& driver_file, uint32_t most, uint32_t least,
                          UserInterface& ui) {
  const DriverVersion limit = driver_file.find(kOtherDriver) != std::string::npos
                                  ? DriverVersion{{4, 0, 555, 0}}
                                  : DriverVersion{{4, 3, 13, 702}};
  DriverVersion installed = Split(most, least);
  ui.Write(msg::kAssessingDriver, driver_file.c_str());
  ui.Write(msg::kInstalledDriverVersion, static_cast<int>(installed.part[0]),
           static_cast<int>(installed.part[1]), static_cast<int>(installed.part[2]),
           static_cast<int>(installed.part[3]));
  bool allowed = false;
  for (int i = 0; i < 4; ++i) {
    if (installed.part[i] != limit.part[i]) {
      allowed = installed.part[i] < limit.part[i];
      break;
    }
  }
  if (!allowed) {
    ui.Write(msg::kDriverTooNew, driver_file.c_str(), 4, static_cast<int>(limit.part[1]),
             static_cast<int>(limit.part[2]), static_cast<int>(limit.part[3]));
  }
  return allowed;
}

bool VerifyDependencies(const AdapterInventory& inventory, UserInterface& ui) {
  if (inventory.empty()) {
    ui.Write(msg::kNoAdaptersToVerify);
    return false;
  }
  if (AllAdaptersAtThreshold(inventory)) {
    ui.Write(msg::kAllAtThreshold);
    return true;
  }
  // The first port's package version stands for the whole package.
  FirmwareVersion package = inventory.front().available_version;
  if (!(DependencyThresholdVersion <= package)) {
    ui.Write(msg::kPackageVersion, package.Format());
    return true;
  }
  ui.Write(msg::kSomeBelowThreshold);
  const char* driver = platform::IsNt52OrLater() ? kServer2003Driver : kOtherDriver;
  std::optional<platform::ProductVersion> installed = ReadDriverVersion(driver);
  if (!installed) {
    ui.Write(msg::kDriverVersionUnknown, driver);
    return false;
  }
  return DriverVersionAllowed(driver, installed->most, installed->least, ui);
}
