#!/usr/bin/env bash
# ansible-test sanity on the collection: every test that runs from ansible-core's own files.
# ansible-test runs seven tests in virtual environments that it fills from PyPI, which this project
# never uses; of those, three run here on Debian's packages as ansible-test would run them:
# validate-modules (ansible-test's own checker, with python3-voluptuous), pep8 (pycodestyle with
# ansible-test's settings) and ansible-doc (each module's documentation rendered). The other four
# are skipped: import and pylint need ansible-test's pinned environments, runtime-metadata and
# yamllint check what validate-modules and ansible-doc read here too (meta/runtime.yml, the
# documentation's YAML).
#   collection_sanity_test.sh COLLECTION-DIR
set -euo pipefail
collection=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

# ansible-test works only inside a path that ends in ansible_collections/NAMESPACE/NAME.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/ansible_collections/tamberlode/quorrel
mkdir -p "${root%/*}"
cp -r "$collection" "$root"
rm -rf "$root/tests/output"
cd "$root"
export ANSIBLE_COLLECTIONS_PATH=$work HOME=$work

python=/usr/bin/python3
version=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
skipped=()
for test in ansible-doc import pep8 pylint runtime-metadata validate-modules yamllint; do
    skipped+=(--skip-test "$test")
done
ansible-test sanity --color no --python "$version" "${skipped[@]}" || fail "ansible-test sanity"

sanity=$("$python" -c 'import ansible_test, os; print(os.path.dirname(ansible_test.__file__))')/_util/controller/sanity
[[ -d $sanity/validate-modules && -f $sanity/pep8/current-ignore.txt ]] || fail "no ansible-test checkers in $sanity"

# What ansible-test's validate-modules reports, less what tests/sanity/ignore-*.txt lets pass.
# --arg, the unique prefix argparse takes for the checker's option that also loads each module and
# compares its argument definitions with its documentation, as ansible-test runs it.
collection_version=$(sed -n 's/^version: *//p' galaxy.yml)
report=$("$python" "$sanity/validate-modules/validate.py" --format json --arg \
             --collection ansible_collections/tamberlode/quorrel --collection-version "$collection_version" \
             plugins/modules/*.py) || (( $? == 3 )) || fail "validate-modules did not run"
"$python" - "$report" tests/sanity/ignore-*.txt <<'PY' || fail "validate-modules"
import json, re, sys
ignored = set()
for name in sys.argv[2:]:
    for line in open(name):
        entry = re.sub(r' *#.*$', '', line).split()
        if entry and entry[1].startswith('validate-modules:'):
            ignored.add((entry[0], entry[1].split(':', 1)[1]))
found = [(path, error['code'], error['msg']) for path, result in json.loads(sys.argv[1]).items()
         for error in result['errors'] + result['warnings'] if (path, error['code']) not in ignored]
for path, code, message in found:
    print('%s: validate-modules:%s: %s' % (path, code, message))
sys.exit(1 if found else 0)
PY

"$python" -m pycodestyle --max-line-length 160 --config /dev/null \
    --ignore "$(paste -sd, "$sanity/pep8/current-ignore.txt")" plugins || fail "pep8"

for module in plugins/modules/*.py; do
    name=tamberlode.quorrel.$(basename "$module" .py)
    warnings=$(ansible-doc "$name" 2>&1 >/dev/null) || fail "ansible-doc $name: $warnings"
    [[ -z $warnings ]] || fail "ansible-doc $name: $warnings"
done
echo "collection sanity: ok"
