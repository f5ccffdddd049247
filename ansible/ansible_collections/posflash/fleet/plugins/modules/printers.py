#!/usr/bin/python
# -*- coding: utf-8 -*-
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: printers
short_description: The printers a store PC reaches, and what each last received
description:
  - Runs C(posflash-cli printers --json) on the store PC and returns each printer - its medium,
    address, MAC or USB serial, whether its firmware answers, and the image it last received
    from posflash, with the recipe's name, sequence and time.
  - A network printer counts as answering when its firmware accepts a TCP connection on port
    4000 (connected and closed, no command); a USB printer when it is present. Nothing else is
    sent, so the module runs in check mode as it does otherwise, and never changes anything.
version_added: "1.2.0"
author: posflash maintainers (@posflash)
options:
  printers:
    description: The store's network printers to look at.
    type: list
    elements: dict
    suboptions:
      ip:
        description: The printer's IPv4 address.
        type: str
        required: true
      mac:
        description: The printer's MAC address, as C(00-11-22-33-44-55).
        type: str
        required: true
  all:
    description: Every USB printer present on the store PC as well.
    type: bool
    default: false
  records:
    description:
      - The line's records address, to read each printer's last download from there as well as
        from the store PC's history. It may hold a password, so it is never logged.
    type: str
  cli:
    description: The posflash-cli program on the store PC.
    type: path
    default: posflash-cli
attributes:
  check_mode:
    support: full
    description: Reads only.
  diff_mode:
    support: none
    description: There is nothing to show as a difference.
seealso:
  - module: posflash.fleet.update
"""

EXAMPLES = r"""
- name: What the store's printers run
  posflash.fleet.printers:
    printers: "{{ posflash_printers }}"
    all: true
  register: store

- name: Printers that do not answer
  ansible.builtin.debug:
    msg: "{{ store.printers | rejectattr('answers') | list }}"
"""

RETURN = r"""
printers:
  description: Each printer as posflash-cli describes it.
  returned: always
  type: list
  elements: dict
  contains:
    medium:
      description: C(network), C(usb), C(com) or C(device).
      type: str
    ip:
      description: A network printer's address, else null.
      type: str
    mac:
      description: A network printer's MAC address, else null.
      type: str
    usb_serial:
      description: A USB printer's serial number, else null.
      type: str
    answers:
      description: Its firmware answers (network) or it is present (USB).
      type: bool
    last:
      description: >-
        Its last completed download (sha256, path, kind, recipe, recipe_sequence, recipe_key,
        started), or null when posflash never completed one.
      type: dict
  sample:
    - medium: network
      ip: 192.168.10.21
      mac: 00-11-22-33-44-55
      answers: true
      last: {sha256: 9f2c..., kind: program, recipe: store-2027, recipe_sequence: 4,
             started: "2026-12-08T22:00:00.000Z"}
answering:
  description: How many of the printers answer.
  returned: always
  type: int
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.posflash.fleet.plugins.module_utils.posflash_cli import (
    CliError,
    printers_command,
    read_printers,
)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            printers=dict(
                type="list",
                elements="dict",
                options=dict(ip=dict(type="str", required=True), mac=dict(type="str", required=True)),
            ),
            all=dict(type="bool", default=False),
            records=dict(type="str", no_log=True),
            cli=dict(type="path", default="posflash-cli"),
        ),
        supports_check_mode=True,
    )
    params = module.params
    if not params["printers"] and not params["all"]:
        module.fail_json(msg="give printers, or all: true for the USB printers present")
    command = printers_command(params["cli"], params["printers"], params["all"], params["records"])
    rc, stdout, stderr = module.run_command(command)
    if rc != 0:
        module.fail_json(msg="posflash-cli printers ended with status %d: %s" % (rc, stderr.strip()), rc=rc)
    try:
        printers = read_printers(stdout)
    except CliError as error:
        module.fail_json(msg=str(error))
    module.exit_json(changed=False, printers=printers, answering=sum(1 for p in printers if p.get("answers")))


if __name__ == "__main__":
    main()
