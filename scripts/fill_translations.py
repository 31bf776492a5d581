#!/usr/bin/env python3
"""Reuses translations after lupdate has moved texts between contexts.

When a text moves to another class, lupdate marks the old entry vanished and
adds an untranslated one under the new class. For every message that has no
translation (or only lupdate's unreviewed guess of exactly that translation)
this copies the translation of a finished message with the same
source text (from any context, vanished ones included). Vanished messages
whose text lives on elsewhere are then dropped; the others are kept so that
their translations come back if the text returns.

Usage: fill_translations.py FILE.ts...
"""
import sys
import xml.etree.ElementTree as ET


def key(msg):
    comment = msg.findtext('comment') or ''
    return (msg.findtext('source') or '', comment, msg.get('numerus') == 'yes')


def fill(path):
    tree = ET.parse(path)
    root = tree.getroot()
    known = {}
    for msg in root.iter('message'):
        tr = msg.find('translation')
        if tr is None or tr.get('type') in ('unfinished',):
            continue
        if (tr.text or len(tr)) and key(msg) not in known:
            known[key(msg)] = tr
    filled = 0
    live = set()
    for msg in root.iter('message'):
        tr = msg.find('translation')
        if tr is None or tr.get('type') in ('vanished', 'obsolete'):
            continue
        live.add(key(msg))
        if tr.get('type') != 'unfinished' or key(msg) not in known:
            continue
        src = known[key(msg)]
        # lupdate's own same-text guess arrives unfinished; an exact match of
        # a finished translation needs no second review.
        guessed = len(tr) == 0 and len(src) == 0 and tr.text == src.text
        if not (tr.text or len(tr)) or guessed:
            tr.text = src.text
            for child in list(src):
                tr.append(child)
            del tr.attrib['type']
            filled += 1
    dropped = 0
    for ctx in list(root.iter('context')):
        for msg in list(ctx.findall('message')):
            tr = msg.find('translation')
            if tr is not None and tr.get('type') in ('vanished', 'obsolete') and key(msg) in live:
                ctx.remove(msg)
                dropped += 1
        if not ctx.findall('message'):
            root.remove(ctx)
    tree.write(path, encoding='utf-8', xml_declaration=True)
    untranslated = sum(1 for m in root.iter('message')
                       if m.find('translation') is not None
                       and m.find('translation').get('type') == 'unfinished')
    print('%s: %d reused, %d stale dropped, %d still unfinished' % (path, filled, dropped, untranslated))


for arg in sys.argv[1:]:
    fill(arg)
