#!/usr/bin/python3
"""Tests of kestrovan-plot and of the arena checker's --json output, on small
arenas, new-best files, trajectory CSVs and result folders written here.

Environment: KESTROVAN_PLOT (the built program) and KESTROVAN_ARENA (the
checker)."""

import json
import os
import struct
import subprocess
import sys
import tempfile
import types
import unittest
import xml.etree.ElementTree as ElementTree

PLOT = os.environ["KESTROVAN_PLOT"]
CHECKER = os.environ["KESTROVAN_ARENA"]


def load_plot_module():
    # the program has no .py suffix: run its source as a module of its own
    module = types.ModuleType("kestrovan_plot")
    module.__file__ = PLOT
    sys.modules["kestrovan_plot"] = module
    with open(PLOT, encoding="utf-8") as source:
        exec(compile(source.read(), PLOT, "exec"), module.__dict__)
    return module


plot = load_plot_module()

# A floor 2 m by 1 m centred on (0.5, 0.25) in a dark blue that nothing else
# takes, a wall turned by 90 degrees beyond its east edge, a sofa turned by 90, two moving
# cylinders (one a drink can), an immovable post and a drawn-only can.
ARENA = """\
object Ground: TBasicFloor
  Position = 0.5 0.25 0
  Width = 2
  Length = 1
  RGBColor = 20 30 120
end
object East: TWall
  Position = 1.6 0.25 0.1
  Length = 1
  Thickness = 0.1
  Height = 0.2
  Angle = 90
end
object Couch: TStandardSofa
  Position = -0.2 0.4 0
  Length = 0.4
  Width = 0.2
  ArmRestWidth = 0.05
  MaterialThickness = 0.02
  Angle = 90
end
object Red: TCylinderZ
  Position = 0.3 0 0
  Radius = 0.04
  Mass = 0.2
  RGBColor = 220 40 40
end
object Post: TCylinderZ
  Position = -0.3 -0.1 0
  Radius = 0.03
end
object Cola: TSoftDrinkCanZ
  Position = 0.9 0.5 0
  Radius = 0.03
  Mass = 0.1
  RGBColor = 30 160 60
end
object Deco: TSoftDrinkCan
  Position = 1.2 -0.1 0
  Radius = 0.02
end
"""

# the robot's last position in the files below
END = (1.2, 0.6)


def new_best_text(steps=50, cylinders=3):
    """A new-best file: a one-state brain, the robot on a straight line from
    (0, 0) to END, cylinders standing still, lines ending in CR LF."""
    lines = ["(*", "FSM: ", "tauL = 0.100, tauR = 0.200, s[7] = 0.300, s[8] = 0.400, s[9] = 0.500, s[10] = 0.600",
             "*)", " ", "Robotpos = {"]
    for i in range(1, steps + 1):
        lines.append("{%.3f, %.3f}" % (END[0] * i / steps, END[1] * i / steps))
    lines.append("")
    row = [0.3, 0.0, -0.3, -0.1, 0.9, 0.5][: 2 * cylinders]
    for i in range(steps):
        lines.append("{" + ",".join("%.3f" % v for v in row) + "}," if row else "{")
    return "\r\n".join(lines) + "\r\n"


def csv_text(steps=40):
    lines = ["step,time,robot_x,robot_y,robot_heading,cylinder1_x,cylinder1_y,cylinder2_x,cylinder2_y,"
             "cylinder3_x,cylinder3_y"]
    for i in range(steps + 1):
        f = i / steps
        lines.append(f"{i},{i * 0.01:.2f},{END[0] * f},{END[1] * f},0.46,{0.3 + 0.2 * f},0,-0.3,-0.1,0.9,0.5")
    return "\n".join(lines) + "\n"


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", newline="") as f:
        f.write(text)


def run(*args):
    return subprocess.run([PLOT, *args, "--checker", CHECKER] if args and args[0] == "trajectory" else [PLOT, *args],
                          capture_output=True, text=True, check=False)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise AssertionError(f"{path} is not a PNG file")
    return struct.unpack(">II", head[16:24])


