"""Filters of the quorvane role: what the runs of the utility recorded, and the fleet report.

A host's outcome comes from the run records that the utility appends to nxflash-runs.jsonl
beside its log: one JSON object per run, with an outcome word from a closed set and each
port's facts. Nothing here reads the log's sentences. Only Python's standard library is used,
so the role runs on any controller with Ansible.
"""

import base64
import csv
import io
import json
import os
import xml.etree.ElementTree as ElementTree

COLUMNS = ("host", "port", "mac", "before", "package", "after", "outcome", "later",
           "host_outcome", "reason")

# Ansible's words for a run that a time limit ended.
TIMED_OUT = ("did not complete within the requested time", "in the expected time frame")

# A host's outcome is the most notable of its ports'.
PORT_RANK = ("unchanged", "updated", "re-flashed", "downgraded")
# Host outcomes after which a continued rollout leaves the host alone.
UNFINISHED = ("failed", "unreachable", "not reached", "in progress")
# An update run that ended so needs no second run in the same rollout.
UPDATE_DONE = ("updated", "nothing-selected")


def _decode(content):
    return base64.b64decode(content or "")


def quorvane_size(content):
    """The size in bytes of a slurped file (base64)."""
    return len(_decode(content))


def quorvane_file_size(stat):
    """Where a file ends, from a stat or win_stat result; 0 when there is none yet."""
    found = (stat or {}).get("stat") or {}
    return int(found.get("size", 0)) if found.get("exists") else 0


def quorvane_runs(content, offset=0, rotated=None):
    """The run records appended since byte offset, oldest first. When the file is shorter
    than offset it was started anew: the rest of the kept one (rotated) comes first."""
    data, offset = _decode(content), int(offset or 0)
    if len(data) < offset:
        data = _decode(rotated)[offset:] + data
    else:
        data = data[offset:]
    runs = []
    for line in data.decode("utf-8", "replace").splitlines():
        try:
            record = json.loads(line)
        except ValueError:
            # A torn last line of a run that was killed while writing.
            continue
        if isinstance(record, dict):
            runs.append(record)
    return runs


def _is_update(run):
    args = run.get("arguments") or []
    return run.get("mode") == "update" and "-s" in args and "-n" not in args


def quorvane_update_done(runs):
    """Whether an update run among runs ended successfully."""
    return any(_is_update(r) and r.get("outcome") in UPDATE_DONE for r in runs or [])


def _reason(run):
    outcome, reason = run.get("outcome", ""), run.get("reason", "")
    text = outcome if reason in ("", outcome) else "%s (%s)" % (outcome, reason)
    failed = [p.get("bdf", "") for p in run.get("ports") or [] if p.get("outcome") == "failed"]
    if failed:
        text += ": flash failed on " + ", ".join(failed)
    return text


def quorvane_verdict(result, codes, runs=None, args=None):
    """What one run of the utility came to: {'state', 'reason'}, state being ok, changed,
    failed or 'no adapter'. codes is the run's row of the exit-code table; a code outside it
    is explained by the run's record, the last of runs with the run's arguments."""
    message = str((result or {}).get("msg", ""))
    if any(text in message for text in TIMED_OUT):
        return {"state": "failed", "reason": "timed out"}
    if not (isinstance(result, dict) and "rc" in result and "delta" in result):
        # A run that never started has no duration; its rc is the launcher's, not the utility's.
        return {"state": "failed", "reason": "the utility did not start: " + message}
    try:
        rc = int(result["rc"])
    except (TypeError, ValueError):
        return {"state": "failed", "reason": "exit code %r" % (result["rc"],)}
    for code, state in (codes or {}).items():
        if int(code) == rc:
            return {"state": str(state), "reason": ""}
    own = [r for r in runs or [] if args is None or r.get("arguments") == list(args)]
    if not own:
        return {"state": "failed", "reason": "exit code %d, the run left no record" % rc}
    if own[-1].get("outcome") == "no-adapter":
        return {"state": "no adapter", "reason": ""}
    return {"state": "failed", "reason": _reason(own[-1])}


def quorvane_failure(result, task_name):
    """The reason of a failed task: the reason a stop gave, 'timed out' when a time limit
    ended the task, else the task's name and message."""
    message = " ".join(str((result or {}).get("msg", "")).split())
    if any(text in message for text in TIMED_OUT):
        return "timed out"
    if task_name.startswith("Stop at"):
        return message
    return "%s: %s" % (task_name, message)


def _value(device, path):
    node = device.find(path)
    return "" if node is None else node.get("value", "")


def quorvane_ports(text):
    """The ports of a discovery report: port (B:D.F), interface, mac, installed, available.
    A port listed twice is one port."""
    root = ElementTree.fromstring(text.lstrip("\ufeff").encode("utf-8"))
    ports, seen = [], set()
    for device in root.iter("device"):
        port = {
            "port": "%s:%s.%s" % (_value(device, "busnumber"), _value(device, "devicenumber"),
                                  _value(device, "funcnumber")),
            "interface": _value(device, "device_id"),
            "mac": _value(device, "macaddress"),
            "installed": _value(device, "fw_item/active_version"),
            "available": _value(device, "fw_item/version"),
        }
        if (port["port"], port["mac"].upper()) not in seen:
            seen.add((port["port"], port["mac"].upper()))
            ports.append(port)
    return ports


def _record_ports(run):
    # A duplicate listing is the same port again, never a port of its own.
    return [p for p in run.get("ports") or [] if p.get("cause") != "duplicate"]


def _port_key(mac):
    return (mac or "").upper()


