"""The collection as an administrator runs it: ansible-playbook with the jump host as a local
connection, the built quorrel on its PATH, inside scripts/lab among six simulated units.

    collection_lab_test.py QUORREL-DIRECTORY

The steps share the lab's units and run in order: uploads first (the units' FTP servers listen on
their first addresses only), then the listing and a refused address, then the README's renumbering.
"""

import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXAMPLES = os.path.join(SOURCE, 'examples')
LAB_DIR = os.environ.get('LAB_DIR', '')
SERIALS = ['1A2B3', '1B3C4', '1C4D5', '1D5E6', '1E6F7', '1F808']
# Short discoveries: the lab's units answer at once.
TIMEOUT = '300'


def set_config_messages():
    """The datagrams the lab's units received that are not discovery requests ("0 1")."""
    with open(os.path.join(LAB_DIR, 'datagrams.log')) as log:
        return [line for line in log if not line.rstrip().endswith(' 302031')]


class CollectionLab(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        config = os.path.join(cls.scratch.name, 'ansible.cfg')
        open(config, 'w').close()
        cls.environment = dict(os.environ, PATH=QUORREL_DIRECTORY + os.pathsep + os.environ['PATH'],
                               ANSIBLE_CONFIG=config, ANSIBLE_COLLECTIONS_PATH=SOURCE, ANSIBLE_HOME=cls.scratch.name,
                               ANSIBLE_REMOTE_TEMP=cls.scratch.name,
                               ANSIBLE_NOCOLOR='1')

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def playbook(self, playbook, *options, **environment):
        run = subprocess.run(['ansible-playbook', '-i', os.path.join(EXAMPLES, 'site.yml'), playbook,
                              '-e', 'quorrel_timeout=' + TIMEOUT] + list(options),
                             env=dict(self.environment, **environment), capture_output=True, text=True,
                             timeout=120)
        return run

    def task_results(self, tasks):
        """Runs the tasks on the jump host, going on past failures; each one's result."""
        path = os.path.join(self.scratch.name, 'tasks.yml')
        results = os.path.join(self.scratch.name, 'results.json')
        registered = [dict(task, register='result_%d' % at, ignore_errors=True) for at, task in enumerate(tasks)]
        names = ', '.join('result_%d' % at for at in range(len(tasks)))
        keep = {'ansible.builtin.copy': {'content': '{{ [%s] | to_json }}' % names, 'dest': results},
                'check_mode': False}
        with open(path, 'w') as playbook:
            json.dump([{'hosts': 'jump_hosts', 'gather_facts': False, 'tasks': registered + [keep]}], playbook)
        run = self.playbook(path)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        with open(results) as kept:
            return json.load(kept)

    def changed_in_recap(self, run):
        """What the jump host's recap line counts as changed, failing when a task failed."""
        lines = re.findall(r'^(\S+)\s+: ok=\d+\s+changed=(\d+)\s+unreachable=0\s+failed=(\d+)', run.stdout, re.M)
        self.assertEqual([(host, failed) for host, _, failed in lines], [('localhost', '0')], run.stdout + run.stderr)
        return int(lines[0][1])

    def test_a_upload_stores_on_every_unit_and_check_mode_stores_nothing(self):
        page = os.path.join(self.scratch.name, 'index.htm')
        with open(page, 'w') as text:
            text.write('<p>site page</p>\n')
        stored = [os.path.join(LAB_DIR, 'ftp', '10.77.0.%d' % (10 + unit), 'PAGE.HTM') for unit in range(6)]
        task = {'tamberlode.quorrel.upload': {'src': page, 'remote_name': 'PAGE.HTM', 'all': True, 'jobs': 3,
                                              'timeout': int(TIMEOUT)}}
        checked, = self.task_results([dict(task, check_mode=True)])
        self.assertTrue(checked['changed'], checked)
        self.assertEqual([(unit['serial'], unit['result']) for unit in checked['units']],
                         [(serial, 'would-store') for serial in SERIALS])
        self.assertEqual([path for path in stored if os.path.exists(path)], [])

        # all: false beside serials, as a play that templates the choice gives it.
        by_serial = dict(task['tamberlode.quorrel.upload'], serials=[serial.lower() for serial in SERIALS], all=False)
        done, = self.task_results([{'tamberlode.quorrel.upload': by_serial}])
        self.assertTrue(done['changed'], done)
        self.assertEqual(sorted(unit['serial'] for unit in done['units'] if unit['result'] == 'stored'), SERIALS)
        for path in stored:
            with open(path) as copy:
                self.assertEqual(copy.read(), '<p>site page</p>\n', path)

    def test_b_units_info_lists_the_six_and_an_address_in_use_fails_with_quorrels_text(self):
        listing, refused, kept = self.task_results([
            {'tamberlode.quorrel.units_info': {'timeout': int(TIMEOUT)}},
            {'tamberlode.quorrel.unit': {'serial': '1a2b3', 'address': '10.77.0.11/16', 'gateway': '10.77.0.1',
                                         'timeout': int(TIMEOUT)}},
            {'tamberlode.quorrel.unit': {'serial': '1B3C4', 'dhcp': False, 'address': '10.77.0.11',
                                         'mask': '255.255.0.0', 'gateway': '10.77.0.1', 'timeout': int(TIMEOUT)}}])
        self.assertFalse(listing['changed'])
        self.assertEqual([unit['serial'] for unit in listing['units']], SERIALS)
        self.assertEqual(listing['units'][1], {'serial': '1B3C4', 'dhcp': 0, 'address': '10.77.0.11',
                                               'mask': '255.255.0.0', 'gateway': '10.77.0.1', 'chip': 'QX-200',
                                               'conflicts': []})
        self.assertTrue(refused['failed'], refused)
        self.assertFalse(refused['changed'])
        self.assertEqual(refused['msg'], 'quorrel: 1A2B3: 10.77.0.11 is the address of unit 1B3C4\n'
                                         'quorrel: nothing sent (--allow-duplicate-address sends anyway)')
        self.assertEqual((kept.get('failed', False), kept['changed'], kept['unit']['result']),
                         (False, False, 'unchanged'), kept)
        self.assertEqual(set_config_messages(), [])

    def test_c_renumbering_changes_six_units_once_and_check_mode_sends_nothing(self):
        renumber = os.path.join(EXAMPLES, 'renumber.yml')
        checked = self.playbook(renumber, '--check', '--diff')
        self.assertEqual(self.changed_in_recap(checked), 6)
        self.assertEqual(sorted(re.findall(r'^\+    "address": "(\S+)",$', checked.stdout, re.M)),
                         ['10.77.1.%d' % (10 + unit) for unit in range(6)], checked.stdout)
        self.assertEqual(set_config_messages(), [])

        self.assertEqual(self.changed_in_recap(self.playbook(renumber)), 6)
        self.assertEqual(len(set_config_messages()), 6)
        self.assertEqual(self.changed_in_recap(self.playbook(renumber)), 0)
        self.assertEqual(len(set_config_messages()), 6)


if __name__ == '__main__':
    QUORREL_DIRECTORY = os.path.abspath(sys.argv.pop(1))
    if not LAB_DIR:
        sys.exit('run inside scripts/lab')
    unittest.main(verbosity=2)