def svg_root(path):
    root = ElementTree.parse(path).getroot()
    if not root.tag.endswith("svg"):
        raise AssertionError(f"{path} is not an SVG file")
    return root


def svg_texts(root):
    return [t.text or "" for t in root.iter() if t.tag.endswith("text")]


class Scratch(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory(prefix="kestrovan-plot-test")
        self.dir = self.scratch.name

    def tearDown(self):
        self.scratch.cleanup()

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def assertFails(self, result, *fragments, status=1):
        self.assertEqual(result.returncode, status, result.stderr)
        self.assertNotIn("Traceback", result.stderr)
        for fragment in fragments:
            self.assertIn(fragment, result.stderr)


class CheckerJson(Scratch):
    """kestrovan-arena --json: what the model holds and the outlines drawn from it."""

    def geometry(self):
        write(self.path("arena.txt"), ARENA)
        result = subprocess.run([CHECKER, "--json", self.path("arena.txt")], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        return json.loads(result.stdout)

    def test_objects_in_file_order_with_lines_classes_and_roles(self):
        arena = self.geometry()
        objects = arena["objects"]
        self.assertEqual([o["name"] for o in objects], ["Ground", "East", "Couch", "Red", "Post", "Cola", "Deco"])
        self.assertEqual([o["line"] for o in objects], [1, 7, 14, 22, 28, 32, 38])
        self.assertEqual([o["role"] for o in objects],
                         ["floor", "wall", "furniture", "cylinder", "cylinder", "cylinder", "furniture"])
        self.assertEqual(objects[5]["class"], "TSoftDrinkCanZ")
        self.assertEqual(objects[0]["color"], [20, 30, 120])
        self.assertEqual(arena["floor"], {"name": "Ground", "x_min": -0.5, "x_max": 1.5, "y_min": -0.25,
                                          "y_max": 0.75})

    def test_cylinders_in_trajectory_order_with_mass_rule(self):
        cylinders = self.geometry()["cylinders"]
        self.assertEqual([(c["name"], c["index"], c["immovable"]) for c in cylinders],
                         [("Red", 4, False), ("Post", 5, True), ("Cola", 6, False)])
        self.assertEqual(cylinders[2]["radius"], 0.03)
        self.assertEqual(cylinders[0]["position"], [0.3, 0.0])

    def test_outlines_turn_counter_clockwise_from_above(self):
        objects = self.geometry()["objects"]
        # the wall's length runs along y after a turn of 90 degrees
        wall = objects[1]["outline"][0]
        self.assertEqual(wall["type"], "polygon")
        xs = [p[0] for p in wall["points"]]
        ys = [p[1] for p in wall["points"]]
        self.assertAlmostEqual(min(xs), 1.55)
        self.assertAlmostEqual(max(xs), 1.65)
        self.assertAlmostEqual(min(ys), -0.25)
        self.assertAlmostEqual(max(ys), 0.75)
        # the sofa's backrest (its own -y side) lies at +x after a quarter
        # turn counter-clockwise; the arm rests lengthen it along y
        sofa = objects[2]["outline"][0]
        xs = [p[0] for p in sofa["points"]]
        ys = [p[1] for p in sofa["points"]]
        self.assertAlmostEqual(min(xs), -0.3)
        self.assertAlmostEqual(max(xs), -0.08)
        self.assertAlmostEqual(min(ys), 0.15)
        self.assertAlmostEqual(max(ys), 0.65)
        self.assertEqual(objects[6]["outline"], [{"type": "circle", "center": [1.2, -0.1], "radius": 0.02}])

    def test_findings_and_refusals(self):
        # the immovable post overlapping the robot's start is a warning in the document
        write(self.path("near.txt"), "object P: TCylinderZ\n  Position = 0.02 0 0\n  Radius = 0.03\nend\n")
        result = subprocess.run([CHECKER, "--json", self.path("near.txt")], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        warnings = json.loads(result.stdout)["warnings"]
        self.assertTrue(any(w["line"] == 1 and "overlaps" in w["message"] for w in warnings), warnings)
        # a file that does not load: located error, no document
        write(self.path("broken.txt"), "object A: TCylinderZ\n  Radius = 0.2x\nend\n")
        result = subprocess.run([CHECKER, "--json", self.path("broken.txt")], capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, "")
        self.assertIn("broken.txt:2:", result.stderr)
        # names are bytes of the file: those that are not UTF-8 become U+FFFD, the document stays JSON
        with open(self.path("latin1.txt"), "wb") as f:
            f.write(b"object Caf\xe9: TCylinderZ\n  Position = 1 1 0\n  Radius = 0.1\nend\n")
        result = subprocess.run([CHECKER, "--json", self.path("latin1.txt")], capture_output=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(json.loads(result.stdout.decode("utf-8"))["cylinders"][0]["name"], "Caf\ufffd")
        # one document per call
        result = subprocess.run([CHECKER, "--json", self.path("near.txt"), self.path("near.txt")],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 2)
        self.assertIn("--json takes exactly one FILE", result.stderr)


class Readers(Scratch):
    """The trajectory readers and the result-folder reader, in process."""

    def test_new_best_file(self):
        trajectory = plot.parse_new_best_file(new_best_text(steps=4), "57.txt")
        self.assertEqual(trajectory.robot_x, [0.3, 0.6, 0.9, 1.2])
        self.assertEqual(trajectory.robot_y, [0.15, 0.3, 0.45, 0.6])
        self.assertEqual(len(trajectory.cylinders), 3)
        self.assertEqual(trajectory.cylinders[2], ([0.9] * 4, [0.5] * 4))
        # no cylinders: rows of "{" alone
        empty = plot.parse_new_best_file(new_best_text(steps=3, cylinders=0), "1.txt")
        self.assertEqual((len(empty.robot_x), empty.cylinders), (3, []))

    def test_new_best_file_faults_name_the_line(self):
        cases = [
            (new_best_text(steps=4).replace("{0.600, 0.300}", "{0.600; 0.300}"), "57.txt:8:"),
            (new_best_text(steps=4).replace("{0.900, 0.450}", "{0.900, x}"), "57.txt:9: robot y: 'x'"),
            (new_best_text(steps=4).replace("(*", "(*", 1).replace("Robotpos = {", "Robot = {"), "no 'Robotpos"),
            (new_best_text(steps=4).rsplit("\r\n", 2)[0] + "\r\n", "3 cylinder rows for 4 robot positions"),
            (new_best_text(steps=4).replace("-0.300,-0.100,0.900,0.500},", "-0.300,-0.100,0.900},", 1),
             "57.txt:12: 5 cylinder values"),
        ]
        for text, message in cases:
            with self.subTest(message=message):
                with self.assertRaises(plot.PlotError) as caught:
                    plot.parse_new_best_file(text, "57.txt")
                self.assertIn(message, str(caught.exception))

    def test_damaged_inputs_give_plot_errors_only(self):
        # random bytes changed, lines cut: a located error or a reading, never another exception
        import random
        generator = random.Random(15)
        for name, text, reader in (("57.txt", new_best_text(steps=6), plot.parse_new_best_file),
                                   ("t.csv", csv_text(steps=6), plot.parse_trajectory_csv)):
            for _ in range(300):
                damaged = list(text)
                for _ in range(generator.randint(1, 4)):
                    damaged[generator.randrange(len(damaged))] = generator.choice("{},.-x \r\n0e\"")
                damaged = "".join(damaged)[: generator.randint(0, len(text))]
                try:
                    reader(damaged, name)
                except plot.PlotError as e:
                    self.assertTrue(str(e).startswith(name), str(e))

    def test_path_broken_where_the_robot_wraps_around(self):
        floor = {"name": "G", "x_min": -1.0, "x_max": 1.0, "y_min": -0.5, "y_max": 0.5}
        # across x, then across y; a gap is NaN
        xs, ys = plot.break_wraps([0.9, 0.99, -0.99, -0.9], [0.0, 0.4, 0.4, -0.49], floor)
        gaps = lambda values: [v if v == v else None for v in values]
        self.assertEqual(gaps(xs), [0.9, 0.99, None, -0.99, None, -0.9])
        self.assertEqual(gaps(ys), [0.0, 0.4, None, 0.4, None, -0.49])
        # small steps and an arena without a floor: one line
        self.assertEqual(plot.break_wraps([0, 0.4, 0.8], [0, 0.2, 0.4], floor), ([0, 0.4, 0.8], [0, 0.2, 0.4]))
        self.assertEqual(plot.break_wraps([0.99, -0.99], [0, 0], None), ([0.99, -0.99], [0, 0]))

    def test_trajectory_csv(self):
        trajectory = plot.parse_trajectory_csv(csv_text(steps=4), "t.csv")
        self.assertEqual(len(trajectory.robot_x), 5)
        self.assertEqual((trajectory.robot_x[-1], trajectory.robot_y[-1]), END)
        self.assertEqual([round(x, 9) for x in trajectory.cylinders[0][0]], [0.3, 0.35, 0.4, 0.45, 0.5])
        cases = [
            (csv_text(4).replace("step,time", "step,tim"), "t.csv:1: the header"),
            (csv_text(4).replace("cylinder2_x", "cylinder3_x", 1), "t.csv:1: column 8 should be cylinder2_x"),
            (csv_text(4).replace("\n2,", "\n2,0.02,nan,", 1), "t.csv:4:"),
            (csv_text(4).replace(",0.46,", ",0.4.6,", 1), "t.csv:2: robot_heading: '0.4.6'"),
            (csv_text(4).split("\n", 1)[0] + "\n", "t.csv: no steps"),
        ]
        for text, message in cases:
            with self.subTest(message=message):
                with self.assertRaises(plot.PlotError) as caught:
                    plot.parse_trajectory_csv(text, "t.csv")
                self.assertIn(message, str(caught.exception))

    def test_runs_group_by_settings_whatever_the_seed(self):
        # the manifests' experiment hashes differ with the seeds; the settings do not
        make_run(self.path("a1"), "1" * 64, "a.toml", [1, 2, 3], population=10, seed=1)
        make_run(self.path("a2"), "2" * 64, "a.toml", [2, 3, 5], population=10, seed=2)
        make_run(self.path("c1"), "3" * 64, "dir/a.toml", [1, 1, 1], population=20, seed=1)
        # without experiment.toml: the manifest's hash
        make_run(self.path("b1"), "b" * 64, None, [1, 1, 1])
        make_run(self.path("b2"), "b" * 64, None, [1, 1, 1])
        runs = [plot.read_run(self.path(name)) for name in ("a1", "b1", "a2", "c1", "b2")]
        groups = plot.group_runs(runs)
        self.assertEqual([[os.path.basename(r.folder) for r in members] for _, members in groups],
                         [["a1", "a2"], ["b1", "b2"], ["c1"]])
        a, b, c = (label for label, _ in groups)
        self.assertEqual(b, "experiment bbbbbbbb")
        # two experiment files of one name: told apart by the hash of their settings
        self.assertRegex(a, r"^a \([0-9a-f]{8}\)$")
        self.assertRegex(c, r"^a \([0-9a-f]{8}\)$")
        self.assertNotEqual(a, c)

    def test_median_and_quartiles_per_generation(self):
        generations, median, low, high = plot.percentiles([[1, 10], [2, 20], [3], [4], [5]])
        self.assertEqual(generations, [1, 2])
        self.assertEqual((median[0], low[0], high[0]), (3, 2, 4))
        # the second generation over the two runs that reached it
        self.assertEqual((median[1], low[1], high[1]), (15, 12.5, 17.5))

    def test_result_folder_faults(self):
        make_run(self.path("r"), "a" * 64, None, [1, 2])
        with open(self.path("r", "generations.csv"), "a") as f:
            f.write("4,1,1,0,30,0.5\n")
        with self.assertRaises(plot.PlotError) as caught:
            plot.read_run(self.path("r"))
        self.assertIn("generations.csv:4: generation 4, expected 3", str(caught.exception))
        write(self.path("m", "generations.csv"), "generation,max_fitness,avg_fitness\n1,2,1\n")
        write(self.path("m", "manifest.json"), '{\n  "experiment_sha256": \n}\n')
        with self.assertRaises(plot.PlotError) as caught:
            plot.read_run(self.path("m"))
        self.assertIn("manifest.json:3: not JSON", str(caught.exception))
        make_run(self.path("e"), "a" * 64, None, [1], population=4)
        with open(self.path("e", "experiment.toml"), "a") as f:
            f.write("when = 2026-12-09\n[run\n")
        with self.assertRaises(plot.PlotError) as caught:
            plot.read_run(self.path("e"))
        self.assertIn("experiment.toml: not an experiment file", str(caught.exception))


def make_run(folder, sha, experiment, maxima, population=None, seed=1):
    """A result folder; with a population, also its experiment.toml (seeds
    differ, settings by the population) and the arena's hash."""
    rows = "".join(f"{g},{m},{m / 2},0,{10 * g},{g * 0.1:.3f}\n" for g, m in enumerate(maxima, start=1))
    write(os.path.join(folder, "generations.csv"),
          "generation,max_fitness,avg_fitness,min_fitness,evaluations,seconds\n" + rows)
    command = f"kestrovan-batch --seed {seed}" + (f" --experiment {experiment}" if experiment else "")
    manifest = {"program": "kestrovan", "command_line": command, "experiment_sha256": sha}
    if population:
        manifest["arena_sha256"] = "d" * 64
        write(os.path.join(folder, "experiment.toml"),
              f'[arena]\nfile = "arena.txt"\n\n[evolution]\npopulation_size = {population}\n\n'
              f'[run]\nseed = {seed}\ngenerations = {len(maxima)}\n')
    write(os.path.join(folder, "manifest.json"), json.dumps(manifest, indent=2))


class TrajectoryPictures(Scratch):
    """kestrovan-plot trajectory, end to end."""

    def test_end_point_lands_at_its_pixel_to_scale(self):
        import matplotlib.pyplot
        import numpy
        write(self.path("run", "arena.txt"), ARENA)
        write(self.path("run", "57.txt"), new_best_text())
        out = self.path("t.png")
        result = run("trajectory", self.path("run", "57.txt"), "--out", out, "--size", "640x480")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(png_size(out), (640, 480))

        image = (matplotlib.pyplot.imread(out)[:, :, :3] * 255).round().astype(int)
        # the floor: the most frequent colour but white; its extent gives the axes' scale
        colours, counts = numpy.unique(image.reshape(-1, 3), axis=0, return_counts=True)
        order = numpy.argsort(-counts)
        floor = next(colours[i] for i in order if tuple(colours[i]) != (255, 255, 255))
        # the rows and columns that cross the floor, not the legend's small sample of it
        mask = (image == floor).all(axis=2)
        rows = numpy.nonzero(mask.sum(axis=1) > 0.3 * mask.sum(axis=1).max())[0]
        columns = numpy.nonzero(mask.sum(axis=0) > 0.3 * mask.sum(axis=0).max())[0]
        left, right, top, bottom = columns.min(), columns.max() + 1, rows.min(), rows.max() + 1
        # 2 m by 1 m, to scale
        self.assertAlmostEqual((right - left) / (bottom - top), 2.0, delta=0.05)
        # the robot's end: the centre of its circle in the end colour, within
        # the floor (the legend has a sample of it too)
        end = numpy.array([int(plot.ROBOT_END_COLOUR[i:i + 2], 16) for i in (1, 3, 5)])
        rows, columns = numpy.nonzero((numpy.abs(image[top:bottom, left:right] - end) <= 2).all(axis=2))
        rows, columns = rows + top, columns + left
        self.assertGreater(len(rows), 20)
        expected_column = left + (END[0] - -0.5) / 2.0 * (right - left)
        expected_row = top + (0.75 - END[1]) / 1.0 * (bottom - top)
        self.assertAlmostEqual(columns.mean() + 0.5, expected_column, delta=3)
        self.assertAlmostEqual(rows.mean() + 0.5, expected_row, delta=3)

    def test_csv_to_svg_with_arena_option_and_legend(self):
        write(self.path("arena-a.txt"), ARENA)
        write(self.path("replay.csv"), csv_text())
        out = self.path("t.svg")
        result = run("trajectory", self.path("replay.csv"), "--arena", self.path("arena-a.txt"), "--out", out,
                     "--size", "500x400")
        self.assertEqual(result.returncode, 0, result.stderr)
        root = svg_root(out)
        self.assertEqual((root.get("width"), root.get("height")), ("360pt", "288pt"))
        texts = svg_texts(root)
        for label in ("robot path", "robot at end", "Red: path, at end", "Post (immovable)", "Cola: path, at end"):
            self.assertIn(label, texts)

    def test_user_errors_are_one_line_without_traceback(self):
        write(self.path("run", "57.txt"), new_best_text())
        write(self.path("run", "bad.txt"), new_best_text().replace("{0.048, 0.024}", "{0.048, 0.0x4}"))
        write(self.path("run", "two.txt"), new_best_text(cylinders=2))
        write(self.path("lonely", "1.txt"), new_best_text())
        write(self.path("broken.txt"), "object A: TWall\n  Length = 1\n  Angle = ninety\nend\n")
        cases = [
            (("trajectory", self.path("missing.txt")), 1, ["missing.txt: cannot read"]),
            (("trajectory", self.path("lonely", "1.txt")), 1, ["arena.txt: no arena beside", "--arena"]),
            (("trajectory", self.path("run", "57.txt"), "--arena", self.path("broken.txt")), 1, ["broken.txt:3:"]),
            (("trajectory", self.path("run", "bad.txt")), 1,
             ["bad.txt:8: robot y: '0.0x4'"]),
            (("trajectory", self.path("run", "57.txt"), "--out", self.path("t.jpg")), 1, ["must end in .png or .svg"]),
            (("trajectory", self.path("run", "57.txt"), "--size", "12x40000"), 2, ["from 16 to 10000 pixels"]),
            (("fitness", self.path("run")), 1, ["generations.csv: missing"]),
            (("fitness",), 2, ["DIR"]),
        ]
        write(self.path("run", "arena.txt"), ARENA)
        cases.append((("trajectory", self.path("run", "two.txt")), 1,
                      ["the trajectory has 2 cylinders, the arena", "has 3"]))
        for args, status, fragments in cases:
            with self.subTest(args=args[1:]):
                self.assertFails(run(*args), *fragments, status=status)


class FitnessPictures(Scratch):
    """kestrovan-plot fitness, end to end."""

    def test_one_folder_png(self):
        make_run(self.path("r1"), "a" * 64, None, [0.1, 0.4, 0.4, 0.9])
        out = self.path("f.png")
        result = run("fitness", self.path("r1"), "--out", out, "--size", "700x420")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(png_size(out), (700, 420))

    def test_two_experiments_two_groups_in_the_legend(self):
        folders = []
        for i, maxima in enumerate(([1, 2, 3], [1, 3, 4], [2, 2, 5])):
            make_run(self.path(f"a{i}"), f"a{i}" * 32, "experiments/wide.toml", maxima, population=50, seed=i)
            make_run(self.path(f"b{i}"), f"b{i}" * 32, "narrow.toml", [m / 2 for m in maxima], population=5, seed=i)
            folders += [self.path(f"a{i}"), self.path(f"b{i}")]
        out = self.path("f.svg")
        result = run("fitness", *folders, "--out", out)
        self.assertEqual(result.returncode, 0, result.stderr)
        root = svg_root(out)
        self.assertEqual((root.get("width"), root.get("height")), ("648pt", "432pt"))
        legend = [t for t in svg_texts(root) if "median of" in t]
        self.assertEqual(sorted(legend), ["narrow: average, median of 3 runs", "narrow: maximum, median of 3 runs",
                                          "wide: average, median of 3 runs", "wide: maximum, median of 3 runs"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
