#!/usr/bin/env python3
"""Rolls deploy/ansible/rollout.yml out over a simulated fleet on this machine.

Every host is local (ansible_connection=local) with its own package directory, system drive,
temporary directory and simulated adapters for the substitute flash tool, so hosts never
see each other's lock file or log. The utility's own lock is one per machine (per network
namespace on Linux), so when run as root each host also gets a network namespace of its own,
which every run of the utility on that host enters. Usage: fleet_test.py BIN_DIR (holding
quorvane and nxflash.exe of the Linux build). Also lints the role and checks the playbook's
syntax.
"""

import atexit
import base64
import csv
import glob
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ANSIBLE_DIR = os.path.join(ROOT, "deploy", "ansible")
BIN_DIR = ""
PACKAGE_VERSION = "4.0.600"
# The task time limit of the rollout that meets the slow host: its discovery reports and its
# update take longer, its -n does not.
TASK_TIMEOUT = "6"

# host: (ports as (active_version, flash_exit), inventory variables). Listed in rollout order;
# the batches are 1, 3, 4, 4, 1 hosts. The hosts of COPIED receive the package from the
# controller; the others have theirs laid out already. "delay_ms" slows every call of the
# host's flash tool down; "unreachable" hosts are reached over SSH to a closed port.
# Older firmware stays above 4.0.555, where the driver rule needs no driver files.
FLEET = {
    # The canary: -e re-writes the equal port, the newer one stays.
    "host01": ([("4.0.560", 0), ("4.0.600", 0), ("4.0.700", 0)],
               {"quorvane_update_options": ["-e"]}),
    "host02": ([("4.0.600", 0), ("4.0.700", 0)], {}),  # -n: not recommended, no update
    "host03": ([("4.0.600", 0), ("4.0.600", 0)], {"quorvane_update_options": ["-f"]}),
    "host04": ([("4.0.556", 0)], {"delay_ms": 2000}),  # the interrupted rollout stops here
    "host05": ([("4.0.560", 0), ("4.0.560", 7)], {}),  # one flash fails: 1 of 4 fail
    "host06": ([("4.0.560", 0), ("4.0.700", 0)], {"quorvane_update_options": ["-g"]}),
    "host07": ([("4.0.700", 0)], {"quorvane_update_options": ["-g"]}),  # all ports newer
    "host08": ([("4.0.560", 0)], {"delay_ms": 2500}),  # reports beyond the task time limit
    "host09": ([("4.0.560", 0)], {"tool_missing": True}),
    "host10": ([("4.0.560", 0)], {"fw_type": "nvram"}),  # the discovery report is refused
    "host11": ([], {}),  # no supported adapter: not a failure
    "host12": ([("4.0.560", 0)], {"unreachable": True}),  # 3 of 4 fail: the rollout stops
    "host13": ([("4.0.560", 0)], {}),  # never reached
}


def port_rows(host, rows, host_outcome, reason=""):
    return [(host, "4:0.%d" % i, "00:0E:1E:%s:00:%02d" % (host[-2:], i), before, PACKAGE_VERSION,
             after, outcome, later, host_outcome, reason)
            for i, (before, after, outcome, later) in enumerate(rows)]


def host_row(host, outcome, reason=""):
    return [(host, "", "", "", "", "", outcome, "", outcome, reason)]


UPDATED = ("4.0.560", "4.0.600", "updated", "")
UNCHANGED = ("4.0.600", "4.0.600", "unchanged", "")
NEWER = ("4.0.700", "4.0.700", "unchanged", "")
REFLASHED = ("4.0.600", "4.0.600", "re-flashed", "")
DOWNGRADED = ("4.0.700", "4.0.600", "downgraded", "")
# The fleet report: host, port, MAC, before, package, after, outcome, later, host outcome,
# reason. A reason of None stands for any text.
FLASH_FAILED = "partly-failed: flash failed on 4:0.1"
FIRST_ROWS = port_rows("host01", [UPDATED, REFLASHED, NEWER], "re-flashed")
BATCH2_ROWS = (port_rows("host02", [UNCHANGED, NEWER], "unchanged")
               + port_rows("host03", [REFLASHED] * 2, "re-flashed"))
