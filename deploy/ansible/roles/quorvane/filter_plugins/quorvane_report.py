"""Filters of the quorvane role: exit-code outcomes, discovery reports and the fleet report.

Only Python's standard library is used, so the role runs on any controller with Ansible.
"""

import csv
import io
import xml.etree.ElementTree as ElementTree

COLUMNS = ("host", "port", "mac", "before", "after", "outcome")


def quorvane_outcome(result, codes):
    """'ok', 'changed' or 'failed' for a command result and one row of the exit-code table."""
    # A run that never started has no duration; its rc is the launcher's, not the utility's.
    if not isinstance(result, dict) or "rc" not in result or "delta" not in result:
        return "failed"
    try:
        rc = int(result["rc"])
    except (TypeError, ValueError):
        return "failed"
    for code, outcome in codes.items():
        if int(code) == rc:
            return str(outcome)
    return "failed"


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


def _version_key(text):
    try:
        return tuple(int(part) for part in text.split("."))
    except ValueError:
        return None


def _port_outcome(host_outcome, before, after):
    if after and after["installed"] != before["installed"]:
        return "updated"
    older = _version_key(before["installed"])
    available = _version_key(before["available"])
    if host_outcome == "failed" and older is not None and available is not None \
            and older < available:
        return "failed"
    if host_outcome == "update recommended" and before["installed"] != before["available"]:
        return host_outcome
    return "unchanged"


def quorvane_fleet_rows(hosts, hostvars):
    """One row per port of every host of the play; a host with no ports gets one row."""
    rows = []
    for host in hosts:
        record = hostvars[host].get("quorvane_record") if host in hostvars else None
        if not record:
            rows.append(dict(dict.fromkeys(COLUMNS, ""), host=host, outcome="not reached"))
            continue
        outcome = record.get("outcome", "")
        before = record.get("before") or []
        after = {(p["port"], p["mac"]): p for p in record.get("after") or []}
        if not before:
            rows.append(dict(dict.fromkeys(COLUMNS, ""), host=host, outcome=outcome))
        for port in before:
            later = after.get((port["port"], port["mac"]))
            rows.append({
                "host": host,
                "port": port["port"],
                "mac": port["mac"],
                "before": port["installed"],
                "after": later["installed"] if later else "",
                "outcome": _port_outcome(outcome, port, later),
            })
    return rows


def quorvane_csv(rows):
    out = io.StringIO()
    writer = csv.DictWriter(out, fieldnames=COLUMNS, lineterminator="\n")
    writer.writeheader()
    writer.writerows(rows)
    return out.getvalue()


def quorvane_markdown(rows):
    def line(cells):
        return "| " + " | ".join(str(c).replace("|", "\\|") for c in cells) + " |\n"
    text = line(COLUMNS) + line(["---"] * len(COLUMNS))
    for row in rows:
        text += line(row[c] for c in COLUMNS)
    return text


class FilterModule:
    def filters(self):
        return {
            "quorvane_outcome": quorvane_outcome,
            "quorvane_ports": quorvane_ports,
            "quorvane_fleet_rows": quorvane_fleet_rows,
            "quorvane_csv": quorvane_csv,
            "quorvane_markdown": quorvane_markdown,
        }
