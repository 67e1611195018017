"""Action quorvane_report: keeps a host's record of the open rollout and rewrites the fleet
report (CSV, Markdown, JSON) on the controller, in one step and under a lock, so that hosts
finishing at the same moment never leave a report without one of them. Runs on the
controller only; only Python's standard library is used.

Arguments: dir (the report directory), kind (fleet-report or check-report), names (the file
names without extension to write), hosts (the play's hosts in order), records_dir (the open
rollout's directory; its <host>.json are the records) or records (the records by host),
host and record (a record to keep in records_dir first), stopped (where and why the rollout
stopped, or null), run (this run's stamp), close (remove records_dir afterwards).
"""

import fcntl
import importlib.util
import os
import shutil
import tempfile

from ansible.plugins.action import ActionBase

_SPEC = importlib.util.spec_from_file_location(
    "quorvane_report_filters",
    os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "filter_plugins",
                 "quorvane_report.py"))
REPORT = importlib.util.module_from_spec(_SPEC)
_SPEC.loader.exec_module(REPORT)


def write_file(path, text):
    # A reader never sees half a report: the new file replaces the old one whole.
    handle, temporary = tempfile.mkstemp(dir=os.path.dirname(path), prefix=".quorvane-")
    try:
        with os.fdopen(handle, "w", encoding="utf-8") as f:
            f.write(text)
        os.chmod(temporary, 0o644)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def write_reports(args):
    directory = args["dir"]
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, ".lock"), "w", encoding="utf-8") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        records_dir = args.get("records_dir")
        if records_dir and args.get("host"):
            os.makedirs(records_dir, exist_ok=True)
            write_file(os.path.join(records_dir, args["host"] + ".json"),
                       REPORT.json.dumps(args.get("record") or {}))
        records = REPORT.quorvane_records(records_dir) if records_dir else args.get("records")
        hosts = list(args.get("hosts") or [])
        rows = REPORT.quorvane_fleet_rows(hosts, records or {})
        texts = {".csv": REPORT.quorvane_csv(rows), ".md": REPORT.quorvane_markdown(rows),
                 ".json": REPORT.quorvane_summary(hosts, records or {}, args.get("run"),
                                                  args.get("stopped"))}
        for name in args.get("names") or []:
            for extension, text in texts.items():
                write_file(os.path.join(directory, name + extension), text)
        if records_dir and args.get("close"):
            shutil.rmtree(records_dir, ignore_errors=True)


class ActionModule(ActionBase):
    TRANSFERS_FILES = False
    _requires_connection = False

    def run(self, tmp=None, task_vars=None):
        result = super().run(tmp, task_vars)
        try:
            write_reports(self._task.args)
        except (OSError, ValueError, KeyError) as error:
            result.update(failed=True, msg="the report could not be written: %s" % error)
            return result
        result["changed"] = False
        return result