def quorvane_record(state, reason="", before=None, after=None, runs=None):
    """A host's result in a rollout: its outcome and reason, and each port with what the
    rollout's first flash did to it; the outcomes of later flashes are listed in 'later'.
    Ports and versions come from the runs' records; the discovery reports before and after
    the update (before, after) tell the versions where they were written."""
    listed, first, last, flashes = [], {}, {}, {}
    for port in before or []:
        key = _port_key(port["mac"])
        listed.append(key)
        first[key] = {"bdf": port["port"], "mac": port["mac"],
                      "installed_before": port["installed"], "package_version": port["available"]}
    for run in runs or []:
        for port in _record_ports(run):
            key = _port_key(port.get("mac"))
            if key not in first:
                listed.append(key)
                first[key] = port
            last[key] = port
            if _is_update(run) and port.get("outcome") != "not-attempted":
                flashes.setdefault(key, []).append(port.get("outcome"))
    reported = {_port_key(p["mac"]): p["installed"] for p in after or []}
    ports = []
    for key in listed:
        start, now, done = first[key], last.get(key, {}), flashes.get(key, [])
        ports.append({
            "port": start.get("bdf", ""), "mac": start.get("mac", ""),
            "before": start.get("installed_before", ""),
            "package": start.get("package_version") or now.get("package_version", ""),
            "after": reported.get(key) or now.get("version_after")
            or now.get("installed_before") or start.get("installed_before", ""),
            "outcome": done[0] if done else "unchanged",
            "later": " ".join(done[1:])})
    if state in ("failed", "unreachable", "no adapter"):
        outcome = state
    else:
        outcome = max((p["outcome"] for p in ports if p["outcome"] in PORT_RANK),
                      key=PORT_RANK.index, default="unchanged")
    return {"outcome": outcome, "reason": reason or "", "ports": ports}


def _version(text):
    try:
        return tuple(int(part) for part in (text or "").split("."))
    except ValueError:
        return ()


def _check_port(port):
    installed, package = (_version(port.get(k)) for k in ("installed_before", "package_version"))
    if installed < package:
        return "update recommended"
    return "up to date" if installed == package else "installed newer"


def quorvane_check_record(outcome, reason="", runs=None):
    """A check run's result for a host: its outcome, and each port of the -n run's record
    with its installed and package versions."""
    asked = [r for r in runs or [] if "-n" in (r.get("arguments") or [])]
    ports = [{"port": p.get("bdf", ""), "mac": p.get("mac", ""),
              "before": p.get("installed_before", ""), "package": p.get("package_version", ""),
              "after": "", "outcome": _check_port(p), "later": ""}
             for p in (_record_ports(asked[-1]) if asked else [])]
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
    return {host: hostvars[host].get("quorvane_record") for host in hosts
            if host in hostvars and hostvars[host].get("quorvane_record")}


def _host_outcome(record):
    if not record:
        return "not reached"
    return record.get("outcome") or "in progress"


def quorvane_fleet_rows(hosts, records):
    """One row per port of every host; a host with no ports gets one row."""
    rows = []
    for host in hosts:
        record = records.get(host) or {}
        outcome, reason = _host_outcome(record), record.get("reason", "")
        empty = dict(dict.fromkeys(COLUMNS, ""), host=host, host_outcome=outcome, reason=reason)
        ports = record.get("ports") or [] if record.get("outcome") else []
        if not ports:
            rows.append(dict(empty, outcome=outcome))
        for port in ports:
            rows.append(dict(empty, **{k: port.get(k, "") for k in COLUMNS[1:-2]}))
    return rows


def quorvane_stop(batch, records, number, max_fail_percentage):
    """Whether the batch's failures stop the rollout, as the play's max_fail_percentage
    does: {'batch', 'reason'}, or {} when they do not."""
    failed = [h for h in batch
              if _host_outcome((records or {}).get(h)) in ("failed", "unreachable")]
    if not batch or len(failed) * 100 <= float(max_fail_percentage) * len(batch):
        return {}
    return {"batch": int(number),
            "reason": "%d of %d hosts failed (more than %s%%): %s"
                      % (len(failed), len(batch), max_fail_percentage, ", ".join(failed))}


def quorvane_summary(hosts, records, run, stopped=None):
    """The report for machines: counts per outcome, each host's batch with its start and
    end, and where and why the rollout stopped."""
    rows = quorvane_fleet_rows(hosts, records)
    counts = {"hosts": {}, "ports": {}}
    entries = []
    for host in hosts:
        record = (records or {}).get(host) or {}
        outcome = _host_outcome(record)
        counts["hosts"][outcome] = counts["hosts"].get(outcome, 0) + 1
        batch = record.get("batch")
        entries.append({"host": host, "outcome": outcome, "reason": record.get("reason", ""),
                        "run": record.get("run"), "batch": None if batch is None else int(batch),
                        "start": record.get("start"), "end": record.get("end")})
    for row in rows:
        if row["port"]:
            counts["ports"][row["outcome"]] = counts["ports"].get(row["outcome"], 0) + 1
    return json.dumps({"run": run, "counts": counts, "hosts": entries, "ports": rows,
                       "stopped": stopped or None}, indent=1) + "\n"


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
            "quorvane_size": quorvane_size,
            "quorvane_file_size": quorvane_file_size,
            "quorvane_runs": quorvane_runs,
            "quorvane_update_done": quorvane_update_done,
            "quorvane_ports": quorvane_ports,
            "quorvane_record": quorvane_record,
            "quorvane_check_record": quorvane_check_record,
            "quorvane_records": quorvane_records,
            "quorvane_host_records": quorvane_host_records,
            "quorvane_fleet_rows": quorvane_fleet_rows,
            "quorvane_stop": quorvane_stop,
            "quorvane_summary": quorvane_summary,
            "quorvane_csv": quorvane_csv,
            "quorvane_markdown": quorvane_markdown,
        }
