#!/usr/bin/env python3
"""Whole-process time of the headless commands: what a script or a reader's shell waits for.

Usage: python3 bench/command_startup.py [build/lectorin] [--runs N]
Times `lectorin info` and `lectorin render --pages 1` of a one-page document (pandoc-heading.rtf) and of
the corpus's largest (poi-bug65649.docx), each N times (default 15), and prints the median and the least
wall time in milliseconds, the peak resident memory, and the ratio of the large document's first page to
the one-page document's, and how many shared libraries the program links.
"""
import argparse
import os
import statistics
import subprocess
import tempfile
import time

parser = argparse.ArgumentParser(description='Whole-process time of the headless commands.')
parser.add_argument('lectorin', nargs='?', default='build/lectorin')
parser.add_argument('--runs', type=int, default=15)
options = parser.parse_args()
runs = options.runs
lectorin = os.path.abspath(options.lectorin)
corpus = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'shared', 'corpus')
small = os.path.join(corpus, 'pandoc-heading.rtf')
large = os.path.join(corpus, 'poi-bug65649.docx')
environment = dict(os.environ, LC_PAPER='C', LECTORIN_PAPER='letter')


def timed(command, folder):
    """Wall milliseconds of each run, and the largest peak resident memory (MiB) among them."""
    walls, peak = [], 0
    report = os.path.join(folder, 'time.txt')
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(['/usr/bin/time', '-f', '%M', '-o', report] + command, env=environment,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        walls.append((time.perf_counter() - start) * 1000)
        with open(report) as f:
            peak = max(peak, int(f.read().split()[-1]))
    return walls, peak / 1024


with tempfile.TemporaryDirectory() as folder:
    png = os.path.join(folder, 'page.png')
    rows = {}
    for name, document in (('one-page', small), ('bug65649', large)):
        rows[('info', name)] = timed([lectorin, 'info', document], folder)
        rows[('render', name)] = timed([lectorin, 'render', '--pages', '1', '-o', png, document], folder)
    print('%-8s %-10s %9s %9s %9s' % ('command', 'document', 'median ms', 'least ms', 'peak MiB'))
    for (command, name), (walls, peak) in rows.items():
        print('%-8s %-10s %9.1f %9.1f %9.1f' % (command, name, statistics.median(walls), min(walls), peak))
    ratio = statistics.median(rows[('render', 'bug65649')][0]) / statistics.median(rows[('render', 'one-page')][0])
    print('render --pages 1: bug65649 takes %.2f times the one-page document' % ratio)
    mapped = subprocess.run(['ldd', lectorin], capture_output=True, text=True).stdout.count('=>')
    print('shared libraries the program links (ldd): %d' % mapped)
