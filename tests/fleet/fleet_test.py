#!/usr/bin/env python3
"""Rolls deploy/ansible/rollout.yml out over a simulated fleet on this machine.

Every host is local (ansible_connection=local) with its own package directory, system drive,
temporary directory and simulated adapters for the substitute flash tool, so hosts never
see each other's lock file or log. Usage: fleet_test.py BIN_DIR (holding quorvane and
nxflash.exe of the Linux build). Also lints the role and checks the playbook's syntax.
"""

import csv
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ANSIBLE_DIR = os.path.join(ROOT, "deploy", "ansible")
BIN_DIR = ""
PACKAGE_VERSION = "4.0.600"

# host: (ports as (active_version, flash_exit), inventory variables). Listed in rollout order;
# the batches are 1, 3, 4, 4, 2 hosts. The hosts of COPIED receive the package from the
# controller; the others have theirs laid out already.
# Older firmware stays above 4.0.555, where the driver rule needs no driver files.
FLEET = {
    "host01": ([("4.0.560", 0), ("4.0.600", 0)], {}),  # the canary
    "host02": ([("4.0.600", 0), ("4.0.600", 0)], {}),
    "host03": ([("4.0.700", 0), ("4.0.600", 0)], {}),
    "host04": ([("4.0.556", 0)], {}),
    "host05": ([("4.0.560", 0), ("4.0.560", 7)], {}),  # one flash fails: 1 of 4 fail
    "host06": ([("4.0.560", 0), ("4.0.700", 0)], {"quorvane_update_options": ["-g"]}),
    "host07": ([("4.0.560", 0)], {}),
    "host08": ([("4.0.600", 0)], {}),
    "host09": ([("4.0.560", 0)], {"tool_missing": True}),  # 2 of 4 fail: the rollout stops
    "host10": ([("4.0.560", 3)], {}),
    "host11": ([("4.0.560", 0)], {}),
    "host12": ([("4.0.600", 0)], {}),
    "host13": ([("4.0.560", 0)], {}),  # never reached
    "host14": ([("4.0.560", 0)], {}),
}

# The fleet report after the first rollout: host, port, MAC, before, after, outcome.
EXPECTED_REPORT = [
    ("host01", "4:0.0", "00:0E:1E:01:00:00", "4.0.560", "4.0.600", "updated"),
    ("host01", "4:0.1", "00:0E:1E:01:00:01", "4.0.600", "4.0.600", "unchanged"),
    ("host02", "4:0.0", "00:0E:1E:02:00:00", "4.0.600", "4.0.600", "unchanged"),
    ("host02", "4:0.1", "00:0E:1E:02:00:01", "4.0.600", "4.0.600", "unchanged"),
    ("host03", "4:0.0", "00:0E:1E:03:00:00", "4.0.700", "4.0.700", "unchanged"),
    ("host03", "4:0.1", "00:0E:1E:03:00:01", "4.0.600", "4.0.600", "unchanged"),
    ("host04", "4:0.0", "00:0E:1E:04:00:00", "4.0.556", "4.0.600", "updated"),
    ("host05", "4:0.0", "00:0E:1E:05:00:00", "4.0.560", "4.0.600", "updated"),
    ("host05", "4:0.1", "00:0E:1E:05:00:01", "4.0.560", "4.0.560", "failed"),
    ("host06", "4:0.0", "00:0E:1E:06:00:00", "4.0.560", "4.0.600", "updated"),
    ("host06", "4:0.1", "00:0E:1E:06:00:01", "4.0.700", "4.0.600", "updated"),
    ("host07", "4:0.0", "00:0E:1E:07:00:00", "4.0.560", "4.0.600", "updated"),
    ("host08", "4:0.0", "00:0E:1E:08:00:00", "4.0.600", "4.0.600", "unchanged"),
    ("host09", "", "", "", "", "failed"),
    ("host10", "4:0.0", "00:0E:1E:10:00:00", "4.0.560", "4.0.560", "failed"),
    ("host11", "4:0.0", "00:0E:1E:11:00:00", "4.0.560", "4.0.600", "updated"),
    ("host12", "4:0.0", "00:0E:1E:12:00:00", "4.0.600", "4.0.600", "unchanged"),
    ("host13", "", "", "", "", "not reached"),
    ("host14", "", "", "", "", "not reached"),
]
FAILED = {"host05", "host09", "host10"}
UNREACHED = {"host13", "host14"}
CHECKED = ["host02", "host05", "host13", "host14"]  # batches: host02 | the others
COPIED = {"host01", "host05", "host13"}