EXPECTED_REPORT = (
    FIRST_ROWS + BATCH2_ROWS
    + port_rows("host04", [("4.0.556", "4.0.600", "updated", "")], "updated")
    + port_rows("host05", [UPDATED, ("4.0.560", "4.0.560", "failed", "")], "failed",
                FLASH_FAILED)
    + port_rows("host06", [UPDATED, DOWNGRADED], "downgraded")
    + port_rows("host07", [DOWNGRADED], "downgraded")
    + port_rows("host08", [UPDATED], "updated")
    + host_row("host09", "failed", "tool-missing")
    + host_row("host10", "failed", "report-refused (firmware-type)")
    + host_row("host11", "no adapter")
    + host_row("host12", "unreachable", None)
    + host_row("host13", "not reached"))
FAILED = {"host05", "host09", "host10", "host12"}
UNREACHED = {"host13"}
UPDATED_HOSTS = {"host01", "host03", "host04", "host05", "host06", "host07", "host08"}
CHECKED = ["host02", "host05", "host13"]  # batches: host02 | the others
COPIED = {"host01", "host02", "host13"}  # copied before the task time limit is set


def sim_config(host, ports, delay_ms=0, fw_type=None):
    lines = ['<?xml version="1.0" encoding="utf-8"?>', "<nxflash_sim>"]
    faults = (' delay_ms="%d"' % delay_ms if delay_ms else "") + \
        (' fw_type="%s"' % fw_type if fw_type else "")
    if faults:
        lines.append("\t<faults%s />" % faults)
    for i, (version, flash_exit) in enumerate(ports):
        lines.append(
            '\t<port device_id="NIC%d" macaddress="00:0E:1E:%s:00:%02d" bus="4" device="0" '
            'function="%d" active_version="%s" flash_exit="%d" />'
            % (i + 1, host[-2:], i, i, version, flash_exit))
    lines.append("</nxflash_sim>")
    return "\n".join(lines) + "\n"


def read(path):
    try:
        with open(path, encoding="utf-8") as f:
            return f.read()
    except FileNotFoundError:
        return None


def read_csv(path):
    try:
        with open(path, encoding="utf-8") as f:
            return [tuple(row.values()) for row in csv.DictReader(f)]
    except FileNotFoundError:
        return []


class Namespaces:
    """A persistent network namespace per simulated host, removed at exit (also on failure).
    Without root, or without ip(8), hosts are told apart by TMPDIR alone."""

    def __init__(self):
        self.names = {}
        atexit.register(self.remove)
        # A run ended by SIGTERM (a time limit, CI) removes them too.
        if signal.getsignal(signal.SIGTERM) == signal.SIG_DFL:
            signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))

    def launcher(self, host):
        if os.geteuid() != 0 or not shutil.which("ip") or not shutil.which("nsenter"):
            return []
        name = "quorvane-fleet-%d-%s" % (os.getpid(), host)
        if name not in self.names.values():
            if subprocess.run(["ip", "netns", "add", name], check=False).returncode != 0:
                return []
            self.names[host] = name
        return ["nsenter", "--net=/run/netns/" + name, "--"]

    def remove(self):
        for name in self.names.values():
            subprocess.run(["ip", "netns", "delete", name], check=False)
        self.names.clear()


NAMESPACES = Namespaces()


