#!/usr/bin/python3
"""The shared tone checker against pixels worked out by hand, and its refusal of
an image with one wrong byte. Run by the engine stage before it trusts the checker."""
import os
import sys
import tempfile
import unittest

import numpy as np
from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tonecheck  # noqa: E402


def image(pixels):
    return np.array(pixels, dtype=np.uint8)


class ToneRule(unittest.TestCase):
    def test_integer_mean_of_the_input_and_the_tone(self):
        before = image([[[10, 20, 30], [0, 0, 0], [255, 255, 255], [1, 1, 1]]])
        got = tonecheck.tone_rule(before, (0, 255, 255), (True, True, True))
        # Each channel sums the input's three values, never an already toned one.
        self.assertEqual(got.tolist(), [[[15, 78, 78], [0, 63, 63], [191, 255, 255], [0, 64, 64]]])

    def test_disabled_channels_fourth_plane_and_outside_the_rectangle_stay(self):
        before = image([[[8, 8, 8, 9], [4, 4, 4, 0]], [[100, 0, 0, 7], [0, 0, 100, 200]]])
        got = tonecheck.tone_rule(before, (4, 4, 4), (False, True, False), rect=(1, 0, 2, 2))
        self.assertEqual(got.tolist(), [[[8, 8, 8, 9], [4, 4, 4, 0]], [[100, 26, 0, 7], [0, 26, 100, 200]]])

    def test_tones_out_of_range_are_held_to_a_byte(self):
        before = image([[[255, 255, 255]]])
        self.assertEqual(tonecheck.tone_rule(before, (-300, 1000, 255), (1, 1, 1)).tolist(), [[[191, 255, 255]]])

    def test_repeat_tones_the_toned_image_and_floating_skips_transparent_pixels(self):
        before = image([[[40, 0, 0, 255], [40, 0, 0, 0]]])
        got = tonecheck.tone_rule(before, (0, 0, 0), (1, 1, 1), times=2, floating=True)
        # First pass: 10,10,10; second: (30 + 0) // 4 = 7.
        self.assertEqual(got.tolist(), [[[7, 7, 7, 255], [40, 0, 0, 0]]])

    def test_an_empty_rectangle_changes_nothing(self):
        before = image([[[1, 2, 3], [4, 5, 6]]])
        self.assertEqual(tonecheck.tone_rule(before, (9, 9, 9), (1, 1, 1), rect=(0, 1, 0, 2)).tolist(),
                         before.tolist())

    def test_records_and_parameter_files(self):
        self.assertEqual(tonecheck.record_settings(None), ((0, 0, 0), (False, False, False)))
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "p.state")
            tonecheck.write_state(path, (250, 10, 128), (1, 0, 1))
            self.assertEqual(tonecheck.read_state(path), ((250, 10, 128), (True, False, True)))


class Files(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        rng = np.random.default_rng(7)
        self.before = rng.integers(0, 256, (9, 13, 4), dtype=np.uint8)
        self.paths = {name: os.path.join(self.folder.name, name) for name in ("before.png", "after.png")}
        Image.fromarray(self.before).save(self.paths["before.png"])

    def tearDown(self):
        self.folder.cleanup()

    def check(self, after, rect=(2, 3, 7, 11)):
        Image.fromarray(after).save(self.paths["after.png"])
        return tonecheck.check_rule(self.paths["before.png"], self.paths["after.png"], (30, 77, 220), (1, 0, 1), rect)

    def test_the_rule_passes_and_every_altered_byte_fails(self):
        want = tonecheck.tone_rule(self.before, (30, 77, 220), (1, 0, 1), (2, 3, 7, 11))
        self.assertEqual(self.check(want), [])
        for y, x, k in [(2, 3, 0), (6, 10, 2), (4, 5, 1), (4, 5, 3), (0, 0, 0), (8, 12, 3)]:
            wrong = want.copy()
            wrong[y, x, k] ^= 1
            failures = self.check(wrong)
            self.assertEqual(len(failures), 2, (y, x, k))
            self.assertIn("1 pixels differ", failures[0])
            self.assertIn("pixel (%d, %d) is" % (x, y), failures[1])

    def test_other_sizes_and_unreadable_files_fail(self):
        self.assertIn("expected 13x9x4", self.check(self.before[:, :12].copy())[0])
        self.assertIn("cannot be checked", tonecheck.check_rule(self.paths["before.png"], "/nonexistent.png",
                                                                (0, 0, 0), (1, 1, 1))[0])


if __name__ == "__main__":
    unittest.main()
