# -*- coding: utf-8 -*-
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)
"""The command lines the modules give posflash-cli, and what they make of its output.

Pure functions: the modules run the command, these decide what it means, so that the
whole mapping is tested without a store PC.
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json

# posflash-cli's exit status for a download run.
EXIT_DONE = 0  # no printer failed, none pending
EXIT_FAILED = 1  # some printer failed
EXIT_REFUSED = 2  # refused before any printer: recipe, image, usage
EXIT_PENDING = 3  # none failed, some pending

OUTCOMES = ("current", "updated", "failed", "pending", "would-update")


class CliError(Exception):
    """posflash-cli's output or the module's arguments cannot be used; the text says why."""


def network_printer_args(printers):
    """--net and one --ip/--mac pair per printer, in the inventory's order."""
    args = ["--net"]
    for printer in printers:
        args += ["--ip", str(printer["ip"]), "--mac", str(printer["mac"])]
    return args


def printers_command(cli, printers=None, all_printers=False, records=None):
    command = [cli, "printers"]
    if printers:
        command += network_printer_args(printers)
    if all_printers:
        command.append("--all")
    if records:
        command += ["--records", records]
    return command + ["--json"]


# Module option -> posflash-cli option, for the options that take a value as they are.
_VALUE_OPTIONS = (
    ("window", "--window"),
    ("timezone", "--timezone"),
    ("verify_back", "--verify-back"),
    ("retries", "--retries"),
    ("link_timeout", "--link-timeout"),
    ("station", "--station"),
    ("operator", "--operator"),
    ("records", "--records"),
)


def download_command(params, check_mode):
    """The download of one store's run.

    Always --skip-current, so a printer already on the recipe's image gets nothing and a run
    repeated the next night sends only what is missing; in check mode --dry-run as well, which
    sends nothing at all.
    """
    if params.get("timezone") and not params.get("window"):
        raise CliError("timezone is the window's time zone: give a window with it")
    command = [params.get("cli") or "posflash-cli", "download"]
    command += network_printer_args(params["printers"])
    command += ["--recipe", params["recipe"], "--skip-current"]
    if params.get("inboot", True):
        command.append("--inboot")
    for name, option in _VALUE_OPTIONS:
        value = params.get(name)
        if value is not None and value != "":
            command += [option, str(value)]
    if check_mode:
        command.append("--dry-run")
    return command + ["--json", params["image"]]


def parse_json_lines(text):
    """Every line of posflash-cli's --json output as a dict; anything else is an error."""
    events = []
    for number, line in enumerate(text.splitlines(), 1):
        if not line.strip():
            continue
        try:
            event = json.loads(line)
        except ValueError:
            raise CliError("posflash-cli printed line %d, which is not JSON: %s" % (number, line[:200]))
        if not isinstance(event, dict):
            raise CliError("posflash-cli printed line %d, which is not a JSON object: %s" % (number, line[:200]))
        events.append(event)
    return events


def read_printers(text):
    """The printers of `posflash-cli printers --json`."""
    for event in parse_json_lines(text):
        if event.get("event") == "printers" and isinstance(event.get("printers"), list):
            return event["printers"]
    raise CliError("posflash-cli printed no list of printers")


def _last(events, kind):
    found = [event for event in events if event.get("event") == kind]
    return found[-1] if found else None


def _describe(printer):
    cause = printer.get("cause")
    text = printer.get("target") or "%s/%s" % (printer.get("ip"), printer.get("mac"))
    if cause:
        text += " (%s)" % cause
    if printer.get("reason"):
        text += ": %s" % printer["reason"]
    return text