class Fleet:
    """The simulated fleet in a temporary directory, and the runs of the playbook over it."""

    def __init__(self, directory=None):
        self.dir = directory or tempfile.mkdtemp(prefix="quorvane-fleet.")
        self.reports = os.path.join(self.dir, "reports")
        self.inventory = os.path.join(self.dir, "inventory.json")
        home = os.path.join(self.dir, "home")
        self.env = dict(os.environ, HOME=home, ANSIBLE_HOME=os.path.join(home, ".ansible"),
                        ANSIBLE_LOCAL_TEMP=os.path.join(home, "local-tmp"),
                        ANSIBLE_REMOTE_TEMP=os.path.join(home, "remote-tmp"),
                        ANSIBLE_ASYNC_DIR=os.path.join(home, "async"),
                        ANSIBLE_NOCOLOR="1", ANSIBLE_FORCE_COLOR="0", ANSIBLE_PIPELINING="1",
                        ANSIBLE_HOST_KEY_CHECKING="0")
        if not os.path.exists(self.inventory):
            self._lay_out()
        else:
            self._enter_namespaces()

    def _lay_out(self):
        source = os.path.join(self.dir, "package-src")
        os.makedirs(source)
        self.lay_package(source, tool=True)
        hosts = {}
        for host, (ports, extra) in FLEET.items():
            base = os.path.join(self.dir, "hosts", host)
            for sub in ("package", "drive", "temp"):
                os.makedirs(os.path.join(base, sub))
            package = os.path.join(base, "package")
            missing = extra.get("tool_missing", False)
            laid = host not in COPIED
            if laid:
                self.lay_package(package, tool=not missing)
            with open(os.path.join(package, "nxflash-sim.xml"), "w", encoding="utf-8") as f:
                f.write(sim_config(host, ports, extra.get("delay_ms", 0), extra.get("fw_type")))
            hosts[host] = {
                "quorvane_package_dir": package,
                "quorvane_package_src": "" if laid else source,
                "quorvane_environment": {"SYSTEMDRIVE": os.path.join(base, "drive"),
                                         "TMPDIR": os.path.join(base, "temp")},
                "quorvane_launcher": NAMESPACES.launcher(host),
            }
            if extra.get("unreachable"):
                hosts[host].update(ansible_connection="ssh", ansible_host="127.0.0.1",
                                   ansible_port=1)
            hosts[host].update({k: v for k, v in extra.items() if k.startswith("quorvane_")})
        inventory = {"quorvane": {
            "vars": {"ansible_connection": "local",
                     "ansible_python_interpreter": sys.executable,
                     "quorvane_report_dir": self.reports,
                     "quorvane_update_poll": 1},
            "hosts": hosts}}
        os.makedirs(os.path.join(self.dir, "home"))
        with open(self.inventory, "w", encoding="utf-8") as f:
            json.dump(inventory, f, indent=1)

    def _enter_namespaces(self):
        # A fleet kept between runs of the demo needs its namespaces again.
        with open(self.inventory, encoding="utf-8") as f:
            inventory = json.load(f)
        for host, variables in inventory["quorvane"]["hosts"].items():
            variables["quorvane_launcher"] = NAMESPACES.launcher(host)
        with open(self.inventory, "w", encoding="utf-8") as f:
            json.dump(inventory, f, indent=1)

    @staticmethod
    def lay_package(directory, tool):
        shutil.copy2(os.path.join(BIN_DIR, "quorvane"), directory)
        if tool:
            shutil.copy2(os.path.join(BIN_DIR, "nxflash.exe"), directory)
        shutil.copy2(os.path.join(ROOT, "package", "NICFWData.xml"), directory)

    def path(self, host, *parts):
        return os.path.join(self.dir, "hosts", host, *parts)

    def sim(self, host):
        return read(self.path(host, "package", "nxflash-sim.xml"))

    def calls(self, host):
        return (read(self.path(host, "package", "nxflash-calls.log")) or "").splitlines()

    def log(self, host):
        return read(self.path(host, "drive", "tlvsystem", "log", "nxflash.log")) or ""

    def command(self, *args):
        return ["ansible-playbook", "-i", self.inventory, "rollout.yml", *args]

    def start(self, *args, env=None):
        return subprocess.Popen(self.command(*args), cwd=ANSIBLE_DIR, env=dict(self.env, **(env or {})),
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)

    def rollout(self, *args, env=None):
        """Runs the playbook; returns its exit code, output and each host's recap counts."""
        run = self.start(*args, env=env)
        output = run.communicate()[0]
        recap = {}
        for host, counts in re.findall(r"^(host\d+)\s+:\s+(.*)$", output, re.M):
            recap[host] = {k: int(v) for k, v in re.findall(r"(\w+)=(\d+)", counts)}
        return run.returncode, output, recap

    def report(self, kind="fleet-report"):
        return read_csv(os.path.join(self.reports, kind + ".csv"))

    def summary(self, kind="fleet-report"):
        return json.loads(read(os.path.join(self.reports, kind + ".json")) or "null")

    def rollout_record(self, host):
        return json.loads(read(os.path.join(self.reports, "rollout", host + ".json")) or "{}")

    def stamped_reports(self, kind):
        return sorted(glob.glob(os.path.join(self.reports, kind + "-*.csv")))


def wait_for(condition, seconds):
    end = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > end:
            return False
        time.sleep(0.2)
    return True


