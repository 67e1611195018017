#!/usr/bin/env python3
"""Interrupts of the Windows build under Wine, sent from the Linux side.

Starts `wine Quorvane.exe` in a temporary package (the substitute nxflash.exe stands beside
the utility), waits for the question or the running tool call, sends SIGINT to the utility's
Unix process (Wine hands it to the console handler as Ctrl-C) and checks the exit code, the
tool's call log, the simulated ports and the log.

Usage: windows_interrupts.py WINE UTILITY SAMPLE_PACKAGE
The environment names the private WINEPREFIX; the log lives on its system drive.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

DISCOVER = "nxflash.exe -d tempNicList.xml"
FLASH = "nxflash.exe -i 4:0.0 -f -a"
SIM_CONFIG = "nxflash-sim.xml"
CALL_LOG = "nxflash-calls.log"

# Two ports at 4.0.555 (no driver check) with the iPE/dPE setting on: a post-run check would
# reset it. Each tool call holds on long enough for the signal to land inside it.
SIM = """<?xml version="1.0" encoding="utf-8"?>
<nxflash_sim>
  <faults delay_ms="3000"/>
  <port device_id="NIC1" bus="4" macaddress="00:0E:1E:00:00:04" active_version="4.0.555"
        hwflags="2"/>
  <port device_id="NIC2" bus="5" macaddress="00:0E:1E:00:00:05" active_version="4.0.555"
        hwflags="2"/>
</nxflash_sim>
"""

# (what, arguments, wait for: "question" or the number of tool calls begun, typed after the
# signal, exit code, calls, a log text only that interrupt writes)
CASES = [
    ("at a question", [], "question", "y\n", 3, [DISCOVER],
     "answered q.\n\nFirmware upgrade cancelled by User \n"),
    ("during a flash", ["-s", "-f"], 2, "", 0, [DISCOVER, FLASH],
     "(5:0.0) was not updated.\n\nNIC firmware update completed with errors. \n"),
    ("during discovery", ["-s"], 1, "", 0, [DISCOVER],
     "\nInterrupted: the run ends after the device discovery.\n"),
]


def read_text(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode("utf-8", "replace").replace("\r\n", "\n")
    except OSError:
        return ""


def calls(package):
    return [line for line in read_text(os.path.join(package, CALL_LOG)).split("\n") if line]


def port(package, device_id, attribute):
    root = ET.parse(os.path.join(package, SIM_CONFIG)).getroot()
    for p in root.iter("port"):
        if p.get("device_id") == device_id:
            return p.get(attribute)
    return None


def is_utility(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return b"Quorvane.exe" in f.read()
    except OSError:
        return False


def run_case(wine, utility, sample, log_path, case):
    what, args, wait_for, typed, code, expected_calls, logged = case
    failures = []
    with tempfile.TemporaryDirectory() as package:
        for name in os.listdir(sample):
            shutil.copy(os.path.join(sample, name), package)
        with open(os.path.join(package, SIM_CONFIG), "w") as f:
            f.write(SIM)
        if os.path.exists(log_path):
            os.remove(log_path)
        # `wine` execs the loader, so this is the Unix process of the Windows program.
        run = subprocess.Popen([wine, utility] + args, cwd=package, stdin=subprocess.PIPE,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline and run.poll() is None:
            if wait_for == "question":
                if "y/n/q/c" in read_text(log_path):
                    break
            elif len(calls(package)) >= wait_for:
                break
            time.sleep(0.05)
        else:
            failures.append("never reached the point to interrupt")
        if not failures and not is_utility(run.pid):
            failures.append("process %d is not the utility" % run.pid)
        run.send_signal(signal.SIGINT)
        try:
            if typed:
                # The handler runs on a thread of its own; a line typed after it is no answer.
                time.sleep(2)
                run.stdin.write(typed.encode())
            run.stdin.close()
        except BrokenPipeError:
            pass  # it has ended already
        try:
            exit_code = run.wait(timeout=120)
        except subprocess.TimeoutExpired:
            run.kill()
            exit_code = run.wait()
            failures.append("did not end")
        log = read_text(log_path)
        if exit_code != code:
            failures.append("exit code %d, expected %d" % (exit_code, code))
        if calls(package) != expected_calls:
            failures.append("tool calls %r, expected %r" % (calls(package), expected_calls))
        flashed = FLASH in expected_calls
        if port(package, "NIC1", "active_version") != ("4.0.600" if flashed else "4.0.555"):
            failures.append("NIC1 at %s" % port(package, "NIC1", "active_version"))
        if port(package, "NIC2", "active_version") != "4.0.555":
            failures.append("NIC2 was flashed")
        if port(package, "NIC1", "hwflags") != "2":
            failures.append("the iPE/dPE check ran after the interrupt")
        for text in (logged, "The run was interrupted.\nExiting with code %d\n" % code):
            if text not in log:
                failures.append("log lacks %r" % text)
        if failures:
            print("FAILED %s: %s\n--- log ---\n%s" % (what, "; ".join(failures), log))
        else:
            print("ok %s" % what)
    return not failures


def main():
    wine, utility, sample = sys.argv[1:4]
    prefix = os.environ.get("WINEPREFIX")
    if not prefix:
        print("WINEPREFIX must name the build's private prefix")
        return 1
    log_path = os.path.join(prefix, "drive_c", "tlvsystem", "log", "nxflash.log")
    results = [run_case(wine, utility, sample, log_path, case) for case in CASES]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
