"""Filters of the quorvane role: what a run of the utility says, and the fleet report.

A host's outcome comes from what the utility itself says: the exit code of each run and the
lines that the run appended to its log (nxflash.log). Only Python's standard library is used,
so the role runs on any controller with Ansible.
"""

import base64
import csv
import io
import json
import os
import re
import xml.etree.ElementTree as ElementTree

COLUMNS = ("host", "port", "mac", "before", "after", "outcome", "host_outcome", "reason")

# The utility's own log lines that the outcome is read from.
RUN_START = "Checking for any other instance of RavAre tool!"
RUN_END = re.compile(r"^Exiting with code (-?\d+)$")
ANOTHER_RUN = "Error: Either another RavAre tool is already running"
STARTUP_REFUSALS = (
    re.compile(r"Supporting file .* is missing\. Cannot proceed\."),
    re.compile(r"Error: last session did not close gracefully\.  Unable to clear lock\."),
    re.compile(r"Error: the utility's single-instance lock cannot be taken\. Cannot proceed\."),
    re.compile(r"Error initializing FW upgrade software\."),
)
DEPENDENCIES_FAILED = "Dependencies Failed -- Driver and firmware set are not allowed for update."
NO_ADAPTERS = "VerifyDependencies: No supported network adapters for firmware upgrade."
DISCOVERY_FAILED = re.compile(r"^Device discovery failed with error code (-?\d+)$")
DISCOVERY_ERRORS = (
    re.compile(r"^Could not generate discovery file\.$"),
    re.compile(r"^Loading configuration file .* failed\. Error code: .*$"),
    re.compile(r"^This VRIT tool can only be used to update P3-series VAroru NICs\.$"),
    re.compile(r"^Unexpected value '.*' in file .*$"),
)
UNEXPECTED_ERROR = "An unexpected error has occurred.  Firmware update will not be completed."
REPORT_FAILED = re.compile(r"^Failed to generate NIC discovery report to ")
FOUND = re.compile(r"^Found .* MAC: (\S+)\s*\(v[^)]*\)$")
SAME_WARNING = "*** WARNING *** - Installed firmware is the same version as selected firmware"
NEWER_WARNING = "*** WARNING *** - Installed firmware is more recent than selected firmware"
SELECTING = re.compile(r"^Selecting .* MAC: (\S+)\s*$")
SUCCEEDED = re.compile(r"^MAC (\S+) upgrade SUCCESS!$")
FLASH_FAILED = re.compile(r"^Command to upgrade firmware failed with internal error code")
FLASH_COMMAND = re.compile(r"^\s*Command: nxflash\.exe -i (\S+) -f -a$")

# Ansible's words for a run that a time limit ended.
TIMED_OUT = ("did not complete within the requested time", "in the expected time frame")

# A host's outcome is the most notable of its ports'.
PORT_RANK = ("unchanged", "updated", "re-flashed", "downgraded")


def quorvane_log_lines(content, offset=0):
    """The lines of a slurped log (base64) from byte offset on."""
    data = base64.b64decode(content or "")
    return data[int(offset or 0):].decode("utf-8", "replace").splitlines()


def quorvane_log_size(stat):
    """Where a log ends, from a stat or win_stat result; 0 when there is no log yet."""
    found = (stat or {}).get("stat") or {}
    return int(found.get("size", 0)) if found.get("exists") else 0


def _runs(lines):
    """The lines split into runs of the utility: a run ends with its closing line, and a
    start-up refused before the single-instance check has none."""
    runs, current = [], []
    for line in lines:
        if line == RUN_START and current:
            runs.append(current)
            current = []
        current.append(line)
        if RUN_END.match(line):
            runs.append(current)
            current = []
    if current:
        runs.append(current)
    return runs


def _started(result):
    # A run that never started has no duration; its rc is the launcher's, not the utility's.
    return isinstance(result, dict) and "rc" in result and "delta" in result