def judge_download(rc, stdout, stderr, check_mode):
    """What one store's run means to Ansible.

    Returns the module's result: every printer's outcome, the counts, changed, and failed with
    msg, or warnings. Only a failed printer or a refused run fails the host; pending printers
    (not answering, busy, outside the window) are a warning, for the next run to take.
    """
    events = parse_json_lines(stdout)
    printers = [
        dict((key, event.get(key)) for key in ("target", "ip", "mac", "usb_serial", "fleet", "cause", "reason"))
        for event in events
        if event.get("event") == "printer"
    ]
    counts = dict((outcome.replace("-", "_"), 0) for outcome in OUTCOMES)
    for printer in printers:
        if printer["fleet"] not in OUTCOMES:
            raise CliError("posflash-cli gave %s an unknown outcome %r" % (_describe(printer), printer["fleet"]))
        counts[printer["fleet"].replace("-", "_")] += 1

    result = dict(cli_status=rc, printers=printers, counts=counts, summary=_last(events, "summary"), warnings=[])
    result["changed"] = counts["updated"] > 0 or (check_mode and counts["would_update"] > 0)

    if rc == EXIT_REFUSED:
        error = _last(events, "error")
        reason = error.get("message") if error else (stderr.strip().splitlines() or ["no reason given"])[-1]
        result["failed"] = True
        result["msg"] = "posflash-cli refused the run before any printer: %s" % reason
        return result
    failed = [printer for printer in printers if printer["fleet"] == "failed"]
    if rc == EXIT_FAILED or failed:
        result["failed"] = True
        result["msg"] = "%d printer(s) failed: %s" % (len(failed), "; ".join(_describe(p) for p in failed))
        if not failed:
            error = _last(events, "error")
            result["msg"] = "posflash-cli failed: %s" % (error.get("message") if error else stderr.strip())
        return result
    if rc not in (EXIT_DONE, EXIT_PENDING):
        result["failed"] = True
        result["msg"] = "posflash-cli ended with status %d: %s" % (rc, stderr.strip())
        return result
    pending = [printer for printer in printers if printer["fleet"] == "pending"]
    if pending:
        result["warnings"].append(
            "%d printer(s) pending, for a later run: %s" % (len(pending), "; ".join(_describe(p) for p in pending))
        )
    return result


def compliance_command(cli, recipe_name, records=None):
    command = [cli, "report", "--compliance", recipe_name, "--central", "--format", "json"]
    if records:
        command += ["--records", records]
    return command


def judge_budget(report_text, recipe_name, planned=None, budget_count=None, budget_percent=None):
    """The rollout's failure budget against the line's records.

    The budget is the number of failed printers that stops the rollout: it is spent when the
    printers that ever failed under the recipe, in any wave of any run, reach it (so a budget of
    0 stops a rollout before its next wave). Pending and unknown printers never count: an
    unreachable store wrote nothing, and the next run takes it.
    """
    try:
        report = json.loads(report_text)
    except ValueError:
        raise CliError("the compliance report is not JSON: %s" % report_text.strip()[:200])
    totals = report.get("totals") if isinstance(report, dict) else None
    if not isinstance(totals, dict) or not isinstance(totals.get("failures"), int):
        raise CliError("the compliance report of %s has no totals.failures" % recipe_name)
    if (budget_count is None) == (budget_percent is None):
        raise CliError("give one of budget_count and budget_percent")
    if budget_count is not None:
        if budget_count < 0:
            raise CliError("budget_count is a number of printers, 0 or more, not %d" % budget_count)
        budget, of = float(budget_count), "%d printer(s)" % budget_count
    else:
        if not 0 <= budget_percent <= 100:
            raise CliError("budget_percent is 0 to 100, not %g" % budget_percent)
        if not planned or planned < 1:
            raise CliError("budget_percent needs planned, the number of printers in the rollout (1 or more)")
        budget = planned * budget_percent / 100.0
        of = "%g (%g%% of %d planned)" % (budget, budget_percent, planned)
    failures = totals["failures"]
    result = dict(
        failures=failures,
        budget=budget,
        planned=planned,
        remaining=max(budget - failures, 0),
        spent=failures >= budget,
        totals=totals,
        stores=report.get("stores"),
    )
    if result["spent"]:
        result["msg"] = "failure budget spent: %d of %s failed under %s; the rollout stops here" % (
            failures,
            of,
            recipe_name,
        )
    return result
