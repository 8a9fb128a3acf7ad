# -*- coding: utf-8 -*-
# Copyright: Tamberlode
# MIT License (see the collection's galaxy.yml)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: units_info
short_description: List the Quorrel units that answer
version_added: 1.0.0
description:
  - Discovers the units on the managed host's segment (and at I(target)) with C(quorrel discover) and returns
    each with its fields, for later tasks and templates. Changes nothing.
  - Units that report the same address are named in a warning, as quorrel names them.
author: Tamberlode (!UNKNOWN)
extends_documentation_fragment:
  - tamberlode.quorrel.common
  - ansible.builtin.action_common_attributes
  - ansible.builtin.action_common_attributes.actiongroups
attributes:
  check_mode:
    support: full
  diff_mode:
    support: N/A
  platform:
    platforms: posix
  action_group:
    membership: [tamberlode.quorrel.quorrel]
seealso:
  - module: tamberlode.quorrel.unit
'''

EXAMPLES = r'''
- name: Find the site's units
  tamberlode.quorrel.units_info:
    timeout: 1000
  register: site

- name: Say which units take their address by DHCP
  ansible.builtin.debug:
    msg: "{{ site.units | selectattr('dhcp', 'eq', 1) | map(attribute='serial') | list }}"

- name: Find the units of a site behind its router
  tamberlode.quorrel.units_info:
    target: [10.80.0.0/24]
  register: routed_site
'''

RETURN = r'''
units:
  description:
    - Every unit that answered, sorted by serial, as C(quorrel discover --format json) lists it; empty when none
      answered.
  returned: success
  type: list
  elements: dict
  sample:
    - {serial: 1A2B3, dhcp: 0, address: 10.77.0.10, mask: 255.255.0.0, gateway: 10.77.0.1, chip: QX-100,
       conflicts: []}
  contains:
    serial:
      description: Five upper-case hexadecimal digits.
      type: str
      sample: 1A2B3
    dhcp:
      description: 0 for a static address, 1 for DHCP, or another number the unit reported.
      type: int
      sample: 0
    address:
      description: The unit's address.
      type: str
      sample: 10.77.0.10
    mask:
      description: The unit's net mask.
      type: str
      sample: 255.255.0.0
    gateway:
      description: The unit's gateway.
      type: str
      sample: 10.77.0.1
    chip:
      description: The unit's chip name.
      type: str
      sample: QX-100
    conflicts:
      description: The serials of the other units that report the same address; most often none.
      type: list
      elements: str
      sample: []
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tamberlode.quorrel.plugins.module_utils.quorrel import COMMON_ARGUMENT_SPEC, Quorrel


def main():
    module = AnsibleModule(argument_spec=dict(COMMON_ARGUMENT_SPEC), supports_check_mode=True)
    quorrel = Quorrel(module)
    run = quorrel.run('discover', ['--format', 'json'])
    if run.rc != 0:
        quorrel.fail(run)
    module.exit_json(changed=False, units=quorrel.json_of(run))


if __name__ == '__main__':
    main()