def quorvane_verdict(result, codes, lines=None):
    """What one run of the utility came to: {'state', 'reason'}, state being ok, changed,
    failed or 'no adapter'. codes is the run's row of the exit-code table; lines are the
    log lines from the start of the host's rollout (only the last run's count here)."""
    message = str((result or {}).get("msg", ""))
    if any(text in message for text in TIMED_OUT):
        return {"state": "failed", "reason": "timed out"}
    if not _started(result):
        return {"state": "failed", "reason": "the utility did not start: " + message}
    try:
        rc = int(result["rc"])
    except (TypeError, ValueError):
        return {"state": "failed", "reason": "exit code %r" % (result["rc"],)}
    for code, state in (codes or {}).items():
        if int(code) == rc:
            return {"state": str(state), "reason": ""}
    runs = _runs(lines or [])
    run = runs[-1] if runs else []
    return _refusal(run, rc)


def quorvane_failure(result, task_name):
    """The reason of a failed task: the reason a stop gave, 'timed out' when a time limit
    ended the task, else the task's name and message."""
    message = " ".join(str((result or {}).get("msg", "")).split())
    if any(text in message for text in TIMED_OUT):
        return "timed out"
    if task_name.startswith("Stop at"):
        return message
    return "%s: %s" % (task_name, message)


def _refusal(run, rc):
    failed = {"state": "failed", "reason": ""}
    # A line may begin with another run's question, which has no line break of its own.
    if any(ANOTHER_RUN in line for line in run):
        return dict(failed, reason="another run in progress")
    for line in run:
        for pattern in STARTUP_REFUSALS:
            refusal = pattern.search(line)
            if refusal:
                return dict(failed, reason="start-up refused: " + refusal.group(0))
    if any(DEPENDENCIES_FAILED in line for line in run):
        if not any(NO_ADAPTERS in line for line in run):
            return dict(failed, reason="driver rule refused")
        for line in run:
            code = DISCOVERY_FAILED.match(line)
            if code and int(code.group(1)) != 0:
                return dict(failed, reason="discovery failed with error code " + code.group(1))
        for line in run:
            if any(pattern.match(line) for pattern in DISCOVERY_ERRORS):
                return dict(failed, reason="discovery failed: " + line)
        # The tool listed the ports and none is a supported adapter: nothing to update.
        return {"state": "no adapter", "reason": ""}
    flashed = _flash_failures(run)
    if flashed:
        return dict(failed, reason="flash failed on " + ", ".join(flashed))
    for index, line in enumerate(run):
        if line.startswith(UNEXPECTED_ERROR):
            rest = line[len(UNEXPECTED_ERROR):] or \
                (run[index + 1] if index + 1 < len(run) else "")
            return dict(failed, reason=("unexpected error: " + rest).rstrip(": "))
        if REPORT_FAILED.match(line):
            return dict(failed, reason="discovery report not written")
    closed = any(RUN_END.match(line) for line in run)
    return dict(failed, reason="exit code %d%s" % (rc, "" if closed else
                                                   ", the run has no closing line in the log"))


def _flash_failures(run):
    ports, failing = [], False
    for line in run:
        if FLASH_FAILED.match(line):
            failing = True
            continue
        command = FLASH_COMMAND.match(line)
        if failing and command:
            ports.append(command.group(1))
        failing = False
    return ports


def quorvane_port_outcomes(lines):
    """Each flashed port's outcome by MAC, from the per-port lines of every update run:
    updated, re-flashed (the same version again), downgraded or failed. A later run's
    outcome for a port replaces an earlier one."""
    kinds, outcomes, found, selecting = {}, {}, None, None
    for line in lines or []:
        match = FOUND.match(line)
        if match:
            found = match.group(1)
            kinds[found] = "updated"
        elif line == SAME_WARNING and found:
            kinds[found] = "re-flashed"
        elif line == NEWER_WARNING and found:
            kinds[found] = "downgraded"
        elif SELECTING.match(line):
            selecting = SELECTING.match(line).group(1)
        elif SUCCEEDED.match(line):
            mac = SUCCEEDED.match(line).group(1)
            outcomes[mac] = kinds.get(mac, "updated")
        elif FLASH_FAILED.match(line) and selecting:
            outcomes[selecting] = "failed"
    return outcomes


def _value(device, path):
    node = device.find(path)
    return "" if node is None else node.get("value", "")


