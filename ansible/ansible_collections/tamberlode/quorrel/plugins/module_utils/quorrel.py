# -*- coding: utf-8 -*-
# Copyright: Tamberlode
# MIT License (see the collection's galaxy.yml)

# Runs quorrel on the managed host for this collection's modules: its common options, its JSON
# on standard output, and its texts on standard error ("quorrel: TEXT", "quorrel: warning: TEXT").

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json

# The options every quorrel command takes, as every module of the collection offers them.
COMMON_ARGUMENT_SPEC = dict(
    target=dict(type='list', elements='str', default=[]),
    interface=dict(type='list', elements='str', default=[]),
    timeout=dict(type='int'),
)

_WARNING_PREFIX = 'quorrel: warning: '
_PREFIX = 'quorrel: '


def _without_prefix(line):
    return line[len(_PREFIX):] if line.startswith(_PREFIX) else line


def common_arguments(params):
    """quorrel's common options for the module's parameters, given before the command."""
    arguments = []
    if params.get('timeout') is not None:
        arguments += ['--timeout', str(params['timeout'])]
    for name in params.get('interface') or []:
        arguments += ['--interface', name]
    for target in params.get('target') or []:
        arguments += ['--target', target]
    return arguments


class QuorrelRun(object):
    """One run of quorrel: its exit status, its JSON (None when it printed none) and its texts."""

    def __init__(self, command, rc, stdout, stderr):
        self.command = command
        self.rc = rc
        self.stdout = stdout
        self.stderr = stderr
        lines = [line for line in stderr.splitlines() if line.strip()]
        self.warnings = [line[len(_WARNING_PREFIX):] for line in lines if line.startswith(_WARNING_PREFIX)]
        # quorrel's own words for what went wrong, as it printed them.
        self.errors = [line for line in lines if not line.startswith(_WARNING_PREFIX)]
        try:
            self.json = json.loads(stdout) if stdout.strip() else None
        except ValueError:
            self.json = None

    def failure_text(self):
        if self.errors:
            return '\n'.join(self.errors)
        return 'quorrel exited with status %d and said nothing' % self.rc


class Quorrel(object):
    def __init__(self, module):
        self.module = module
        self.path = module.get_bin_path('quorrel', required=True)

    def run(self, command, arguments):
        """Runs quorrel COMMAND ARGUMENTS with the module's common options, as an argument list
        (never through a shell). Texts quorrel printed with an exit status of 0 become warnings."""
        argv = [self.path] + common_arguments(self.module.params) + [command] + arguments
        rc, stdout, stderr = self.module.run_command(argv)
        run = QuorrelRun(argv, rc, stdout, stderr)
        notes = run.warnings
        if rc == 0:
            notes = notes + [_without_prefix(line) for line in run.errors]
        for note in notes:
            self.module.warn(note)
        return run

    def fail(self, run, **result):
        """Ends the module with quorrel's own text for the failure."""
        self.module.fail_json(msg=run.failure_text(), rc=run.rc, cmd=run.command, stdout=run.stdout,
                              stderr=run.stderr, **result)

    def json_of(self, run, **result):
        """quorrel's JSON, or the module's end when there is none to read."""
        if run.json is None:
            self.module.fail_json(msg='quorrel printed no JSON', rc=run.rc, cmd=run.command, stdout=run.stdout,
                                  stderr=run.stderr, **result)
        return run.json