def task_results(output, task):
    """Each host's result of the tasks whose names begin so: failed, changed, ok or skipping,
    the first of these that any of them gave."""
    order = ("failed", "changed", "ok", "skipping")
    results = {}
    for block in output.split("\nTASK [")[1:]:
        if block.startswith("quorvane : " + task):
            for status, host in re.findall(r"^(ok|changed|fatal|skipping): \[(host\d+)", block,
                                            re.M):
                status = "failed" if status == "fatal" else status
                if order.index(status) < order.index(results.get(host, "skipping")):
                    results[host] = status
                results.setdefault(host, status)
    return results


def same_rows(test, actual, expected):
    test.assertEqual(len(actual), len(expected), actual)
    for got, want in zip(actual, expected):
        if want[-1] is None:
            test.assertTrue(got[-1], got)
            got, want = got[:-1], want[:-1]
        test.assertEqual(got, want)


def flashes(calls):
    return [c for c in calls if c.endswith(" -f -a")]


class RolloutTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.fleet = Fleet()
        cls.addClassCleanup(shutil.rmtree, cls.fleet.dir, ignore_errors=True)
        f = cls.fleet
        cls.initial = {h: f.sim(h) for h in FLEET}
        # The controller stops while host04, in the second batch, is being flashed: host02
        # needs no update, host03's ended. host04's flash goes on without the controller,
        # and the rerun that continues the rollout starts at once.
        interrupted = f.start()
        flashing = wait_for(lambda: flashes(f.calls("host04")) and {
            row[0] for row in f.report() if row[-2] != "not reached"} == {
                "host01", "host02", "host03", "host04"}, 300)
        interrupted.send_signal(signal.SIGINT)
        cls.interrupted = (flashing, interrupted.communicate()[0])
        cls.interrupted_report = f.report()
        cls.interrupted_calls = {h: flashes(f.calls(h)) for h in FLEET}
        cls.first = f.rollout(env={"ANSIBLE_TASK_TIMEOUT": TASK_TIMEOUT})
        cls.after_first = {h: f.sim(h) for h in FLEET}
        cls.first_calls = {h: f.calls(h) for h in FLEET}
        cls.first_logs = {h: os.path.exists(f.path(h, "drive", "tlvsystem")) for h in FLEET}
        cls.first_report = f.report()
        cls.first_markdown = read(os.path.join(f.reports, "fleet-report.md"))
        cls.first_summary = f.summary()
        cls.check = f.rollout("--check", "--limit", ",".join(CHECKED))
        cls.after_check = {h: (f.sim(h), f.calls(h)) for h in FLEET}
        cls.check_report = f.report("check-report")
        cls.report_after_check = f.report()
        cls.second = f.rollout()
        cls.after_second = {h: f.sim(h) for h in FLEET}
        cls.second_calls = {h: f.calls(h) for h in FLEET}
        cls.second_report = f.report()

    def test_interrupted_rollout_reports_what_finished_and_its_rerun_continues(self):
        flashing, output = self.interrupted
        self.assertTrue(flashing, output)
        # Read at once: the hosts that finished, the updates begun, the rest not reached.
        same_rows(self, self.interrupted_report, FIRST_ROWS + BATCH2_ROWS[:2]
                  + host_row("host03", "in progress") + host_row("host04", "in progress")
                  + [row for h in list(FLEET)[4:] for row in host_row(h, "not reached")])
        # The rerun waited for host04's update and flashed no port of the -e, -f or
        # interrupted hosts a second time.
        for host in ("host01", "host03", "host04"):
            self.assertTrue(self.interrupted_calls[host], host)
            self.assertEqual(flashes(self.first_calls[host]), self.interrupted_calls[host], host)

    def test_first_rollout_outcomes(self):
        code, output, recap = self.first
        self.assertEqual(code, 2, output)
        self.assertEqual(set(recap), set(FLEET) - UNREACHED, output)
        # A refused discovery report is a failure, counted toward the stop like the others.
        self.assertEqual({h for h, r in recap.items() if r["failed"]}, FAILED, output)
        recommend = task_results(output, "Stop at a failed run")
        self.assertEqual({h for h, r in recommend.items() if r == "failed"},
                         {"host05", "host09", "host10"}, output)
        update = task_results(output, "Wait for the update to end")
        # host01, host03 and host04 were flashed by the interrupted rollout; the rerun waited
        # for the updates of host03 and host04 that the interrupt left running.
        self.assertEqual({h for h, r in update.items() if r == "changed"},
                         {"host06", "host07", "host08"}, output)
        self.assertEqual({h for h, r in update.items() if r == "ok"},
                         {"host03", "host04", "host05"})
        same_rows(self, self.first_report, EXPECTED_REPORT)

    def test_report_as_markdown_and_json(self):
        lines = self.first_markdown.splitlines()
        self.assertEqual(lines[0], "| host | port | mac | before | package | after | outcome "
                                   "| later | host_outcome | reason |")
        rows = [line.rsplit(" | ", 1)[0] for line in lines[2:]]
        self.assertEqual(rows, ["| " + " | ".join(row[:-1]) for row in EXPECTED_REPORT])
        summary = self.first_summary
        self.assertEqual(summary["counts"]["hosts"], {
            "re-flashed": 2, "unchanged": 1, "updated": 2, "failed": 3, "downgraded": 2,
            "no adapter": 1, "unreachable": 1, "not reached": 1})
        self.assertEqual(summary["counts"]["ports"], {
            "updated": 5, "re-flashed": 3, "unchanged": 3, "failed": 1, "downgraded": 2})
        batches = {h["host"]: h["batch"] for h in summary["hosts"]}
        # Batches count per run of the playbook: the interrupted one took host01 to host03.
        self.assertEqual(batches, dict(host01=1, host02=2, host03=2, host04=2, host05=3,
                                       host06=3, host07=3, host08=3, host09=4, host10=4,
                                       host11=4, host12=4, host13=None))
        for host in summary["hosts"][:-1]:
            self.assertLessEqual(host["start"], host["end"], host)
        self.assertEqual(summary["stopped"]["batch"], 4)
        self.assertIn("3 of 4 hosts failed", summary["stopped"]["reason"])

    def test_updates_where_recommended_or_the_options_ask(self):
        for host in FLEET:
            self.assertEqual(bool(flashes(self.first_calls[host])), host in UPDATED_HOSTS, host)

    def test_logs_of_failed_hosts_are_fetched(self):
        logs = os.path.join(self.fleet.reports, "logs")
        self.assertEqual(sorted(os.listdir(logs)),
                         sorted(h + "-nxflash.log" for h in FAILED - {"host12"}))
        self.assertIn("Exiting with code 0", read(os.path.join(logs, "host05-nxflash.log")))

    def test_hosts_after_the_failed_batch_are_untouched(self):
        for host in UNREACHED:
            self.assertEqual(self.after_first[host], self.initial[host])
            self.assertEqual(self.first_calls[host], [])
            self.assertFalse(self.first_logs[host])

    def test_check_mode_only_asks_and_keeps_the_rollout_report(self):
        code, output, recap = self.check
        self.assertEqual(code, 0, output)
        self.assertEqual(set(recap), set(CHECKED), output)
        # Each port with its installed and package versions.
        same_rows(self, self.check_report, [
            ("host02", "4:0.0", "00:0E:1E:02:00:00", "4.0.600", PACKAGE_VERSION, "",
             "up to date", "", "up to date", ""),
            ("host02", "4:0.1", "00:0E:1E:02:00:01", "4.0.700", PACKAGE_VERSION, "",
             "installed newer", "", "up to date", ""),
            ("host05", "4:0.0", "00:0E:1E:05:00:00", "4.0.600", PACKAGE_VERSION, "",
             "up to date", "", "update recommended", ""),
            ("host05", "4:0.1", "00:0E:1E:05:00:01", "4.0.560", PACKAGE_VERSION, "",
             "update recommended", "", "update recommended", "")]
            + host_row("host13", "package to be copied"))
        for host in CHECKED:
            sim, calls = self.after_check[host]
            self.assertEqual(sim, self.after_first[host], host)
            added = calls[len(self.first_calls[host]):]
            self.assertTrue(all(c == "nxflash.exe -d tempNicList.xml" for c in added), added)
        self.assertEqual(self.report_after_check, self.first_report)
        self.assertEqual(len(self.fleet.stamped_reports("check-report")), 1)
        self.assertEqual(len(self.fleet.stamped_reports("fleet-report")), 3)

    def test_continued_rollout_retries_only_failed_hosts(self):
        code, output, recap = self.second
        self.assertEqual(code, 2, output)
        # Only host05's failed port is flashed again; every other port is where it was.
        self.assertEqual({h for h, r in recap.items() if r["changed"]}, set(), output)
        self.assertEqual({h for h, r in recap.items() if r["failed"]}, FAILED, output)
        self.assertEqual(self.after_second, self.after_first)
        for host in FLEET:
            added = flashes(self.second_calls[host][len(self.first_calls[host]):])
            self.assertEqual(added, ["nxflash.exe -i 4:0.1 -f -a"] if host == "host05" else [],
                             host)
        # Each port keeps what the rollout did to it first; the retry is listed.
        retried = [row[:7] + ("failed",) + row[8:] if row[:2] == ("host05", "4:0.1") else row
                   for row in EXPECTED_REPORT]
        # The retry flashed only the failed port, and failed.
        retried = [row[:-1] + ("failed: flash failed on 4:0.1",) if row[0] == "host05" else row
                   for row in retried]
        same_rows(self, self.second_report, retried)


