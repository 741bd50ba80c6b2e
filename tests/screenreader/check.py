#!/usr/bin/python3
# check.py - judges a harness run of Quarnel under Orca (RUN/steps.tsv) against the key
# file it was run with.  A step (the start, then one per key line) fails when:
#   doubled  Orca and Quarnel said the same words on it.  Words are compared
#            normalised: lower case, split at anything that is not a letter or a digit
#            (so punctuation and spaces are dropped).  The same words are: every word
#            of one of Quarnel's utterances is among the words Orca said on that step
#            (Quarnel's ", 2, Brno, 602 00" against Orca's "2. | Brno. | 602 00."), or
#            every word Orca said on the step is among Quarnel's (Orca's "Databáze."
#            against Quarnel's "Databáze, nabídka").  Orca is taken as a whole because
#            it speaks a row cell by cell: its "3." alone is no repetition of Quarnel's
#            "Ostrava má 3 záznamy".  Orca's key echo ("[key echo] F12") never counts:
#            it names the key, not what the key did.
#   silent   nobody spoke (key echo aside), unless the key's note in the key file is
#            marked [no-change]: every other key changes what is shown or the focus.
#   no Orca  the key's note is marked [orca] and Orca said nothing but the key echo:
#            Orca must be able to read that place itself.
#   missing  the run has fewer steps than the key file (the program or harness stopped
#            early), or its keys are not the key file's.
# It prints the step table (key, Orca said, Quarnel said, what failed) and the reasons,
# and, when RUN/speechd-timeline.txt is there (a --synth-ms run), the speech time.
# Usage: check.py [--synth-ms N] RUN_DIR KEY_FILE     exit 0 passed, 1 failed, 2 unusable
#        check.py --time RUN_DIR                          the speech time only
import argparse
import os
import re
import sys

WORD = re.compile(r"[^\W_]+")
TAG = re.compile(r"^\[([^\]]*)\] ?")
MARK = re.compile(r"\[([a-z-]+)\]")


def words(text):
    return WORD.findall(text.lower())


def key_steps(path):
    """(key, marks) for each step the harness makes of the key file, the start first."""
    steps = [("(start)", set())]
    with open(path, encoding="utf-8") as f:
        for raw in f:
            cut = re.search(r"\s#", raw)
            key = (raw[:cut.start()] if cut else raw).strip()
            note = raw[cut.end():] if cut else ""
            if not key or key.startswith("#") or key in ("!dump", "!shot") or key.startswith("!sleep "):
                continue
            if key.startswith("!type "):
                key = "type:" + key[len("!type "):]
            steps.append((key, set(MARK.findall(note))))
    return steps


def orca_utterances(cell, typing=False):
    """Orca's utterances of a step without its key echo (kept for typed text, where the
    echo of the keys is the answer), tags dropped."""
    said = []
    for item in filter(None, (i.strip() for i in cell.split(" | "))):
        m = TAG.match(item)
        if m and "key echo" in m.group(1) and not typing:
            continue
        said.append(item[m.end():] if m else item)
    return said


def quarnel_utterances(cell):
    """The spoken text of Quarnel's voice log lines (tabs turned into spaces)."""
    said = []
    for item in filter(None, (i.strip() for i in cell.split(" | "))):
        parts = item.split(" ")
        if parts[0] == "Voice":
            said.append(" ".join(parts[3:]))
        elif parts[0] == "FocusVoice":
            # caption, value, then six numbers (windows, role, flags)
            said.append(" ".join(parts[1:-6]))
        else:
            said.append(item)
    return said


def doubled(orca, quarnel):
    """What was said twice: Quarnel's utterances whose words Orca said, or all of Orca's
    words when Quarnel said every one of them."""
    owords = {w for u in orca for w in words(u)}
    qwords = {w for u in quarnel for w in words(u)}
    out = [u for u in quarnel if words(u) and set(words(u)) <= owords]
    if not out and owords and owords <= qwords:
        out = [" ".join(orca)]
    return out


def read_steps(run):
    path = os.path.join(run, "steps.tsv")
    with open(path, encoding="utf-8") as f:
        header = f.readline().rstrip("\n").split("\t")
        rows = []
        for line in f:
            cells = line.rstrip("\n").split("\t")
            rows.append(dict(zip(header, cells + [""] * (len(header) - len(cells)))))
    return rows


