#!/usr/bin/python3
# The screen reader test's judge (check.py) and its skips (orca-test.sh), on recorded
# and hand-made runs: no Orca needed.  fixtures/today is a real run of the program as it
# spoke before it knew of screen readers; fixtures/mended is what a run should look like.
import fcntl
import os
import re
import shutil
import subprocess
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
KEYS = os.path.join(HERE, "fixtures", "basic.keys")  # the keys the fixtures were recorded with
FIXTURES = os.path.join(HERE, "fixtures")


def check(run, *options):
    p = subprocess.run(["/usr/bin/python3", os.path.join(HERE, "check.py"), *options, run, KEYS],
                       capture_output=True, text=True, timeout=60)
    return p.returncode, p.stdout


def failures(out):
    """(kind, step) of every reason the judge gave."""
    return {(m.group(1), int(m.group(2)))
            for m in re.finditer(r"^  (doubled|silent|no Orca|missing): step (\d+)", out, re.M)}


class Run:
    """A copy of the mended run whose steps a test changes."""

    def __init__(self, test):
        self.dir = tempfile.mkdtemp()
        test.addCleanup(shutil.rmtree, self.dir)
        with open(os.path.join(FIXTURES, "mended", "steps.tsv"), encoding="utf-8") as f:
            self.header = f.readline()
            self.rows = [line.rstrip("\n").split("\t") for line in f]

    def set(self, step, orca=None, quarnel=None):
        if orca is not None:
            self.rows[step][3] = orca
        if quarnel is not None:
            self.rows[step][4] = quarnel
        return self

    def write(self):
        with open(os.path.join(self.dir, "steps.tsv"), "w", encoding="utf-8") as f:
            f.write(self.header)
            for r in self.rows:
                f.write("\t".join(r) + "\n")
        return self.dir


class Verdicts(unittest.TestCase):
    def test_mended_run_passes(self):
        rc, out = check(os.path.join(FIXTURES, "mended"))
        self.assertEqual(rc, 0, out)
        self.assertIn("PASSED", out)

    def test_todays_run_fails_for_doubled_speech_and_the_unread_form(self):
        rc, out = check(os.path.join(FIXTURES, "today"))
        self.assertEqual(rc, 1, out)
        doubled = {0, 2, 3, 4, 5, 11, 12, 13, 16, 18}
        self.assertEqual(failures(out), {("doubled", s) for s in doubled} |
                         {("no Orca", s) for s in (7, 8, 9)}, out)
        # the table explains it: key, what each side said, the result
        self.assertIn("2\tDown\tdoubled\t2. | Brno. | 602 00. | Jihomoravský.\t, 2, Brno, 602 00, Jihomoravský",
                      out)

    def test_silence_fails_unless_the_key_changes_nothing(self):
        run = Run(self).set(2, orca="", quarnel="")
        run.set(15, orca="[key echo] escape ", quarnel="")  # marked [no-change]
        rc, out = check(run.write())
        self.assertEqual(rc, 1, out)
        self.assertEqual(failures(out), {("silent", 2)}, out)

    def test_key_echo_neither_reads_a_place_nor_doubles(self):
        run = Run(self).set(7, orca="[key echo] F12 ", quarnel="FocusVoice Id 3 65540 65536 0 -1 -1 0")
        run.set(14, quarnel="Voice 2 0 Escape")
        rc, out = check(run.write())
        self.assertEqual(failures(out), {("no Orca", 7)}, out)

    def test_a_character_read_at_the_caret_answers_the_key(self):
        # Orca reads the character it deleted or moved to like an echo, but it is an answer
        run = Run(self).set(2, orca="[key echo] backspace  | [character] a", quarnel="")
        rc, out = check(run.write())
        self.assertEqual((rc, failures(out)), (0, set()), out)

    def test_words_are_compared_without_case_punctuation_and_spacing(self):
        run = Run(self).set(9, orca="PSČ: text. | 702-00", quarnel="FocusVoice psč 702 00 65548 65536 0 -1 -1 0")
        # Orca's whole utterance inside Quarnel's longer one is doubled too
        run.set(11, quarnel="Voice 2 0 Databáze, nabídka, 1 ze 4")
        # a word in common is not yet the same words
        run.set(3, quarnel="Voice 2 0 Ostrava má 3 záznamy navíc")
        rc, out = check(run.write())
        self.assertEqual(failures(out), {("doubled", 9), ("doubled", 11)}, out)

    def test_a_run_that_stopped_early_or_ran_other_keys_fails(self):
        run = Run(self)
        del run.rows[10:]
        rc, out = check(run.write())
        self.assertEqual((rc, failures(out)), (1, {("missing", 10)}), out)
        self.assertIn("ended after 10 of 20 steps", out)
        run = Run(self)
        run.rows[4][1] = "Page_Down"
        rc, out = check(run.write())
        self.assertEqual((rc, failures(out)), (1, {("missing", 4)}), out)


