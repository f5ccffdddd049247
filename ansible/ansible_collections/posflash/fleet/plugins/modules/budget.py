#!/usr/bin/python
# -*- coding: utf-8 -*-
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: budget
short_description: Stop a rollout whose failure budget is spent, across waves and runs
description:
  - The gate before each wave of a rollout. Reads from the line's records, through
    C(posflash-cli report --compliance NAME --central --format json), how many distinct
    printers ever failed under the recipe, in every wave of every run, and fails when that
    reaches the budget.
  - The budget is the number of failed printers at which the rollout stops - I(budget_count),
    or I(budget_percent) of I(planned). A budget of 0 stops the rollout before its next wave.
  - Pending and unknown printers never count - an unreachable store wrote nothing, a printer
    outside its window got nothing - and the next run takes them.
  - "Run it on the controller, once per wave - C(delegate_to: localhost) and C(run_once: true)
    in a play with C(serial)."
version_added: "1.2.0"
author: posflash maintainers (@posflash)
options:
  recipe_name:
    description: The recipe's name, as in the recipe file and the line's records.
    type: str
    required: true
  budget_count:
    description: The number of failed printers that stops the rollout.
    type: int
  budget_percent:
    description: The budget as a percentage (0 to 100) of I(planned).
    type: float
  planned:
    description: The number of printers in the rollout (the inventory's); needed with I(budget_percent).
    type: int
  records:
    description:
      - The line's records address (a PostgreSQL URI or service); default C(POSFLASH_RECORDS).
        It may hold a password, so it is never logged.
    type: str
  cli:
    description: The posflash-cli program on the controller.
    type: path
    default: posflash-cli
attributes:
  check_mode:
    support: full
    description: Reads only, so it gates a dry run as it gates a rollout.
  diff_mode:
    support: none
    description: There is nothing to show as a difference.
seealso:
  - module: posflash.fleet.update
"""

EXAMPLES = r"""
- name: Failure budget
  posflash.fleet.budget:
    recipe_name: store-2027
    budget_percent: 1
    planned: 1800
    records: "{{ records }}"
  delegate_to: localhost
  run_once: true
"""

RETURN = r"""
failures:
  description: Distinct printers that ever failed under the recipe.
  returned: success
  type: int
  sample: 1
budget:
  description: The number of failed printers that stops the rollout.
  returned: success
  type: float
  sample: 18.0
remaining:
  description: How many more printers may fail before the rollout stops.
  returned: success
  type: float
spent:
  description: Whether the budget is spent (false whenever the module succeeds).
  returned: success
  type: bool
planned:
  description: The printers in the rollout, as given.
  returned: success
  type: int
totals:
  description: The report's totals (printers, current, older, failed, pending, unknown, failures).
  returned: success
  type: dict
stores:
  description: The report's figures per store.
  returned: success
  type: raw
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.posflash.fleet.plugins.module_utils.posflash_cli import (
    CliError,
    compliance_command,
    judge_budget,
)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            recipe_name=dict(type="str", required=True),
            budget_count=dict(type="int"),
            budget_percent=dict(type="float"),
            planned=dict(type="int"),
            records=dict(type="str", no_log=True),
            cli=dict(type="path", default="posflash-cli"),
        ),
        required_one_of=[("budget_count", "budget_percent")],
        mutually_exclusive=[("budget_count", "budget_percent")],
        required_by=dict(budget_percent="planned"),
        supports_check_mode=True,
    )
    params = module.params
    rc, stdout, stderr = module.run_command(compliance_command(params["cli"], params["recipe_name"], params["records"]))
    if rc != 0:
        # Without the records the budget is unknown: the gate stays shut.
        module.fail_json(msg="could not read the rollout's failures from the line's records: %s" % (stderr.strip() or stdout.strip()), rc=rc)
    try:
        result = judge_budget(
            stdout,
            params["recipe_name"],
            planned=params["planned"],
            budget_count=params["budget_count"],
            budget_percent=params["budget_percent"],
        )
    except CliError as error:
        module.fail_json(msg=str(error))
    if result["spent"]:
        module.fail_json(**result)
    module.exit_json(changed=False, **result)


if __name__ == "__main__":
    main()
