# -*- coding: utf-8 -*-
# Copyright: Tamberlode
# MIT License (see the collection's galaxy.yml)

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):
    # quorrel's common options, which every module of the collection passes on.
    DOCUMENTATION = r'''
options:
  target:
    description:
      - Also reach these addresses or ranges by unicast, for units that no broadcast reaches (a site on a
        subnet of its own behind a router, whose units have that router as their gateway).
      - An address, a directed broadcast address or a range from C(/16) to C(/32), such as C(10.80.0.0/24).
      - Passed to quorrel as C(--target), once for each.
    type: list
    elements: str
    default: []
  interface:
    description:
      - Broadcast only on these network interfaces of the managed host; none given means every interface.
      - Passed to quorrel as C(--interface), once for each.
    type: list
    elements: str
    default: []
  timeout:
    description:
      - How long each discovery listens for answers, in milliseconds, from 1 to 600000.
      - quorrel's default (2000) when not given.
    type: int
requirements:
  - C(quorrel) on the managed host's PATH (package C(quorrel-tools)).
notes:
  - The module runs quorrel on the managed host, which must be on the units' network segment (or reach them
    with I(target)); use the site's jump host as the managed host.
  - quorrel's errors come back as the task's message, in quorrel's own words.
'''
