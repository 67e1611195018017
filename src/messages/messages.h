// Every text the utility shows on the console, writes to the log or asks with. Deployment
// frameworks and administrators read these texts, so they change only on purpose; a newcomer
// finds each one here and nowhere else. Formats take their values as printf arguments; data
// from outside is never a format.
#pragma once

namespace msg {

// Start-up and the opening and closing lines.
constexpr char kProgramTitle[] =
    "Zelt Orla-Series RavAre P3 Online Firmware Upgrade Utility for Windows";
constexpr char kCopyrightLine[] = "Copyright (C) 2026 Zelt Corporation. All rights reserved.";
constexpr char kBannerTitle[] = "%s (%s)\n";
// The utility's own version where its file carries none.
constexpr char kNoFileVersion[] = "0.0.0.0";
constexpr char kLine[] = "%s\n";
constexpr char kLineAndBlank[] = "%s\n\n";
constexpr char kText[] = "%s";
constexpr char kSupportingFileMissing[] = "Supporting file %s is missing. Cannot proceed.\n";
constexpr char kInitializationError[] = "Error initializing FW upgrade software.\n";
constexpr char kCommandLineSupplied[] = "Command line supplied:\n\t";
constexpr char kCommandLineWord[] = "%s ";
constexpr char kNewLine[] = "\n";
constexpr char kTimestamp[] = "%s: %s\n";
constexpr char kUpgradeBegan[] = "Upgrade began";
constexpr char kUpgradeCompleted[] = "Upgrade completed";
constexpr char kExiting[] = "Exiting with code %d\n";
constexpr char kUnexpectedError[] =
    "An unexpected error has occurred.  Firmware update will not be completed.\n";
constexpr char kCheckEndedUnexpectedlyWhat[] =
    "Error: the iPE/dPE setting verification ended unexpectedly: %s\n";
constexpr char kCheckEndedUnexpectedly[] =
    "Error: the iPE/dPE setting verification ended unexpectedly.\n";

// The usage text: the program's base name, the list of the options' first words, the line of
// no options, then the line of each listed option in the order of the option table.
constexpr char kUsagePrefix[] = "USAGE: %s ";
constexpr char kUsageNoOptions[] = "With no options, interactively upgrade firmware.\n";
constexpr char kUsageShowInstalled[] = "-c  Display currently installed firmware information.\n";
constexpr char kUsageWriteReport[] =
    "-d <filename>  Generate XML discovery report to <filename>.\n";
constexpr char kUsageRewrite[] =
    "-e  Enable re-write if the current firmware is the same, and upgrade if the current "
    "firmware is older.\n";
constexpr char kUsageForce[] = "-f  Force all firmware changes to occur.\n";
constexpr char kUsageDowngrade[] =
    "-g  Enable downgrade if the current firmware is newer, and upgrade if the current firmware "
    "is older.\n";
constexpr char kUsageHelp[] = "-h  Display this help menu.\n";
constexpr char kUsageSilent[] = "-s  Silently (non-interactively) upgrade firmware. \n";
constexpr char kUsageApplyReport[] =
    "-u <filename>  Read XML discovery report from <filename> and perform firmware upgrade.\n";
constexpr char kUsageAssumeDefault[] = "-y  Assume default repsonse for all prompts.\n";

// The question.
constexpr char kQuestion[] = "%s y/n/q/c (%s):";
constexpr char kInputProblem[] = "Unknown input problem!\nQuit...\n";
constexpr char kLogUnavailable[] =
    "Error: the log file %s cannot be opened; this run is not recorded.\n";
constexpr char kLogWriteFailed[] =
    "Error: the log file %s cannot be written; the rest of this run is not recorded.\n";

// The single-instance check.
constexpr char kCheckingInstance[] = "Checking for any other instance of RavAre tool!\n";
constexpr char kNoTempDirectory[] =
    "VerifyInstance: No temp directory identified or GetTempPath failed!\n";
constexpr char kNoProcessList[] = "VerifyInstance: Failed to get process details!\n";
constexpr char kToolAlreadyRunning[] =
    "Error: Either another RavAre tool is already running, or your last session did not close "
    "gracefully. Required to clear the settings!\n";
constexpr char kLockCleared[] = "Warning: last session did not close gracefully.  Clearing lock.\n";
constexpr char kLockNotCleared[] =
    "Error: last session did not close gracefully.  Unable to clear lock.\n";

// The driver rule.
constexpr char kAssessingDriver[] = "Assessing device driver %s\n";
constexpr char kInstalledDriverVersion[] = "Installed device driver version: %d.%d.%d.%d.\n";
constexpr char kDriverTooNew[] =
    "Device driver %s must be version less than %d.%d.%d.%d in order to complete firmware "
    "update. The driver can be updated after the system is rebooted.\n";
constexpr char kNoAdaptersToVerify[] =
    "VerifyDependencies: No supported network adapters for firmware upgrade.\n";
constexpr char kAllAtThreshold[] =
    "All VAroru P3 adapters have firmware version above or equal to v4.0.555.\n";
constexpr char kPackageVersion[] = "Firmware version in this package: %s\n";
constexpr char kSomeBelowThreshold[] =
    "At least one VAroru P3 adapter has a firmware version less than v4.0.555.  Will verify "
    "whether the current device driver version is allowed for this update.\n";
constexpr char kDriverVersionUnknown[] =
    "Could not get device driver (%s) version details. Please make sure that device driver is "
    "properly installed!\n";
constexpr char kDependenciesFailed[] =
    "Dependencies Failed -- Driver and firmware set are not allowed for update.\n";

// The catalog.
constexpr char kLoadFailed[] = "Loading configuration file %s failed. Error code: %d.\n";
constexpr char kPackageFilesMissing[] =
    "File Not found!- Please make sure %s and %s are present in the same directory where %s is "
    "located.\n";
constexpr char kNotSupported[] =
    "NIC with PCI ID %s is not identified as a supported VAroru P3 NIC.\n";
constexpr char kParsedVersion[] = "Parsed version to be %s \n";

// Discovery.
constexpr char kDiscoveryStarted[] = "Started device discovery!\n";
constexpr char kDiscoveryCompleted[] = "Device discovery completed successfully!\n";
constexpr char kNoDiscoveryFile[] = "Could not generate discovery file.\n";
constexpr char kDiscoveryFailed[] = "Device discovery failed with error code %d\n";
constexpr char kInvalidId[] = "Warning!!! - Invalid/Corrupted %s (XML tag: %s) value.\n";
constexpr char kUnexpectedFirmwareType[] =
    "Warning!!! - firmware type is not expected!. Expected type is ROM, current value is %s\n";
constexpr char kOtherFamilyReport[] =
    "This VRIT tool can only be used to update P3-series VAroru NICs.\n";
constexpr char kUnexpectedReportType[] = "Unexpected value '%s' in file %s. Expected '%s'.\n";
constexpr char kNoSupportedAdapters[] = "No supported network adapters for firmware upgrade.\n";
constexpr char kDuplicatePort[] =
    "Warning!!! - Port %s (device %s) is listed more than once in the report; only its first "
    "listing is used.\n";
constexpr char kCatalogImageNotPlain[] =
    "Warning!!! - The catalog names the firmware image %s, which is not a plain file name of "
    "the package directory; it is taken as missing and never opened.\n";
constexpr char kPortNumberInvalid[] =
    "Warning!!! - Port %s (device %s) has a bus, device or function number that is not a "
    "hexadecimal number; it is not supported.\n";

// The read-only outputs.
constexpr char kVersionOnlyReportLogged[] =
    "Created an XML file with only FW version information!\n%s\n";
constexpr char kVersionOnlyFileCreated[] = "Created file %s with only firmware version details.\n";
constexpr char kVersionOnlyFileMissing[] =
    "Failed to create file %s with only firmware version details!\n";
constexpr char kVersionOnlyFileNotWritten[] =
    "Error: the version-only report %s cannot be written.\n";
constexpr char kStatusOff[] = "n/a";
constexpr char kTableHeader[] = "MAC                  B:D.F     PCI-ID                  NIC\n";
constexpr char kTableColumns[] =
    "   (Installed)            (Available)     Interface               WOL       PXE       "
    "NCSI\n"
    "Image     Version      Image     Version   \n";
constexpr char kTableRom[] = "ROM       ";

// The hardware-flags check.
constexpr char kCheckStarted[] =
    "Started verification of iPE/dPE setting for the supported NICs.\n";
constexpr char kCheckFinished[] =
    "Finished verification of iPE/dPE setting for the supported NICs.\n";
constexpr char kPortVersion[] = "\"%s\" has firmware version %s.\n";
constexpr char kPortAtThreshold[] = "\"%s\" has firmware version equal to v4.0.555.\n";
constexpr char kFlagsAlreadyDisabled[] = "iPE/dPE setting is already disabled for \"%s\".\n";
constexpr char kFlagsCurrentValue[] = "Current value: %s\n";
constexpr char kFlagsResetSucceeded[] = "\"%s\": disabling the iPE/dPE setting succeeded!\n";
constexpr char kFlagsResetFailed[] =
    "\"%s\": disabling the iPE/dPE setting failed!\n%s: error code %d.\n";

// The flash tool runner, and what its progress line says while the tool runs.
constexpr char kCaptureFileFailed[] = "Failed to create file\n";
constexpr char kProgressDiscovering[] = "discovering the adapters";
constexpr char kProgressQuerying[] = "reading the iPE/dPE setting of %s";
constexpr char kProgressResetting[] = "disabling the iPE/dPE setting of %s";
constexpr char kProgressFlashing[] = "flashing %s";
constexpr char kProgressApplying[] = "applying %s";

// Updating.
constexpr char kFoundPort[] = "Found %s MAC: %-17s (v%s)\n";
constexpr char kUpdatePrompt[] = "Update firmware on '%s' (%s) : \nFrom ROM %s to %s? ";
constexpr char kSameVersionWarning[] =
    "*** WARNING *** - Installed firmware is the same version as selected firmware\n";
constexpr char kNewerVersionWarning[] =
    "*** WARNING *** - Installed firmware is more recent than selected firmware\n";
constexpr char kPatience[] = "The Firmware upgrade will take several minutes. Please be patient.\n";
constexpr char kSelectingPort[] = "Selecting %s MAC: %-12s \n";
constexpr char kUpgradeSucceeded[] = "MAC %s upgrade SUCCESS!\n";
constexpr char kUpgradeFailed[] =
    "Command to upgrade firmware failed with internal error code %d\n\tCommand: %s\n";

// The run modes' closing messages.
constexpr char kCancelledByUser[] = "\nFirmware upgrade cancelled by User \n";
constexpr char kCompletedWithErrors[] = "\nNIC firmware update completed with errors. \n";
constexpr char kUpdateRecommended[] = "\nNIC firmware update is recommended.\n";
constexpr char kUpdateNotRecommended[] = "\nNIC firmware update is not recommended.\n";
constexpr char kUpdateComplete[] = "\nNIC firmware update complete.\n";
constexpr char kNothingSelected[] = "\nNo firmware is selected for update.\n";
constexpr char kReportFailed[] = "\nFailed to generate NIC discovery report to %s.\n";
constexpr char kReportWritten[] = "\nSuccessfully generated NIC discovery report to %s.\n";
constexpr char kReportNotMovedAside[] =
    "Error: The existing report %s cannot be moved aside; it is kept and no new report is "
    "written.\n";
constexpr char kApplyFileMissing[] = "Error: Discovery file %s not found!.\n";
constexpr char kApplyFailed[] = "Error: Failed to process discovery file %s.\n";
constexpr char kProtectedReportFile[] =
    "Error: %s is a file of the package or of the utility and cannot be a report file.\n";
constexpr char kDeviceOrStreamReportFile[] =
    "Error: %s is a device or stream name and cannot be a report file.\n";

// One run at a time, interrupts and links.
constexpr char kInstanceLockUnavailable[] =
    "Error: the utility's single-instance lock cannot be taken. Cannot proceed.\n";
constexpr char kLockHeldByRun[] =
    "Error: another run of the utility (process %lld, user %s) holds the single-instance "
    "lock.\n";
constexpr char kLockHeldByProgram[] =
    "Error: the single-instance lock is held by another program (process %lld).\n";
constexpr char kLockNameHeldByProgram[] =
    "Error: the single-instance lock %s is held by another program, which does not answer as "
    "the utility does.\n";
constexpr char kLockHeld[] = "Error: the single-instance lock %s is held by another process.\n";
constexpr char kLockMutexOwned[] =
    "Error: the single-instance lock (mutex %s) is owned by another process: another run of "
    "the utility, or a program that took the mutex.\n";
constexpr char kLockMutexNotOwned[] =
    "Error: the single-instance lock (mutex %s) is held open by another program, which does "
    "not own it as the utility does.\n";
constexpr char kLockMutexOfAnotherUser[] =
    "Error: the single-instance lock (mutex %s) was made by another user's process and cannot "
    "be opened.\n";
constexpr char kLockNameOfAnotherKind[] =
    "Error: the name of the single-instance lock (%s) is taken by another program's object, "
    "which is no mutex.\n";
constexpr char kInterruptedAtQuestion[] = "\nInterrupted: the question is answered q.\n";
constexpr char kInterruptedBeforeFlash[] = "\nInterrupted: no further port is flashed.\n";
constexpr char kPortNotUpdated[] = "MAC %s (%s) was not updated.\n";
constexpr char kInterruptedAfterDiscovery[] =
    "\nInterrupted: the run ends after the device discovery.\n";
constexpr char kCheckInterrupted[] = "Interrupted: the iPE/dPE setting verification ends here.\n";
constexpr char kRunInterrupted[] = "The run was interrupted.\n";

// The run record and the run's event.
constexpr char kRunRecordNotWritten[] = "Error: the run record cannot be written to %s.\n";
constexpr char kRunEvent[] = "Quorvane run ended: %s, exit code %d. %s";
constexpr char kRefusedLink[] = "Error: %s is a link; files are never written through a link.\n";
constexpr char kRefusedProtectedFile[] =
    "Error: %s is a file of the package or of the utility under another name; it is not "
    "written.\n";

}  // namespace msg