class SpeechTime(unittest.TestCase):
    def test_recorded_run(self):
        rc, out = check(os.path.join(FIXTURES, "today"), "--synth-ms", "5")
        self.assertIn("Speech time through speech-dispatcher: 9.6 s in 56 utterances (0 cut off)", out)
        self.assertIn("Quarnel's own speech (logged, not spoken here): 561 characters, about 2.8 s", out)
        # the same time alone, as for a run where Quarnel spoke through speech-dispatcher too
        p = subprocess.run(["/usr/bin/python3", os.path.join(HERE, "check.py"), "--time",
                            os.path.join(FIXTURES, "today")], capture_output=True, text=True, timeout=60)
        self.assertEqual(p.stdout, "Speech time through speech-dispatcher: 9.6 s in 56 utterances (0 cut off)\n")

    def test_an_utterance_cut_off_lasts_until_the_next_one(self):
        run = Run(self)
        with open(os.path.join(run.dir, "speechd-timeline.txt"), "w", encoding="utf-8") as f:
            f.write("23:59:59.500 START Databáze\n"     # cut off by the next, 1 s
                    "00:00:00.500 START Záznam\n"
                    "00:00:01.000 END   Záznam\n"        # 0.5 s
                    "00:00:02.000 START Konec\n"
                    "00:00:02.250 END   Konec\n")        # 0.25 s
        rc, out = check(run.write())
        self.assertEqual(rc, 0, out)
        self.assertIn("Speech time through speech-dispatcher: 1.8 s in 3 utterances (1 cut off)", out)


class Skips(unittest.TestCase):
    def driver(self, lock, path=None, *args):
        env = dict(os.environ, ORCA_TEST_LOCK=lock, ORCA_TEST_LOCK_WAIT="0")
        if path:
            env["PATH"] = path
        return subprocess.run(["/bin/bash", os.path.join(HERE, "orca-test.sh"), *args],
                              capture_output=True, text=True, timeout=60, env=env)

    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)
        self.lock = os.path.join(self.dir, "lock")
        self.args = ("/nonexistent/quarnel", "/nonexistent/adresar.mdb", os.path.join(self.dir, "run"))

    def test_skipped_while_another_run_holds_the_lock(self):
        with open(self.lock, "w") as held:
            fcntl.flock(held, fcntl.LOCK_EX)
            p = self.driver(self.lock, None, *self.args)
        self.assertEqual(p.returncode, 77, p.stdout + p.stderr)
        self.assertIn("SKIPPED: another screen reader run held", p.stdout)

    def test_skipped_without_orca(self):
        bin_dir = os.path.join(self.dir, "bin")
        os.mkdir(bin_dir)
        for tool in ("dirname", "flock"):
            os.symlink(shutil.which(tool), os.path.join(bin_dir, tool))
        p = self.driver(self.lock, bin_dir, *self.args)
        self.assertEqual(p.returncode, 77, p.stdout + p.stderr)
        self.assertIn("SKIPPED: orca is not installed", p.stdout)

    def test_check_mode_judges_a_recorded_run(self):
        p = self.driver(self.lock, None, "--check", os.path.join(FIXTURES, "mended"), KEYS)
        self.assertEqual(p.returncode, 0, p.stdout + p.stderr)
        p = self.driver(self.lock, None, "--check", os.path.join(FIXTURES, "today"), KEYS)
        self.assertEqual(p.returncode, 1, p.stdout + p.stderr)
        self.assertIn("no Orca: step 7 (F12)", p.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=2)
