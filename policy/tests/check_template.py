#!/usr/bin/env python3
"""Checks the administrative template against the programs.

  check_template.py <read_values program> <policy folder>

1. Netvane.admx and both Netvane.adml files validate against schema/policy_definitions.xsd (xmllint).
2. Every value the settings readers ask for (the program's output) is written by some policy, unless
   not-policies.txt names it; every value a policy writes is one the programs read (no typos).
3. Every text and presentation the ADMX refers to exists in each language, with one control per element.
"""
import fnmatch
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

NS = '{http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions}'
PRODUCT = 'SOFTWARE\\Tarn\\Netvane-H'
LANGUAGES = ('en-US', 'ko-KR')
CONTROL_OF = {'decimal': 'decimalTextBox', 'text': 'textBox', 'enum': 'dropdownList', 'list': 'listBox'}

failures = []


def fail(message):
    failures.append(message)


def relative_key(key):
    if key.lower() == PRODUCT.lower():
        return ''
    if not key.lower().startswith(PRODUCT.lower() + '\\'):
        fail(f'policy key outside the product key: {key}')
        return key
    return key[len(PRODUCT) + 1:]


def template_writes(admx):
    """(subkey, value name or '*' for a whole key) pairs the policies write."""
    writes = set()
    for policy in admx.iter(NS + 'policy'):
        key = policy.get('key')
        if policy.get('valueName'):
            writes.add((relative_key(key), policy.get('valueName')))
        elements = policy.find(NS + 'elements')
        for element in (elements if elements is not None else []):
            element_key = relative_key(element.get('key', key))
            name = element.get('valueName')
            writes.add((element_key, name if name is not None else '*'))
    return writes


def program_reads(program):
    out = subprocess.run([program], check=True, capture_output=True, text=True).stdout
    reads = set()
    for line in out.splitlines():
        subkey, value = line.split('\t')
        reads.add((subkey, value))
    return reads


def exemptions(path):
    rules = []
    for line in path.read_text(encoding='utf-8').splitlines():
        if line.strip() and not line.startswith('#'):
            subkey, value = line.split()[:2]
            rules.append(('' if subkey == '-' else subkey, value))
    return rules


def validate(folder):
    files = [folder / 'Netvane.admx'] + [folder / lang / 'Netvane.adml' for lang in LANGUAGES]
    result = subprocess.run(['xmllint', '--noout', '--schema', str(folder / 'schema' / 'policy_definitions.xsd')] +
                            [str(f) for f in files], capture_output=True, text=True)
    if result.returncode != 0:
        fail('schema validation failed:\n' + result.stderr)


def check_coverage(reads, writes, rules):
    written_keys = {k for k, v in writes}
    for subkey, value in sorted(reads):
        if value == '*':
            if subkey not in written_keys:
                fail(f'no policy writes key {subkey}')
            continue
        if (subkey, value) in writes:
            continue
        if any(fnmatch.fnmatchcase(subkey, s) and value == v for s, v in rules):
            continue
        fail(f'value read by the programs but missing from the template: {subkey or "(product key)"}\\{value}')
    read_keys = {k for k, v in reads if v == '*'}
    for subkey, value in sorted(writes):
        if value != '*' and (subkey, value) not in reads and subkey not in read_keys:
            fail(f'the template writes a value no program reads: {subkey or "(product key)"}\\{value}')
    for s, v in rules:
        if not any(fnmatch.fnmatchcase(k, s) and value == v for k, value in reads):
            fail(f'not-policies.txt names a value no program reads: {s}\\{v}')


def check_texts(admx, folder):
    strings = set()
    for node in admx.iter():
        for attribute in node.attrib.values():
            if attribute.startswith('$(string.'):
                strings.add(attribute[len('$(string.'):-1])
    policies = {p.get('name'): p for p in admx.iter(NS + 'policy')}
    for lang in LANGUAGES:
        adml = ET.parse(folder / lang / 'Netvane.adml').getroot()
        defined = {s.get('id'): (s.text or '') for s in adml.iter(NS + 'string')}
        for name in sorted(strings - defined.keys()):
            fail(f'{lang}: text {name} missing')
        for name, text in defined.items():
            if not text.strip():
                fail(f'{lang}: text {name} empty')
        presentations = {p.get('id'): p for p in adml.iter(NS + 'presentation')}
        for name, policy in policies.items():
            elements = policy.find(NS + 'elements')
            expected = {e.get('id'): CONTROL_OF[e.tag[len(NS):]] for e in (elements if elements is not None else [])}
            presentation = presentations.get(name)
            if presentation is None:
                if expected:
                    fail(f'{lang}: presentation {name} missing')
                continue
            controls = {c.get('refId'): c.tag[len(NS):] for c in presentation if c.get('refId')}
            if controls != expected:
                fail(f'{lang}: presentation {name} has {controls}, its policy needs {expected}')


def main():
    program, folder = sys.argv[1], Path(sys.argv[2])
    validate(folder)
    admx = ET.parse(folder / 'Netvane.admx').getroot()
    reads = program_reads(program)
    if len(reads) < 20:
        fail(f'the settings readers reported only {len(reads)} values: {sorted(reads)}')
    check_coverage(reads, template_writes(admx), exemptions(folder / 'not-policies.txt'))
    check_texts(admx, folder)
    for message in failures:
        print('FAIL:', message)
    print(f'{len(reads)} values read, {len(failures)} problems')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
