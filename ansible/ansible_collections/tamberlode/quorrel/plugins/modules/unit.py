# -*- coding: utf-8 -*-
# Copyright: Tamberlode
# MIT License (see the collection's galaxy.yml)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: unit
short_description: Set one Quorrel unit's addressing
version_added: 1.0.0
description:
  - Gives the unit with a serial DHCP, or a static address with its mask and gateway, through C(quorrel set)
    on the managed host, and confirms that the unit took it.
  - A unit that already reports the addressing is sent nothing and the task is not changed, so a play can be
    run again and again.
  - Before sending, quorrel refuses a static address that another unit reports or, where it may probe with
    ARP, that another host on the unit's link answers for; the task then fails with quorrel's text and
    nothing is sent (see I(allow_duplicate_address)).
  - In check mode quorrel's dry run says what would be sent and sends nothing.
  - With C(--diff) the task shows the unit's addressing as it reported it before and after.
author: Tamberlode (!UNKNOWN)
options:
  serial:
    description:
      - The unit's serial, one to five hexadecimal digits in either case, such as C(1A2B3).
      - Quote a serial that YAML would read as a number, such as C("12345") or C("1E500").
    type: str
    required: true
  dhcp:
    description:
      - C(true) has the unit take its address by DHCP; I(address) must then be left out.
      - C(false), or left out, gives it the static I(address).
    type: bool
  address:
    description:
      - The static address, C(ADDRESS/PREFIX) or C(ADDRESS) with I(mask).
    type: str
  mask:
    description:
      - The net mask of a static I(address) given without a prefix, such as C(255.255.255.0).
    type: str
  gateway:
    description:
      - The gateway of a static I(address); none (C(0.0.0.0)) when left out.
    type: str
  allow_duplicate_address:
    description:
      - Send a static address even when another unit reports it or another host answers for it.
    type: bool
    default: false
extends_documentation_fragment:
  - tamberlode.quorrel.common
  - ansible.builtin.action_common_attributes
  - ansible.builtin.action_common_attributes.actiongroups
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
  platform:
    platforms: posix
  action_group:
    membership: [tamberlode.quorrel.quorrel]
seealso:
  - module: tamberlode.quorrel.units_info
'''

EXAMPLES = r'''
- name: Give a unit a static address on the site's subnet
  tamberlode.quorrel.unit:
    serial: 1A2B3
    address: 10.77.1.10/16
    gateway: 10.77.0.1

- name: Let a unit take its address by DHCP
  tamberlode.quorrel.unit:
    serial: 1B3C4
    dhcp: true

- name: Renumber a site's units from the inventory, behind the site's router
  tamberlode.quorrel.unit:
    serial: "{{ item.serial }}"
    address: "{{ item.address }}"
    mask: 255.255.255.0
    gateway: 10.80.0.1
    target: [10.80.0.0/24]
    timeout: 1000
  loop: "{{ site_units }}"
'''

RETURN = r'''
unit:
  description:
    - What became of the unit, as C(quorrel set --format json) says it.
    - I(before) is what the unit reported before anything was sent (C(null) when it did not answer),
      I(wanted) what it was asked to take (a C(null) address, mask and gateway with DHCP, which gives them),
      I(after) what it reported afterwards (C(null) in check mode and when it no longer answered).
      Each is a dictionary with C(dhcp) (the number the unit reported, 0 off and 1 on), C(address), C(mask)
      and C(gateway).
  returned: when quorrel discovered the unit
  type: dict
  sample:
    serial: 1A2B3
    result: confirmed
    before: {dhcp: 0, address: 10.77.0.10, mask: 255.255.0.0, gateway: 10.77.0.1}
    wanted: {dhcp: 0, address: 10.77.1.10, mask: 255.255.0.0, gateway: 10.77.0.1}
    after: {dhcp: 0, address: 10.77.1.10, mask: 255.255.0.0, gateway: 10.77.0.1}
  contains:
    result:
      description:
        - C(unchanged) (the unit reported the addressing already; nothing sent), C(would-set) (check mode),
          C(confirmed), C(not-confirmed) (the task fails) or C(not-sent) (the task fails).
      type: str
      returned: always
      sample: confirmed
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tamberlode.quorrel.plugins.module_utils.quorrel import COMMON_ARGUMENT_SPEC, Quorrel

# Results after which the unit was sent, or in check mode would be sent, its new addressing.
_CHANGED = ('would-set', 'sent', 'confirmed', 'not-confirmed')


def addressing_shown(addressing):
    """An addressing as the diff shows it: DHCP as quorrel's table shows it, and the three addresses
    unless DHCP is to give them."""
    if addressing is None:
        return {}
    dhcp = {0: 'Off', 1: 'On'}.get(addressing['dhcp'], str(addressing['dhcp']))
    shown = {'dhcp': dhcp}
    for name in ('address', 'mask', 'gateway'):
        if addressing.get(name) is not None:
            shown[name] = addressing[name]
    return shown


def set_arguments(params, check_mode):
    arguments = [params['serial'], '--format', 'json']
    if params['dhcp']:
        arguments.append('--dhcp')
    else:
        arguments += ['--static', params['address']]
        if params['mask'] is not None:
            arguments += ['--mask', params['mask']]
        if params['gateway'] is not None:
            arguments += ['--gateway', params['gateway']]
    if params['allow_duplicate_address']:
        arguments.append('--allow-duplicate-address')
    if check_mode:
        arguments.append('--dry-run')
    return arguments


def main():
    argument_spec = dict(
        serial=dict(type='str', required=True),
        dhcp=dict(type='bool'),
        address=dict(type='str'),
        mask=dict(type='str'),
        gateway=dict(type='str'),
        allow_duplicate_address=dict(type='bool', default=False),
    )
    argument_spec.update(COMMON_ARGUMENT_SPEC)
    module = AnsibleModule(
        argument_spec=argument_spec,
        required_by={'mask': 'address', 'gateway': 'address'},
        supports_check_mode=True,
    )
    params = module.params
    if params['dhcp'] and any(params[name] is not None for name in ('address', 'mask', 'gateway')):
        module.fail_json(msg='dhcp: true takes no address, mask or gateway')
    if not params['dhcp'] and params['address'] is None:
        module.fail_json(msg='give either dhcp: true or a static address')

    quorrel = Quorrel(module)
    run = quorrel.run('set', set_arguments(params, module.check_mode))
    unit = run.json[0] if isinstance(run.json, list) and run.json else None
    changed = unit is not None and unit['result'] in _CHANGED
    result = dict(changed=changed)
    if unit is not None:
        result['unit'] = unit
        if module._diff:
            after = unit['wanted'] if unit['result'] == 'would-set' else unit['after']
            result['diff'] = dict(before=addressing_shown(unit['before']), after=addressing_shown(after),
                                  before_header='%s as it reported' % unit['serial'],
                                  after_header='%s %s' % (unit['serial'], 'as asked' if module.check_mode
                                                          else 'as it reports'))
    if run.rc != 0:
        quorrel.fail(run, **result)
    if unit is None:
        quorrel.json_of(run, **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
