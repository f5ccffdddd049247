# -*- coding: utf-8 -*-
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)
"""The modules as Ansible runs them, with posflash-cli replaced by run_command's mock."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json

import pytest

from ansible.module_utils import basic
from ansible.module_utils.common.text.converters import to_bytes
from ansible_collections.posflash.fleet.plugins.modules import budget, printers, update

PRINTERS = [{"ip": "10.0.0.1", "mac": "00-11-22-33-44-01"}, {"ip": "10.0.0.2", "mac": "00-11-22-33-44-02"}]


class Exit(Exception):
    pass


def run_module(monkeypatch, module, args, outputs, check_mode=False):
    """Runs the module with args; outputs are run_command's (rc, stdout) answers in turn."""
    args = dict(args, _ansible_check_mode=check_mode)
    monkeypatch.setattr(basic, "_ANSIBLE_ARGS", to_bytes(json.dumps({"ANSIBLE_MODULE_ARGS": args})))
    commands = []

    def run_command(self, command, **kwargs):
        commands.append(command)
        rc, stdout = outputs.pop(0)
        return rc, stdout, ""

    def leave(self, **result):
        result.setdefault("failed", False)
        raise Exit(result)

    def fail(self, msg, **result):
        raise Exit(dict(result, failed=True, msg=msg))

    monkeypatch.setattr(basic.AnsibleModule, "run_command", run_command)
    monkeypatch.setattr(basic.AnsibleModule, "exit_json", leave)
    monkeypatch.setattr(basic.AnsibleModule, "fail_json", fail)
    with pytest.raises(Exit) as left:
        module.main()
    return left.value.args[0], commands


def printer_lines(*fleets):
    return "".join(json.dumps(dict(event="printer", target="%s/%s" % (p["ip"], p["mac"]), ip=p["ip"], mac=p["mac"],
                                   usb_serial=None, fleet=fleet, cause=None, reason="")) + "\n"
                   for p, fleet in zip(PRINTERS, fleets))


UPDATE = dict(recipe="/srv/r.recipe", image="/srv/i.bin", printers=PRINTERS, records="postgresql://hq:secret@db/line")


def test_update_command_line_and_check_mode(monkeypatch):
    result, commands = run_module(monkeypatch, update, dict(UPDATE, window="22:00-05:00", timezone="Europe/Lisbon",
                                                            verify_back=60, retries=1, inboot=False),
                                  [(0, printer_lines("current", "would-update"))], check_mode=True)
    assert commands == [["posflash-cli", "download", "--net", "--ip", "10.0.0.1", "--mac", "00-11-22-33-44-01",
                         "--ip", "10.0.0.2", "--mac", "00-11-22-33-44-02", "--recipe", "/srv/r.recipe",
                         "--skip-current", "--window", "22:00-05:00", "--timezone", "Europe/Lisbon",
                         "--verify-back", "60", "--retries", "1", "--records", "postgresql://hq:secret@db/line",
                         "--dry-run", "--json", "/srv/i.bin"]]
    assert result["changed"] and not result["failed"]
    # Outside check mode the same options never carry --dry-run.
    result, commands = run_module(monkeypatch, update, UPDATE, [(0, printer_lines("current", "current"))])
    assert "--dry-run" not in commands[0] and "--inboot" in commands[0] and "--skip-current" in commands[0]
    assert not result["changed"]


@pytest.mark.parametrize("args, message", [
    (dict(UPDATE, timezone="Europe/Lisbon"), "window"),
    (dict(UPDATE, printers=[{"ip": "10.0.0.1"}]), "mac"),
    (dict(UPDATE, printers=[]), "printers is empty"),
])
def test_update_bad_arguments_run_nothing(monkeypatch, args, message):
    result, commands = run_module(monkeypatch, update, args, [])
    assert result["failed"] and message in result["msg"] and commands == []


def test_update_failed_and_pending_printers(monkeypatch):
    result, _ = run_module(monkeypatch, update, UPDATE, [(1, printer_lines("updated", "failed"))])
    assert result["failed"] and result["counts"]["failed"] == 1
    result, _ = run_module(monkeypatch, update, UPDATE, [(3, printer_lines("updated", "pending"))])
    assert not result["failed"] and result["changed"] and result["counts"]["pending"] == 1


def test_printers_returns_the_cli_printers(monkeypatch):
    listed = [dict(medium="network", ip="10.0.0.1", mac="00-11-22-33-44-01", answers=True, last=None),
              dict(medium="usb", usb_serial="A1", answers=False, last=None)]
    result, commands = run_module(monkeypatch, printers, dict(printers=PRINTERS[:1], all=True),
                                  [(0, json.dumps(dict(event="printers", printers=listed)) + "\n")], check_mode=True)
    assert commands[0] == ["posflash-cli", "printers", "--net", "--ip", "10.0.0.1", "--mac", "00-11-22-33-44-01",
                           "--all", "--json"]
    assert result["printers"] == listed and result["answering"] == 1 and not result["changed"]
    result, commands = run_module(monkeypatch, printers, dict(), [])
    assert result["failed"] and commands == []


def test_budget_gate(monkeypatch):
    totals = json.dumps(dict(totals=dict(printers=40, failures=2, pending=10, unknown=5), stores=[]))
    args = dict(recipe_name="store-2027", budget_percent=5, planned=40, records="service=line")
    result, commands = run_module(monkeypatch, budget, args, [(0, totals)])
    assert commands[0] == ["posflash-cli", "report", "--compliance", "store-2027", "--central", "--format", "json",
                           "--records", "service=line"]
    assert result["spent"] and result["failed"] and result["msg"].startswith("failure budget spent: 2 of 2 (5% of 40")
    # Without the records the gate stays shut.
    result, _ = run_module(monkeypatch, budget, dict(args, budget_percent=10), [(1, "")])
    assert result["failed"] and "line's records" in result["msg"]