def quorvane_ports(text):
    """The ports of a discovery report: port (B:D.F), interface, mac, installed, available."""
    root = ElementTree.fromstring(text.lstrip("\ufeff").encode("utf-8"))
    ports = []
    for device in root.iter("device"):
        ports.append({
            "port": "%s:%s.%s" % (_value(device, "busnumber"), _value(device, "devicenumber"),
                                  _value(device, "funcnumber")),
            "interface": _value(device, "device_id"),
            "mac": _value(device, "macaddress"),
            "installed": _value(device, "fw_item/active_version"),
            "available": _value(device, "fw_item/version"),
        })
    return ports


def quorvane_record(state, reason="", before=None, after=None, lines=None):
    """A host's result: its outcome and reason, and each port with its outcome."""
    before = before or []
    later = {(p["port"], p["mac"]): p for p in (after or [])}
    flashed = quorvane_port_outcomes(lines)
    ports = []
    for port in before:
        now = later.get((port["port"], port["mac"]))
        ports.append({"port": port["port"], "mac": port["mac"], "before": port["installed"],
                      "after": now["installed"] if now else "",
                      "outcome": flashed.get(port["mac"], "unchanged")})
    if state in ("failed", "unreachable", "no adapter"):
        outcome = state
    else:
        outcome = max((p["outcome"] for p in ports if p["outcome"] in PORT_RANK),
                      key=PORT_RANK.index, default="unchanged")
    return {"outcome": outcome, "reason": reason or "", "ports": ports}


def quorvane_records(directory):
    """The host records kept in directory (one <host>.json each), by host."""
    records = {}
    try:
        names = sorted(os.listdir(directory))
    except OSError:
        return records
    for name in names:
        if name.endswith(".json"):
            try:
                with open(os.path.join(directory, name), encoding="utf-8") as f:
                    records[name[:-len(".json")]] = json.load(f)
            except (OSError, ValueError):
                continue
    return records


def quorvane_host_records(hosts, hostvars):
    """The records that the hosts of this run keep in their facts, by host."""
    return {host: hostvars[host].get("quorvane_record") for host in hosts if host in hostvars}


def quorvane_fleet_rows(hosts, records):
    """One row per port of every host; a host with no ports gets one row."""
    rows = []
    for host in hosts:
        record = records.get(host) or {}
        outcome = record.get("outcome")
        if not outcome:
            rows.append(dict(dict.fromkeys(COLUMNS, ""), host=host, outcome="not reached",
                             host_outcome="not reached"))
            continue
        reason = record.get("reason", "")
        ports = record.get("ports") or []
        if not ports:
            rows.append(dict(dict.fromkeys(COLUMNS, ""), host=host, outcome=outcome,
                             host_outcome=outcome, reason=reason))
        for port in ports:
            rows.append(dict(port, host=host, host_outcome=outcome, reason=reason))
    return rows


def quorvane_csv(rows):
    out = io.StringIO()
    writer = csv.DictWriter(out, fieldnames=COLUMNS, lineterminator="\n")
    writer.writeheader()
    writer.writerows(rows)
    return out.getvalue()


def quorvane_markdown(rows):
    def line(cells):
        return "| " + " | ".join(" ".join(str(c).split()).replace("|", "\\|")
                                 for c in cells) + " |\n"
    text = line(COLUMNS) + line(["---"] * len(COLUMNS))
    for row in rows:
        text += line(row[c] for c in COLUMNS)
    return text


class FilterModule:
    def filters(self):
        return {
            "quorvane_verdict": quorvane_verdict,
            "quorvane_failure": quorvane_failure,
            "quorvane_log_lines": quorvane_log_lines,
            "quorvane_log_size": quorvane_log_size,
            "quorvane_port_outcomes": quorvane_port_outcomes,
            "quorvane_ports": quorvane_ports,
            "quorvane_record": quorvane_record,
            "quorvane_records": quorvane_records,
            "quorvane_host_records": quorvane_host_records,
            "quorvane_fleet_rows": quorvane_fleet_rows,
            "quorvane_csv": quorvane_csv,
            "quorvane_markdown": quorvane_markdown,
        }
