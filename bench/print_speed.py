#!/usr/bin/env python3
"""Printing a document to PDF: lectorin print against an office suite's headless converter, side by side.

Usage: python3 bench/print_speed.py [build/lectorin] [DOCUMENT] [--runs N]
DOCUMENT defaults to ../shared/corpus/poi-bug65649.docx. Each run prints with lectorin and then converts
with `soffice --headless --convert-to pdf` (when it is installed), both under /usr/bin/time -v; prints the
median wall time of each, their ratio, lectorin's peak resident memory (MiB) and both page counts.
"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

args = sys.argv[1:]
runs = 3
if '--runs' in args:
    at = args.index('--runs')
    runs = int(args[at + 1])
    del args[at:at + 2]
lectorin = os.path.abspath(args[0] if args else 'build/lectorin')
document = os.path.abspath(args[1] if len(args) > 1 else os.path.join(
    os.path.dirname(__file__), '..', '..', 'shared', 'corpus', 'poi-bug65649.docx'))


def timed(command, cwd):
    """Wall seconds and peak resident memory in KiB of one command, as /usr/bin/time -v reports them."""
    run = subprocess.run(['/usr/bin/time', '-v'] + command, cwd=cwd, capture_output=True, text=True, timeout=600)
    if run.returncode != 0:
        sys.exit('failed: %s\n%s' % (' '.join(command), run.stderr))
    wall = re.search(r'Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (?:(\d+):)?(\d+):([\d.]+)', run.stderr)
    hours, minutes, seconds = wall.groups()
    rss = int(re.search(r'Maximum resident set size \(kbytes\): (\d+)', run.stderr).group(1))
    return (int(hours or 0) * 60 + int(minutes)) * 60 + float(seconds), rss


def pages(pdf):
    info = subprocess.run(['pdfinfo', pdf], capture_output=True, text=True)
    found = re.search(r'Pages:\s+(\d+)', info.stdout)
    return int(found.group(1)) if found else None


soffice = shutil.which('soffice')
ours, theirs, memory = [], [], []
with tempfile.TemporaryDirectory() as folder:
    out = os.path.join(folder, 'lectorin.pdf')
    for _ in range(runs):
        wall, rss = timed([lectorin, 'print', document, '-o', out], folder)
        ours.append(wall)
        memory.append(rss / 1024)
        if soffice:
            wall, _ = timed([soffice, '--headless', '--convert-to', 'pdf', '--outdir', folder, document], folder)
            theirs.append(wall)
    print('document: %s' % os.path.basename(document))
    print('lectorin print: %.3f s (median of %d), peak memory %.1f MiB, %s pages'
          % (statistics.median(ours), runs, max(memory), pages(out)))
    if theirs:
        converted = os.path.join(folder, os.path.splitext(os.path.basename(document))[0] + '.pdf')
        print('soffice --convert-to pdf: %.3f s (median of %d), %s pages'
              % (statistics.median(theirs), runs, pages(converted)))
        print('lectorin is %.1f times as fast' % (statistics.median(theirs) / statistics.median(ours)))
    else:
        print('soffice is not installed: no comparison')
