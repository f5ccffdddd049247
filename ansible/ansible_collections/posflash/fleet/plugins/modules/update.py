#!/usr/bin/python
# -*- coding: utf-8 -*-
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: update
short_description: Load a signed recipe's firmware into a store's network printers
description:
  - Runs C(posflash-cli download --recipe) on the store PC for the store's network printers,
    with C(--skip-current), so that a printer whose last completed download was the recipe's
    image gets nothing. Running it again changes nothing once every printer is current.
  - The recipe and its signature (RECIPE.minisig beside it) must verify under the store PC's
    own trusted keys and the image must be the recipe's, or nothing is sent and the host fails.
  - In check mode it is the preflight and sends nothing (C(--dry-run)) - the recipe verifies,
    the image matches, each printer answers - and lists which printers would change.
  - Each printer ends C(current), C(updated), C(failed), C(pending) (nothing sent, try again
    later - not answering, busy, outside the window) or, in check mode, C(would-update).
  - The host fails only when a printer failed or the run was refused; pending printers are a
    warning, and the next run takes them.
version_added: "1.2.0"
author: posflash maintainers (@posflash)
options:
  recipe:
    description:
      - Path on the store PC of the signed line recipe; its signature RECIPE.minisig lies
        beside it.
    type: path
    required: true
  image:
    description: Path on the store PC of the firmware image the recipe approves.
    type: path
    required: true
  printers:
    description: The store's network printers, in the order they are tried.
    type: list
    elements: dict
    required: true
    suboptions:
      ip:
        description: The printer's IPv4 address.
        type: str
        required: true
      mac:
        description: The printer's MAC address, as C(00-11-22-33-44-55).
        type: str
        required: true
  window:
    description:
      - Start nothing outside this daily window, C(HH:MM-HH:MM) in the store's time; a window
        may pass midnight (C(22:00-05:00)). A printer outside it is C(pending).
    type: str
  timezone:
    description:
      - The store's time zone for I(window), as C(Europe/Berlin); default the store PC's own.
        Needs I(window).
    type: str
  verify_back:
    description:
      - Count a printer as updated only when its firmware answers again on TCP port 4000
        within this many seconds after the final frame; else it failed, with cause
        C(not-back).
    type: int
  inboot:
    description:
      - Switch a printer that runs its firmware into its boot loader before the link.
    type: bool
    default: true
  retries:
    description: Further attempts for a printer after a cause a second try can fix.
    type: int
  link_timeout:
    description: Seconds to wait for a printer's boot loader before it counts as not answering.
    type: int
  station:
    description: The station (store) the history and the line's records name; default the host name.
    type: str
  operator:
    description: Who runs the rollout, for the history.
    type: str
  records:
    description:
      - The line's records address (a PostgreSQL URI or service) the store syncs its history to.
        It may hold a password, so it is never logged.
    type: str
  cli:
    description: The posflash-cli program on the store PC.
    type: path
    default: posflash-cli
attributes:
  check_mode:
    support: full
    description: The preflight; sends nothing, not even a command to a printer.
  diff_mode:
    support: none
    description: There is nothing to show as a difference.
notes:
  - The waves, the failure budget and the order of stores belong to the playbook
    (see C(posflash.fleet.budget) and the collection's C(rollout.yml)), not to this module.
seealso:
  - module: posflash.fleet.printers
  - module: posflash.fleet.budget
"""

EXAMPLES = r"""
- name: Preflight - which printers would change (sends nothing)
  posflash.fleet.update:
    recipe: /var/lib/posflash/rollout/store-2027.recipe
    image: /var/lib/posflash/rollout/store-2027.bin
    printers: "{{ posflash_printers }}"
  check_mode: true

- name: Update the store's printers at night in the store's own time
  posflash.fleet.update:
    recipe: /var/lib/posflash/rollout/store-2027.recipe
    image: /var/lib/posflash/rollout/store-2027.bin
    printers:
      - {ip: 192.168.10.21, mac: 00-11-22-33-44-55}
      - {ip: 192.168.10.22, mac: 00-11-22-33-44-56}
    window: "22:00-05:00"
    timezone: Europe/Lisbon
    verify_back: 60
    records: "{{ posflash_records }}"
"""

RETURN = r"""
printers:
  description: Every printer's outcome, in the order given.
  returned: always
  type: list
  elements: dict
  contains:
    target:
      description: The printer as C(IP/MAC).
      type: str
      sample: 192.168.10.21/00-11-22-33-44-55
    ip:
      description: Its IP address.
      type: str
    mac:
      description: Its MAC address.
      type: str
    fleet:
      description: C(current), C(updated), C(failed), C(pending) or C(would-update).
      type: str
      sample: updated
    cause:
      description: >-
        Why it failed or is pending (C(not-back), C(printer-silent), C(outside-window),
        C(not-answering), C(busy), ...), else null.
      type: str
    reason:
      description: The cause in words.
      type: str
counts:
  description: How many printers ended each way.
  returned: always
  type: dict
  sample: {current: 1, updated: 2, failed: 0, pending: 0, would_update: 0}
summary:
  description: posflash-cli's own summary line of the run, when it printed one.
  returned: when the run started
  type: dict
cli_status:
  description: posflash-cli's exit status (0 done, 1 a printer failed, 2 refused, 3 some pending).
  returned: always
  type: int
  sample: 0
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.posflash.fleet.plugins.module_utils.posflash_cli import (
    CliError,
    download_command,
    judge_download,
)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            recipe=dict(type="path", required=True),
            image=dict(type="path", required=True),
            printers=dict(
                type="list",
                elements="dict",
                required=True,
                options=dict(ip=dict(type="str", required=True), mac=dict(type="str", required=True)),
            ),
            window=dict(type="str"),
            timezone=dict(type="str"),
            verify_back=dict(type="int"),
            inboot=dict(type="bool", default=True),
            retries=dict(type="int"),
            link_timeout=dict(type="int"),
            station=dict(type="str"),
            operator=dict(type="str"),
            records=dict(type="str", no_log=True),
            cli=dict(type="path", default="posflash-cli"),
        ),
        required_by=dict(timezone="window"),
        supports_check_mode=True,
    )
    if not module.params["printers"]:
        module.fail_json(msg="printers is empty: give the store's printers as a list of {ip, mac}")
    try:
        command = download_command(module.params, module.check_mode)
        rc, stdout, stderr = module.run_command(command)
        result = judge_download(rc, stdout, stderr, module.check_mode)
    except CliError as error:
        module.fail_json(msg=str(error))
    warnings = result.pop("warnings")
    for warning in warnings:
        module.warn(warning)
    if result.get("failed"):
        module.fail_json(**result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
