"""Runs the command-line cases of cases.txt against hopscope-replay.

usage: cases.py REPLAY-BINARY SOURCE-DIR
Every case runs with a time limit, so that a read that would block forever (a FIFO, a
device) fails the case instead of hanging the suite.
"""

import os
import re
import subprocess
import sys
import tempfile
import threading

LIMIT_S = 120


def parse(path):
    cases = []
    with open(path) as f:
        for line in f:
            line = line.rstrip('\n')
            if not line.strip() or line.lstrip().startswith('#'):
                continue
            fields = [x.strip(' ') for x in line.split('|')]
            if len(fields) != 6:
                raise SystemExit('cases.txt: bad line: ' + line)
            cases.append(fields)
    return cases


def without_adapter_name(dump):
    return re.sub(r'^network\t[^\t]*\t', 'network\t*\t', dump, flags=re.M)


def main():
    replay, source = sys.argv[1], sys.argv[2]
    here = os.path.dirname(os.path.abspath(__file__))
    demo = os.path.join(source, 'data', 'demo.pcap')
    tmp = tempfile.mkdtemp(prefix='hopscope-replay-cases-')
    big = os.path.join(tmp, 'big')
    with open(big, 'wb') as f:
        f.truncate(65 << 20)  # sparse: no disk used
    reference = subprocess.run([replay, '--dump', demo], capture_output=True, text=True, timeout=LIMIT_S).stdout
    map_built = 'built without' not in subprocess.run([replay, '--map', os.path.join(tmp, 'x.png'), demo],
                                                      capture_output=True, text=True, timeout=LIMIT_S).stderr
    failures = 0
    for n, (name, stdin, status, stdout, said, args) in enumerate(parse(os.path.join(here, 'cases.txt'))):
        if name.startswith('map-') and not map_built:
            print('skip %s: built without --map' % name)
            continue
        fifo = os.path.join(tmp, 'fifo%d' % n)
        os.mkfifo(fifo)
        words = {'demo': demo, 'pdl': os.path.join(source, 'data', 'protocol.pdl'), 'fifo': fifo,
                 'zero': '/dev/zero', 'big': big, 'tmp': tmp, 'data': os.path.join(here, 'data'), 'src': source}
        fill = lambda text: re.sub(r'\{(\w+)\}', lambda m: words[m.group(1)], text)
        argv = [replay] + [fill(a) for a in args.split()]
        said = fill(said).replace('\\t', '\t')
        feeder = None
        if stdin in ('fifo', 'junk'):
            def feed(what=stdin):
                with open(fifo, 'wb') as out:
                    try:
                        out.write(open(demo, 'rb').read() if what == 'fifo' else b'not a capture at all\n' * 100)
                    except BrokenPipeError:
                        pass
            feeder = threading.Thread(target=feed, daemon=True)
            feeder.start()
        problems = []
        try:
            with open(demo, 'rb') if stdin == 'demo' else open(os.devnull, 'rb') as inp:
                r = subprocess.run(argv, stdin=inp, capture_output=True, text=True, timeout=LIMIT_S)
        except subprocess.TimeoutExpired:
            problems.append('did not end within %d s (blocked?)' % LIMIT_S)
            r = None
        if feeder and r is not None and feeder.is_alive():
            # The tool ended without opening the FIFO: let the writer go.
            try:
                os.close(os.open(fifo, os.O_RDONLY | os.O_NONBLOCK))
            except OSError:
                pass
        if r is not None:
            if str(r.returncode) != status:
                problems.append('exit status %d, wanted %s' % (r.returncode, status))
            if said != '-' and r.stderr.count(said) != 1:
                problems.append('standard error holds %r %d times, wanted once' % (said, r.stderr.count(said)))
            for doubled in ('hopscope-replay: Hopscope', 'hopscope-replay: hopscope-replay'):
                if doubled in r.stderr:
                    problems.append('a doubled prefix on standard error: %r' % doubled)
            if stdout == 'empty' and r.stdout:
                problems.append('standard output not empty')
            if stdout == 'dump' and without_adapter_name(r.stdout) != without_adapter_name(reference):
                problems.append('standard output is not the dump of the capture')
            if stdout == 'alarms' and any(not re.match(r'^\d+\.\d{6}\t', l) for l in r.stdout.splitlines()):
                problems.append('standard output holds more than alarm lines')
        if problems:
            failures += 1
            print('FAIL %s: %s' % (name, '; '.join(problems)))
            if r is not None:
                print('  command: %s\n  stderr: %s' % (' '.join(argv), r.stderr.strip()[:2000]))
        else:
            print('ok   %s' % name)
    if not reference.startswith('network\t'):
        failures += 1
        print('FAIL the reference dump of the demo capture is empty')
    print('%d failures' % failures)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
