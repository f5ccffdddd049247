#!/usr/bin/env bash
# The Ansible collection posflash.fleet through ansible-test, in a copy of its own (ansible-test
# writes tests/output beside what it tests, and wants the tree under .../ansible_collections/):
#   collection_test.sh units  COLLECTION_DIR
#   collection_test.sh sanity COLLECTION_DIR
# Exits 77 (skipped) only when ansible-test is missing.
set -euo pipefail
mode="$1"
source_dir="$(cd "$2" && pwd)"
command -v ansible-test > /dev/null || { echo "ansible-test is not installed"; exit 77; }
# Debian's Python, with Debian's pytest and voluptuous, whatever python3 is first on the PATH.
python=/usr/bin/python3
work="$(mktemp -d "${TMPDIR:-/tmp}/posflash-ansible.XXXXXX")"
trap 'rm -rf "$work"' EXIT
collection="$work/ansible_collections/posflash/fleet"
mkdir -p "$(dirname "$collection")"
cp -r "$source_dir" "$collection"
rm -rf "$collection/tests/output"
cd "$collection"
export ANSIBLE_COLLECTIONS_PATH="$work" ANSIBLE_LOCAL_TEMP="$work/tmp" HOME="$work"

case "$mode" in
units)
    ansible-test units --local --python 3.11
    ;;
sanity)
    # These need a virtual environment that pip fills from PyPI, which an offline machine
    # cannot: ansible-test skips them, and the three that matter run below on Debian's packages.
    online=(ansible-doc import pep8 pylint runtime-metadata validate-modules yamllint)
    ansible-test sanity --local --python 3.11 "${online[@]/#/--skip-test=}"
    sanity="$(dirname "$("$python" -c 'import ansible_test; print(ansible_test.__file__)')")/_util/controller/sanity"
    # validate-modules, DOCUMENTATION against argument_spec (--arg, the short form argparse
    # takes of its option for that), with Debian's voluptuous.
    PYTHONPATH="$sanity/validate-modules" "$python" "$sanity/validate-modules/validate.py" --arg \
        --collection ansible_collections/posflash/fleet --collection-version "$(sed -n 's/^version: //p' galaxy.yml)" \
        --plugin-type module plugins/modules/*.py
    yamllint -c "$sanity/yamllint/config/default.yml" galaxy.yml meta playbooks tests/config.yml \
        "$source_dir/../../../inventory.example.yml"
    for module in plugins/modules/*.py; do
        ansible-doc posflash.fleet."$(basename "$module" .py)" > /dev/null
    done
    ansible-playbook --syntax-check -i "$source_dir/../../../inventory.example.yml" posflash.fleet.rollout
    ;;
*)
    echo "usage: $0 units|sanity COLLECTION_DIR" >&2
    exit 2
    ;;
esac
