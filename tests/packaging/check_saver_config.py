#!/usr/bin/env python3
"""tests/packaging/check_saver_config.py FILE

Checks the hack's description for xscreensaver's settings: well-formed XML
whose root names the hack as installed, starts it on the window xscreensaver
gives (--root), offers the pause between frames as a slider in microseconds
whose range holds its default, and a picture file; every option an argument
the hack takes; a description."""
import sys
import xml.etree.ElementTree as ElementTree

OPTIONS = {'--root', '--delay', '--picture'}  # what mottlescreen accepts


def problems(path):
    try:
        root = ElementTree.parse(path).getroot()
    except ElementTree.ParseError as error:
        return [f'not well-formed: {error}']
    found = []
    if root.tag != 'screensaver' or root.get('name') != 'mottlescreen' or not root.get('_label'):
        found.append(f'the root is <{root.tag} name="{root.get("name")}">, not <screensaver name="mottlescreen" _label=...>')
    commands = [element.get('arg') for element in root.iter('command')]
    if commands != ['--root']:
        found.append(f'the command arguments are {commands}, not [\'--root\']')
    delay = [e for e in root.iter('number') if e.get('id') == 'delay']
    if len(delay) != 1 or delay[0].get('type') != 'slider' or delay[0].get('arg') != '--delay %':
        found.append('no slider "delay" giving --delay %')
    else:
        try:
            low, high, default = (int(delay[0].get(name)) for name in ('low', 'high', 'default'))
            if not 0 <= low <= default <= high:
                found.append(f'the delay slider runs {low}..{high} with default {default}')
        except (TypeError, ValueError):
            found.append('the delay slider has no whole numbers for low, high and default')
    pictures = [e for e in root.iter('file') if e.get('id') == 'picture']
    if len(pictures) != 1 or pictures[0].get('arg') != '--picture %':
        found.append('no file "picture" giving --picture %')
    for element in root.iter():
        argument = element.get('arg')
        if argument is not None and argument.split()[0] not in OPTIONS:
            found.append(f'<{element.tag}> passes {argument}, which mottlescreen does not take')
    descriptions = [e.text or '' for e in root.iter('_description')]
    if len(descriptions) != 1 or len(descriptions[0].split()) < 10:
        found.append('no description')
    return found


def main():
    found = problems(sys.argv[1])
    for problem in found:
        print(f'FAIL: {sys.argv[1]}: {problem}')
    if not found:
        print(f'{sys.argv[1]} passes')
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
