# -*- coding: utf-8 -*-
# Copyright: Tamberlode
# MIT License (see the collection's galaxy.yml)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: upload
short_description: Store a file on Quorrel units
version_added: 1.0.0
description:
  - Stores a file of the managed host on the units with the given serials, or on every unit that answers,
    by FTP through C(quorrel upload), several units at once.
  - A unit's file cannot be read back, so the task is changed whenever a file was stored, however often it
    ran before.
  - In check mode the module discovers the units and says which it would store the file on, under which name,
    and stores nothing.
author: Tamberlode (!UNKNOWN)
options:
  src:
    description:
      - The file to store, a path on the managed host.
    type: path
    required: true
  remote_name:
    description:
      - The name the units store the file under, at most eight characters before its first dot (8.3).
      - The file's own name (what follows the last slash of I(src)) when left out.
    type: str
  serials:
    description:
      - The serials of the units to store the file on.
      - Give either I(serials) or I(all).
    type: list
    elements: str
  all:
    description:
      - Store the file on every unit that answers.
    type: bool
    default: false
  jobs:
    description:
      - Store on up to this many units at once; C(1) stores on one after another.
      - quorrel's default when not given.
    type: int
extends_documentation_fragment:
  - tamberlode.quorrel.common
  - ansible.builtin.action_common_attributes
  - ansible.builtin.action_common_attributes.actiongroups
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
  platform:
    platforms: posix
  action_group:
    membership: [tamberlode.quorrel.quorrel]
notes:
  - The file must be on the managed host; copy it there first (M(ansible.builtin.copy)).
  - A unit that fails fails the task, after the others were stored on; I(units) then says how each went.
'''

EXAMPLES = r'''
- name: Bring the page to the jump host
  ansible.builtin.copy:
    src: files/index.htm
    dest: /tmp/index.htm

- name: Store it on every unit of the site, eight at once
  tamberlode.quorrel.upload:
    src: /tmp/index.htm
    remote_name: INDEX.HTM
    all: true
    jobs: 8

- name: Store it on two units
  tamberlode.quorrel.upload:
    src: /tmp/index.htm
    serials: [1A2B3, 1B3C4]
'''

RETURN = r'''
remote_name:
  description: The name the units store the file under.
  returned: success
  type: str
  sample: INDEX.HTM
units:
  description:
    - How the upload went on each unit, as C(quorrel upload --format json) says it; in check mode the units the
      file would be stored on, each with the result C(would-store).
  returned: always
  type: list
  elements: dict
  sample:
    - {serial: 1A2B3, address: 10.77.0.10, result: stored, bytes: 25, seconds: 0.004, failure: null}
  contains:
    serial:
      description: The unit's serial.
      type: str
    address:
      description: The address the file went to; C(null) for a serial no unit answered to.
      type: str
    result:
      description: C(stored), C(would-store) in check mode, or what went wrong (C(failed), C(refused), C(not found)).
      type: str
    bytes:
      description: The bytes stored.
      type: int
      returned: when not in check mode
    seconds:
      description: How long the upload to the unit took.
      type: float
      returned: when not in check mode
    failure:
      description: quorrel's text for the unit's failure; C(null) when it was stored.
      type: str
      returned: when not in check mode
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tamberlode.quorrel.plugins.module_utils.quorrel import COMMON_ARGUMENT_SPEC, Quorrel


def units_of(summary):
    """The per-unit list of quorrel's upload summary, which holds it under "units"."""
    return (summary.get('units') or []) if isinstance(summary, dict) else []


def check(module, quorrel):
    """What a run would do, from one discovery: the units the file would go to. The upload itself
    names a serial no unit answered to as a failure; so does this."""
    params = module.params
    src = params['src']
    if not os.path.isfile(src) or not os.access(src, os.R_OK):
        module.fail_json(msg='%s: no file that can be read' % src)
    run = quorrel.run('discover', ['--format', 'json'])
    if run.rc != 0:
        quorrel.fail(run)
    found = quorrel.json_of(run)
    if not params['all']:
        wanted = [serial.upper().rjust(5, '0') for serial in params['serials']]
        missing = [serial for serial in wanted if serial not in [unit['serial'] for unit in found]]
        if missing:
            module.fail_json(msg='no unit with serial %s answered' % ', '.join(missing))
        found = [unit for unit in found if unit['serial'] in wanted]
    remote_name = params['remote_name'] or src.rsplit('/', 1)[-1]
    units = [dict(serial=unit['serial'], address=unit['address'], result='would-store') for unit in found]
    module.exit_json(changed=bool(units), remote_name=remote_name, units=units)


def main():
    argument_spec = dict(
        src=dict(type='path', required=True),
        remote_name=dict(type='str'),
        serials=dict(type='list', elements='str'),
        all=dict(type='bool', default=False),
        jobs=dict(type='int'),
    )
    argument_spec.update(COMMON_ARGUMENT_SPEC)
    # mutually_exclusive would refuse serials beside all: false, as a templated play gives it.
    module = AnsibleModule(argument_spec=argument_spec, supports_check_mode=True)
    params = module.params
    if params['all'] and params['serials']:
        module.fail_json(msg='give either serials or all: true, not both')
    if not params['all'] and not params['serials']:
        module.fail_json(msg='give the units: serials, or all: true')

    quorrel = Quorrel(module)
    if module.check_mode:
        check(module, quorrel)

    arguments = ['--format', 'json']
    if params['jobs'] is not None:
        arguments += ['--jobs', str(params['jobs'])]
    # quorrel takes several units as one argument, separated by commas.
    arguments += ['--all'] if params['all'] else [','.join(params['serials'])]
    arguments.append(params['src'])
    if params['remote_name'] is not None:
        arguments.append(params['remote_name'])
    run = quorrel.run('upload', arguments)
    units = units_of(run.json)
    result = dict(changed=any(unit.get('result') == 'stored' for unit in units), units=units)
    if isinstance(run.json, dict) and 'remote_name' in run.json:
        result['remote_name'] = run.json['remote_name']
    if run.rc != 0:
        quorrel.fail(run, **result)
    quorrel.json_of(run, **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