def filters():
    sys.path.insert(0, os.path.join(ANSIBLE_DIR, "roles", "quorvane", "filter_plugins"))
    import quorvane_report  # pylint: disable=import-outside-toplevel
    return quorvane_report


def encoded(*records):
    return base64.b64encode("".join(json.dumps(r) + "\n" for r in records).encode()).decode()


class ReasonTest(unittest.TestCase):
    """A run that ends without a change is told apart by the outcome word of its record."""

    def test_reasons_from_the_record(self):
        quorvane_report = filters()
        base = tempfile.mkdtemp(prefix="quorvane-reasons.")
        self.addCleanup(shutil.rmtree, base, True)
        launcher = NAMESPACES.launcher("reasons")
        older = [("4.0.560", 0)]
        cases = {
            "driver-refused": ([("4.0.500", 0)], None),
            "no adapter": ([], None),
            "catalog-missing": (older, "NICFWData.xml"),
            "another-run": (older, "holder"),
        }
        for reason, (ports, fault) in cases.items():
            with self.subTest(reason):
                package, drive, temp = (os.path.join(base, reason[:8], d)
                                        for d in ("package", "drive", "temp"))
                for d in (package, drive, temp):
                    os.makedirs(d)
                Fleet.lay_package(package, tool=True)
                with open(os.path.join(package, "nxflash-sim.xml"), "w", encoding="utf-8") as f:
                    f.write(sim_config("host99", ports))
                env = dict(os.environ, SYSTEMDRIVE=drive, TMPDIR=temp)
                command = launcher + [os.path.join(package, "quorvane")]
                log = os.path.join(drive, "tlvsystem", "log", "nxflash.log")
                holder = None
                if fault == "NICFWData.xml":
                    os.remove(os.path.join(package, fault))
                elif fault == "holder":
                    # An interactive run waits at its question and holds the lock meanwhile.
                    holder = subprocess.Popen(command, cwd=package, env=env, text=True,
                                              stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                              stderr=subprocess.DEVNULL)
                    self.assertTrue(wait_for(lambda: "y/n/q/c" in (read(log) or ""), 30))
                run = subprocess.run(command + ["-n"], cwd=package, env=env, check=False,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                if holder:
                    holder.communicate("n\n", timeout=30)
                with open(os.path.join(drive, "tlvsystem", "log", "nxflash-runs.jsonl"),
                          "rb") as f:
                    runs = quorvane_report.quorvane_runs(base64.b64encode(f.read()))
                verdict = quorvane_report.quorvane_verdict(
                    {"rc": run.returncode, "delta": "0:00:01"}, {4: "ok", 5: "ok", 6: "ok"},
                    runs, ["-n"])
                # The reason begins with the outcome word; a word of its own may follow.
                self.assertEqual((verdict["state"], verdict["reason"].split(" ")[0]),
                                 ("no adapter", "") if reason == "no adapter"
                                 else ("failed", reason), runs)


class RecordTest(unittest.TestCase):
    """What the role makes of run records, on records written by hand."""

    @staticmethod
    def port(mac, outcome, cause="answered", before="4.0.700", after="4.0.600"):
        return {"mac": mac, "bdf": "4:0.0", "installed_before": before,
                "package_version": "4.0.600", "version_after": after, "outcome": outcome,
                "cause": cause}

    def test_a_port_keeps_what_the_rollout_did_first(self):
        f = filters()
        first = {"mode": "update", "arguments": ["-s", "-g"], "outcome": "updated",
                 "ports": [self.port("A", "downgraded"),
                           self.port("A", "not-attempted", cause="duplicate")]}
        again = dict(first, arguments=["-s", "-e"],
                     ports=[self.port("A", "re-flashed", before="4.0.600")])
        asked = {"mode": "update", "arguments": ["-n"], "outcome": "not-recommended",
                 "ports": [self.port("A", "not-attempted", before="4.0.600")]}
        record = f.quorvane_record("ok", runs=[first, asked, again])
        self.assertEqual(record["outcome"], "downgraded")
        self.assertEqual([(p["before"], p["after"], p["outcome"], p["later"])
                          for p in record["ports"]],
                         [("4.0.700", "4.0.600", "downgraded", "re-flashed")])
        self.assertTrue(f.quorvane_update_done([asked, first]))
        self.assertFalse(f.quorvane_update_done([asked, dict(first, outcome="partly-failed")]))

    def test_records_are_read_past_a_new_file(self):
        f = filters()
        old, new = {"outcome": "updated"}, {"outcome": "failed"}
        earlier = {"outcome": "updated", "message": "x" * 100}
        kept = encoded(earlier, old)
        offset = len(base64.b64decode(encoded(earlier)))
        self.assertEqual(f.quorvane_runs(encoded(new), offset, kept), [old, new])
        self.assertEqual(f.quorvane_runs(kept, offset), [old])
        # A line torn by a killed run is no record.
        torn = base64.b64encode(b'{"outcome": "updated"}\n{"outc').decode()
        self.assertEqual(f.quorvane_runs(torn), [old])

    def test_stop_names_the_batch_and_its_failures(self):
        f = filters()
        records = {"a": {"outcome": "failed"}, "b": {"outcome": "updated"},
                   "c": {"outcome": "unreachable"}, "d": {"outcome": "no adapter"}}
        self.assertEqual(f.quorvane_stop(["a", "b", "d", "e"], records, 4, 30), {})
        self.assertEqual(f.quorvane_stop(["a", "b", "c", "d"], records, 4, 30),
                         {"batch": 4, "reason": "2 of 4 hosts failed (more than 30%): a, c"})


class LintTest(unittest.TestCase):
    def run_in_ansible_dir(self, *command):
        env = dict(os.environ, HOME=tempfile.mkdtemp(prefix="quorvane-lint."), ANSIBLE_NOCOLOR="1",
                   NO_COLOR="1")
        try:
            return subprocess.run(command, cwd=ANSIBLE_DIR, env=env, stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT, text=True, check=False)
        finally:
            shutil.rmtree(env["HOME"], ignore_errors=True)

    def test_role_and_playbook_pass_the_linter(self):
        run = self.run_in_ansible_dir("ansible-lint", "--offline", "rollout.yml",
                                      "roles/quorvane")
        self.assertEqual(run.returncode, 0, run.stdout)

    def test_playbook_syntax_with_the_example_inventory(self):
        run = self.run_in_ansible_dir("ansible-playbook", "--syntax-check", "-i",
                                      "inventory.example.yml", "rollout.yml")
        self.assertEqual(run.returncode, 0, run.stdout)


def demo(directory, args):
    """Rolls out over the fleet kept in directory (laid out when missing) and shows the report."""
    fleet = Fleet(os.path.abspath(directory))
    print("[fleet] " + " ".join(fleet.command(*args)), flush=True)
    code = subprocess.run(fleet.command(*args), cwd=ANSIBLE_DIR, env=fleet.env,
                          check=False).returncode
    kind = "check-report" if "--check" in args else "fleet-report"
    print(read(os.path.join(fleet.reports, kind + ".md")) or "")
    print("[fleet] exit code %d; hosts in %s; report and logs of failed hosts in %s"
          % (code, os.path.join(fleet.dir, "hosts"), fleet.reports))
    return code


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: fleet_test.py BIN_DIR [--demo DIR [ANSIBLE-PLAYBOOK OPTIONS]]")
    BIN_DIR = os.path.abspath(sys.argv.pop(1))
    if len(sys.argv) > 2 and sys.argv[1] == "--demo":
        sys.exit(demo(sys.argv[2], sys.argv[3:]))
    unittest.main(verbosity=2)