def sim_config(host, ports):
    lines = ['<?xml version="1.0" encoding="utf-8"?>', "<nxflash_sim>"]
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
                        ANSIBLE_NOCOLOR="1", ANSIBLE_FORCE_COLOR="0", ANSIBLE_PIPELINING="1")
        if not os.path.exists(self.inventory):
            self._lay_out()

    def _lay_out(self):
        source = os.path.join(self.dir, "package-src")
        os.makedirs(source)
        self._lay_package(source, tool=True)
        hosts = {}
        for host, (ports, extra) in FLEET.items():
            base = os.path.join(self.dir, "hosts", host)
            for sub in ("package", "drive", "temp"):
                os.makedirs(os.path.join(base, sub))
            package = os.path.join(base, "package")
            missing = extra.get("tool_missing", False)
            laid = host not in COPIED
            if laid:
                self._lay_package(package, tool=not missing)
            with open(os.path.join(package, "nxflash-sim.xml"), "w", encoding="utf-8") as f:
                f.write(sim_config(host, ports))
            hosts[host] = {
                "quorvane_package_dir": package,
                "quorvane_package_src": "" if laid else source,
                "quorvane_environment": {"SYSTEMDRIVE": os.path.join(base, "drive"),
                                         "TMPDIR": os.path.join(base, "temp")},
            }
            hosts[host].update({k: v for k, v in extra.items() if k.startswith("quorvane_")})
        inventory = {"quorvane": {
            "vars": {"ansible_connection": "local",
                     "ansible_python_interpreter": sys.executable,
                     "quorvane_report_dir": self.reports},
            "hosts": hosts}}
        os.makedirs(os.path.join(self.dir, "home"))
        with open(self.inventory, "w", encoding="utf-8") as f:
            json.dump(inventory, f, indent=1)

    def _lay_package(self, directory, tool):
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

    def command(self, *args):
        return ["ansible-playbook", "-i", self.inventory, "rollout.yml", *args]

    def rollout(self, *args):
        """Runs the playbook; returns its exit code, output and each host's recap counts."""
        run = subprocess.run(self.command(*args), cwd=ANSIBLE_DIR, env=self.env,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                             check=False)
        recap = {}
        for host, counts in re.findall(r"^(host\d+)\s+:\s+(.*)$", run.stdout, re.M):
            recap[host] = {k: int(v) for k, v in re.findall(r"(\w+)=(\d+)", counts)}
        return run.returncode, run.stdout, recap

    def report(self):
        with open(os.path.join(self.reports, "fleet-report.csv"), encoding="utf-8") as f:
            return [tuple(row.values()) for row in csv.DictReader(f)]


def task_results(output, task):
    """Each host's result of the task named so: ok, changed, failed or skipping."""
    results = {}
    for block in output.split("\nTASK [")[1:]:
        if block.startswith("quorvane : " + task + "]"):
            for status, host in re.findall(r"^(ok|changed|fatal|skipping): \[(host\d+)", block,
                                            re.M):
                results[host] = "failed" if status == "fatal" else status
    return results


class RolloutTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.fleet = Fleet()
        f = cls.fleet
        cls.initial = {h: f.sim(h) for h in FLEET}
        cls.first = f.rollout()
        cls.after_first = {h: f.sim(h) for h in FLEET}
        cls.first_calls = {h: f.calls(h) for h in FLEET}
        cls.first_logs = {h: os.path.exists(f.path(h, "drive", "tlvsystem")) for h in FLEET}
        cls.first_report = f.report()
        cls.first_markdown = read(os.path.join(f.reports, "fleet-report.md"))
        cls.check = f.rollout("--check", "--limit", ",".join(CHECKED))
        cls.after_check = {h: (f.sim(h), f.calls(h)) for h in FLEET}
        cls.check_report = f.report()
        cls.second = f.rollout()
        cls.after_second = {h: f.sim(h) for h in FLEET}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.fleet.dir, ignore_errors=True)

    def test_first_rollout_outcomes(self):
        code, output, recap = self.first
        self.assertEqual(code, 2, output)
        self.assertEqual(set(recap), set(FLEET) - UNREACHED, output)
        self.assertEqual({h for h, r in recap.items() if r["failed"]}, FAILED, output)
        # The exit-code table: -n is never a failure but without the tool; 2 after -s is a
        # change, 0 a failure.
        recommend = task_results(output, "Run Quorvane on Linux with -n")
        self.assertEqual({h for h, r in recommend.items() if r != "ok"}, {"host09"})
        update = task_results(output, "Run Quorvane on Linux with -s")
        self.assertEqual({h for h, r in update.items() if r == "changed"},
                         {"host01", "host04", "host06", "host07", "host11"})
        self.assertEqual({h for h, r in update.items() if r == "failed"}, {"host05", "host10"})
        self.assertEqual(self.first_report, EXPECTED_REPORT)

    def test_report_as_markdown(self):
        lines = self.first_markdown.splitlines()
        self.assertEqual(lines[0], "| host | port | mac | before | after | outcome |")
        self.assertEqual(lines[2:], ["| " + " | ".join(row) + " |" for row in EXPECTED_REPORT])

    def test_updates_only_where_recommended(self):
        for host in FLEET:
            updates = [c for c in self.first_calls[host] if c.endswith(" -f -a")]
            older = any(v < PACKAGE_VERSION for v, _ in FLEET[host][0])
            self.assertEqual(bool(updates), older and host not in UNREACHED | {"host09"}, host)

    def test_logs_of_failed_hosts_are_fetched(self):
        logs = os.path.join(self.fleet.reports, "logs")
        self.assertEqual(sorted(os.listdir(logs)), sorted(h + "-nxflash.log" for h in FAILED))
        self.assertIn("Exiting with code 0", read(os.path.join(logs, "host10-nxflash.log")))

    def test_hosts_after_the_failed_batch_are_untouched(self):
        for host in UNREACHED:
            self.assertEqual(self.after_first[host], self.initial[host])
            self.assertEqual(self.first_calls[host], [])
            self.assertFalse(self.first_logs[host])

    def test_check_mode_only_asks(self):
        code, output, recap = self.check
        self.assertEqual(code, 0, output)
        self.assertEqual(set(recap), set(CHECKED), output)
        outcomes = {row[0]: row[5] for row in self.check_report}
        self.assertEqual(outcomes["host02"], "ok")
        self.assertEqual({h for h, o in outcomes.items() if o == "update recommended"},
                         {"host05", "host14"})
        self.assertEqual({h for h, o in outcomes.items() if o == "package to be copied"},
                         {"host13"})
        for host in CHECKED:
            sim, calls = self.after_check[host]
            self.assertEqual(sim, self.after_first[host], host)
            added = calls[len(self.first_calls[host]):]
            self.assertTrue(all(c == "nxflash.exe -d tempNicList.xml" for c in added), added)

    def test_second_rollout_changes_nothing(self):
        code, output, recap = self.second
        self.assertEqual(code, 2, output)
        self.assertEqual({h for h, r in recap.items() if r["changed"]}, set(), output)
        self.assertEqual({h for h, r in recap.items() if r["failed"]}, FAILED, output)
        self.assertEqual(self.after_second, self.after_first)


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
    print(read(os.path.join(fleet.reports, "fleet-report.md")) or "")
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