def speech_time(run):
    """(seconds, utterances, cut off) of the fake synthesizer's timeline, or None."""
    path = os.path.join(run, "speechd-timeline.txt")
    if not os.path.exists(path):
        return None
    events = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = re.match(r"(\d\d):(\d\d):(\d\d\.\d+) (START|END)\b", line)
            if m:
                t = int(m.group(1)) * 3600 + int(m.group(2)) * 60 + float(m.group(3))
                events.append((t, m.group(4)))
    total, count, cut, start = 0.0, 0, 0, None
    for t, kind in events:
        if kind == "START":
            if start is not None:      # cut off: it ran until the next one started
                total += (t - start) % 86400
                cut += 1
            start, count = t, count + 1
        elif start is not None:
            total += (t - start) % 86400
            start = None
    return total, count, cut


def print_time(timing):
    seconds, count, cut = timing
    print("Speech time through speech-dispatcher: %.1f s in %d utterances (%d cut off)"
          % (seconds, count, cut))


def main():
    ap = argparse.ArgumentParser(description="Judge a harness run of Quarnel under Orca.")
    ap.add_argument("--synth-ms", type=int, default=0,
                    help="the run's fake synthesizer rate, to estimate Quarnel's own speech time")
    ap.add_argument("--time", action="store_true", help="print the speech time only")
    ap.add_argument("run")
    ap.add_argument("keys", nargs="?")
    a = ap.parse_args()
    if a.time:
        timing = speech_time(a.run)
        if not timing:
            print("check.py: no speechd-timeline.txt in %s (run with --synth-ms N)" % a.run)
            return 2
        print_time(timing)
        return 0
    if not a.keys:
        ap.error("the key file is missing")
    try:
        rows = read_steps(a.run)
        expected = key_steps(a.keys)
    except OSError as e:
        print("check.py: cannot read the run: %s" % e)
        return 2

    failures = []
    table = []
    quarnel_chars = 0
    for i, (key, marks) in enumerate(expected):
        if i >= len(rows):
            failures.append("missing: step %d (%s) and on: the run ended after %d of %d steps "
                            "(the program or the harness stopped; see harness.log)"
                            % (i, key, len(rows), len(expected)))
            break
        row = rows[i]
        if row.get("key") != key:
            failures.append("missing: step %d is '%s' in the run but '%s' in the key file"
                            % (i, row.get("key"), key))
            break
        orca = orca_utterances(row.get("orca_said", ""), typing=key.startswith("type:"))
        quarnel = quarnel_utterances(row.get("program_said", ""))
        quarnel_chars += sum(len(u) for u in quarnel)
        flags = []
        both = doubled(orca, quarnel)
        if both:
            flags.append("doubled")
            failures.append("doubled: step %d (%s): both said %s" % (
                i, key, " / ".join("'%s'" % u for u in both)))
        if not orca and not quarnel and "no-change" not in marks:
            flags.append("silent")
            failures.append("silent: step %d (%s): neither Orca nor Quarnel said anything" % (i, key))
        if "orca" in marks and not orca:
            flags.append("no Orca")
            failures.append("no Orca: step %d (%s): Orca said nothing but the key echo" % (i, key))
        table.append((str(i), key, ", ".join(flags) or "ok", " | ".join(orca) or "—",
                      " | ".join(quarnel) or "—"))

    print("step\tkey\tresult\tOrca said\tQuarnel said")
    for r in table:
        print("\t".join(r))
    timing = speech_time(a.run)
    if timing:
        print_time(timing)
    if a.synth_ms:
        print("Quarnel's own speech (logged, not spoken here): %d characters, about %.1f s at "
              "%d ms a character" % (quarnel_chars, quarnel_chars * a.synth_ms / 1000, a.synth_ms))
    if failures:
        print("FAILED (%d):" % len(failures))
        for f in failures:
            print("  " + f)
        if not any(orca_utterances(r.get("orca_said", "")) for r in rows):
            print("  Orca read nothing of the program at all: is its accessibility on?")
        return 1
    print("PASSED: nothing doubled, nothing silent, Orca read every place it must.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
