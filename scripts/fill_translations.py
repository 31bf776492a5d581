#!/usr/bin/env python3
"""Reuses translations after lupdate has moved texts between contexts.

When a text moves to another class, lupdate marks the old entry vanished and
adds an untranslated one under the new class. For every message that has no
translation (or only lupdate's unreviewed guess of exactly that translation)
this copies the translation of a finished message with the same
source text (from any context, vanished ones included).

A vanished message is dropped only when its text has moved: its class still
has live texts and the same text lives on elsewhere with the same
translation. Everything else is kept, so that a translation comes back when
its text returns. That includes the texts of classes not written yet (every
message of such a class is vanished), which are translated ahead of time.

Usage: fill_translations.py FILE.ts...
"""
import copy
import sys
import xml.etree.ElementTree as ET


def key(msg):
    comment = msg.findtext('comment') or ''
    return (msg.findtext('source') or '', comment, msg.get('numerus') == 'yes')


def is_live(msg):
    tr = msg.find('translation')
    return tr is not None and tr.get('type') not in ('vanished', 'obsolete')


def render(tr):
    """The translation's text and numerus forms, without its type."""
    return (tr.text or '', tuple(f.text or '' for f in tr.findall('numerusform')))


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
    for msg in root.iter('message'):
        tr = msg.find('translation')
        if tr is None or tr.get('type') in ('vanished', 'obsolete'):
            continue
        if tr.get('type') != 'unfinished' or key(msg) not in known:
            continue
        src = known[key(msg)]
        # lupdate's own same-text guess arrives unfinished; an exact match of
        # a finished translation needs no second review.
        guessed = len(tr) == 0 and len(src) == 0 and tr.text == src.text
        if not (tr.text or len(tr)) or guessed:
            tr.text = src.text
            for child in list(src):
                tr.append(copy.deepcopy(child))
            del tr.attrib['type']
            filled += 1
    # What each live text now translates to, once the gaps above are filled.
    live_tr = {}
    for msg in root.iter('message'):
        tr = msg.find('translation')
        if tr is None or tr.get('type') in ('vanished', 'obsolete', 'unfinished'):
            continue
        live_tr.setdefault(key(msg), set()).add(render(tr))
    dropped = 0
    for ctx in list(root.iter('context')):
        messages = ctx.findall('message')
        class_live = any(is_live(m) for m in messages)
        for msg in messages:
            tr = msg.find('translation')
            if (class_live and not is_live(msg) and tr is not None
                    and render(tr) in live_tr.get(key(msg), ())):
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
