# -*- coding: utf-8 -*-
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json

import pytest

from ansible_collections.posflash.fleet.plugins.module_utils.posflash_cli import (
    CliError,
    judge_budget,
    judge_download,
    parse_json_lines,
)


def printer_line(ip, fleet, cause=None):
    return json.dumps(dict(event="printer", target=ip + "/00-11-22-33-44-55", ip=ip, mac="00-11-22-33-44-55",
                           usb_serial=None, fleet=fleet, cause=cause, reason="why: %s" % cause if cause else ""))


def run(rc, *lines, **kwargs):
    return judge_download(rc, "\n".join(lines) + "\n", kwargs.get("stderr", ""), kwargs.get("check_mode", False))


@pytest.mark.parametrize("rc, fleets, check_mode, changed, failed", [
    (0, ["current", "current"], False, False, False),  # a second night's run changes nothing
    (0, ["current", "updated"], False, True, False),
    (3, ["updated", "pending"], False, True, False),  # pending is a warning, never a failure
    (1, ["updated", "failed"], False, True, True),
    (0, ["current", "would-update"], True, True, False),  # the preflight says what would change
    (0, ["would-update"], False, False, False),  # would-update changes nothing outside check mode
    (3, ["pending"], True, False, False),
])
def test_outcomes_map_to_changed_and_failed(rc, fleets, check_mode, changed, failed):
    result = run(rc, *[printer_line("10.0.0.%d" % n, fleet, "not-back" if fleet == "failed" else None)
                       for n, fleet in enumerate(fleets)], check_mode=check_mode)
    assert result["changed"] is changed
    assert bool(result.get("failed")) is failed
    assert sum(result["counts"].values()) == len(fleets)


def test_failed_and_pending_printers_are_named_with_their_cause():
    failed = run(1, printer_line("10.0.0.1", "failed", "not-back"), printer_line("10.0.0.2", "pending", "busy"))
    assert "1 printer(s) failed" in failed["msg"] and "10.0.0.1" in failed["msg"] and "not-back" in failed["msg"]
    pending = run(3, printer_line("10.0.0.2", "pending", "outside-window"))
    assert pending["warnings"] == ["1 printer(s) pending, for a later run: 10.0.0.2/00-11-22-33-44-55 (outside-window): why: outside-window"]


def test_a_refused_run_fails_with_the_cli_reason():
    error = json.dumps(dict(event="error", outcome="refused", cause="recipe-signature",
                            message="the recipe's signature does not verify", remedy="", exit=2))
    result = run(2, error)
    assert result["failed"] and result["msg"].endswith("the recipe's signature does not verify")
    assert run(2, stderr="posflash-cli: --window: 25:00 is no time\n")["msg"].endswith("25:00 is no time")
    assert run(139, printer_line("10.0.0.1", "updated"), stderr="crashed")["failed"]


@pytest.mark.parametrize("text", ["not json\n", "[1, 2]\n", printer_line("10.0.0.1", "rolled-back") + "\n"])
def test_output_that_cannot_be_read_is_an_error(text):
    with pytest.raises(CliError):
        judge_download(0, text, "", False)


def test_blank_lines_are_skipped():
    assert len(parse_json_lines("\n" + printer_line("10.0.0.1", "current") + "\n\n")) == 1


def report(failures, **totals):
    totals.update(failures=failures, pending=7, unknown=9)
    return json.dumps(dict(totals=totals, stores=[]))


@pytest.mark.parametrize("failures, kwargs, spent", [
    (1, dict(budget_count=2), False),
    (2, dict(budget_count=2), True),
    (0, dict(budget_count=0), True),  # a budget of 0 stops the rollout
    (0, dict(budget_percent=1, planned=50), False),
    (1, dict(budget_percent=1, planned=50), True),  # 1 of 0.5 allowed
    (1, dict(budget_percent=2, planned=100), False),
    (2, dict(budget_percent=2, planned=100), True),
])
def test_budget_is_spent_when_failures_reach_it(failures, kwargs, spent):
    result = judge_budget(report(failures), "store-2027", **kwargs)
    assert result["spent"] is spent
    assert ("msg" in result) is spent


def test_budget_message_and_what_never_counts():
    result = judge_budget(report(3), "store-2027", budget_count=2)
    assert result["msg"].startswith("failure budget spent: 3 of 2 printer(s) failed under store-2027")
    # Pending and unknown printers are in the totals, never in the failures.
    assert not judge_budget(report(0), "store-2027", budget_count=1)["spent"]


@pytest.mark.parametrize("text, kwargs", [
    ("{}", dict(budget_count=1)),
    ("no report", dict(budget_count=1)),
    (report(0), dict()),
    (report(0), dict(budget_count=1, budget_percent=1, planned=10)),
    (report(0), dict(budget_percent=5)),
    (report(0), dict(budget_percent=101, planned=10)),
    (report(0), dict(budget_count=-1)),
])
def test_budget_bad_input_is_a_clear_error(text, kwargs):
    with pytest.raises(CliError):
        judge_budget(text, "store-2027", **kwargs)
