#!/usr/bin/env python3
"""Page counts of Document Layout against the counts the corpus lists (../shared/corpus/SOURCES.md).

Usage: python3 bench/document_layout_pages.py [build/lectorin] [../shared/corpus] [-v]
Prints how many .doc, .docx, .odt and .rtf documents land within 5 % or one page, whichever is larger, and
lists the others (every document with -v).
"""
import json
import os
import re
import subprocess
import sys

args = [a for a in sys.argv[1:] if a != '-v']
verbose = '-v' in sys.argv
lectorin = args[0] if args else 'build/lectorin'
corpus = args[1] if len(args) > 1 else os.path.join(os.path.dirname(__file__), '..', '..', 'shared', 'corpus')

expected = []
for line in open(os.path.join(corpus, 'SOURCES.md'), encoding='utf-8'):
    cells = [c.strip() for c in line.split('|')]
    if len(cells) < 6 or not re.search(r'\.(doc|docx|odt|rtf)$', cells[1]):
        continue
    pages = re.match(r'(\d+)', cells[5])
    if pages:
        expected.append((cells[1], int(pages.group(1))))

within, counted, report = 0, 0, []
for name, theirs in expected:
    run = subprocess.run([lectorin, 'info', os.path.join(corpus, name), '--layout', 'document'],
                         capture_output=True, text=True, timeout=300)
    line = run.stdout.strip().splitlines()[0] if run.stdout.strip() else ''
    try:
        ours = json.loads(line)['pages']
    except (ValueError, KeyError):
        continue
    counted += 1
    good = abs(ours - theirs) <= max(1, theirs * 0.05)
    within += good
    if verbose or not good:
        report.append(f'{name}: {ours} pages, listed {theirs}')
print(f'{within} of {counted} within 5 % or one page')
print('\n'.join(report))
