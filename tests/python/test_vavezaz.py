"""The Python module against the built driver and simulated cameras.

Camera A sees a flat box 40 mm high (X -70 to 30 mm) on an empty belt under
the laser in every scan; camera B answers the network search but no command.
"""

import gc
import os
import shutil
import subprocess
import sys
import tempfile
import textwrap
import time
import unittest

import numpy

SIMULATION = """<simulation seed="5" notRespondingDelayMs="20" stopTimeoutMs="300">
  <device model="PyRig PR-1" ip="192.168.0.10" mac="02:70:79:00:00:01" lineRate="20000"
          pulsesPerMillimeter="10" pulsesPerScan="5" noise="0.05">
    <sensor columns="256" rows="128" fieldWidth="300" heightRange="150" perspective="0"/>
    <scene beltWidth="300" beltReflectance="0.5" length="400">
      <box x="-20" y="0" width="100" length="400" height="40" reflectance="0.8"/>
    </scene>
  </device>
  <device model="PyRig PR-1" ip="192.168.0.11" mac="02:70:79:00:00:02" unreachable="true"/>
</simulation>
"""
CAMERA_A = "PyRig PR-1 - 010000797002"
CAMERA_B = "PyRig PR-1 - 020000797002"
SCANS = 64
SETTINGS = """[General]
LogLevel=1
[{a}]
NumberOfScans={scans}
BufferSize=4
[{a}.2]
ImageFormat=3D (XYZ)
CalibrationFilter=1
PulsesPerMillimeter=10
[{a}.3]
ImageFormat=3D (XYZCI)
CalibrationFilter=1
PulsesPerMillimeter=10
""".format(a=CAMERA_A, scans=SCANS)

SYSTEM_DIR = tempfile.mkdtemp(prefix="vavezaz-python-")
with open(os.path.join(SYSTEM_DIR, "simulation.xml"), "w") as simulation:
    simulation.write(SIMULATION)
with open(os.path.join(SYSTEM_DIR, "VaveZAZ.ini"), "w") as settings:
    settings.write(SETTINGS)
os.environ["ICONSIM_CONFIG"] = os.path.join(SYSTEM_DIR, "simulation.xml")

import vavezaz  # noqa: E402 - the simulation is named before the driver loads


def tearDownModule():
    shutil.rmtree(SYSTEM_DIR, ignore_errors=True)


class DriverTest(unittest.TestCase):
    def setUp(self):
        self.driver = vavezaz.Driver(SYSTEM_DIR)
        self.addCleanup(self.driver.close)

    def assertBoxCloud(self, cloud):
        self.assertGreater(len(cloud), 1000)
        # MinHeight (1 mm) drops the belt: what is left is the box's top.
        self.assertTrue(numpy.all(cloud["z"] >= 1.0))
        self.assertAlmostEqual(float(numpy.median(cloud["z"])), 40.0, delta=1.5)
        self.assertGreater(float(cloud["x"].min()), -75.0)
        self.assertLess(float(cloud["x"].max()), 35.0)


class GrabTest(DriverTest):
    def test_cameras_are_named_four_times_each(self):
        names = self.driver.cameras()
        self.assertEqual([CAMERA_A + ".%d" % n for n in range(1, 5)], names[:4])
        self.assertEqual(8, len(names))

    def test_grayscale_image_shows_the_box(self):
        with self.driver.open(CAMERA_A + ".1", port=2) as port:
            image = port.grab(timeout=5)
        self.assertEqual(numpy.uint8, image.dtype)
        self.assertEqual((SCANS, 256), image.shape)
        # A pixel is the laser line's sensor row: the belt lies on the last
        # row, the box top 40 mm (about 34 rows) higher.
        belt = numpy.median(image[:, 10:40])
        box = numpy.median(image[:, 80:140])
        self.assertAlmostEqual(127, belt, delta=1)
        self.assertAlmostEqual(127 - 40 * 128 / 150, box, delta=3)

    def test_clouds_hold_the_kept_points_in_their_fields(self):
        for suffix, fields in ((".2", ("x", "y", "z")), (".3", ("x", "y", "z", "c", "i"))):
            with self.subTest(fields=fields), self.driver.open(CAMERA_A + suffix, port=3) as port:
                cloud = port.grab(timeout=5)
                self.assertEqual(fields, cloud.dtype.names)
                self.assertEqual(len(cloud), port.properties["Width"])
                self.assertBoxCloud(cloud)
                # Y is encoder travel within the buffer: 64 scans of 0.5 mm.
                self.assertEqual(0.0, float(cloud["y"].min()))
                self.assertAlmostEqual((SCANS - 1) * 0.5, float(cloud["y"].max()), places=3)

    def test_stream_of_20_clouds_then_continuous_mode_is_off(self):
        port = self.driver.open(CAMERA_A + ".2", port=4)
        with port.stream(queue_size=32, count=20, timeout=5) as stream:
            clouds = list(stream)
        self.assertEqual(20, len(clouds))
        for cloud in clouds:
            self.assertBoxCloud(cloud)
        self.assertEqual(20, stream.taken)
        self.assertRaises(StopIteration, next, stream)
        self.assertEqual(0, port.properties["continuous"])
        port.grab(timeout=5)

    def test_a_slow_reader_loses_the_oldest_copies_and_holds_up_nothing(self):
        port = self.driver.open(CAMERA_A + ".1", port=5)
        with port.stream(queue_size=2, timeout=5) as stream:
            first = next(stream)
            time.sleep(0.3)
            # About 90 buffers came meanwhile: the callback kept copying
            # while the reader slept, and the queue kept the newest two.
            with stream._condition:
                received, dropped, queued = stream.received, stream.dropped, list(stream._queue)
        self.assertGreater(received, 20)
        self.assertEqual(received - 1 - 2, dropped)
        self.assertEqual(2, len(queued))
        self.assertEqual(first.shape, queued[-1].shape)


class PropertiesTest(DriverTest):
    def test_read_write_and_ranges(self):
        port = self.driver.open(CAMERA_A + ".1", port=1)
        props = port.properties
        self.assertEqual(SCANS, props["numberofscans"])
        self.assertEqual(8, props["PixelSize"])
        self.assertEqual((1, 3000), props.range("BufferSize"))
        self.assertIsNone(props.range("Width"))
        props["BufferSize"] = 16
        self.assertEqual(16, props["BufferSize"])
        everything = dict(props)
        self.assertEqual(10, len(everything))
        self.assertEqual(256, everything["Width"])

    def test_refusals_carry_the_drivers_lines(self):
        port = self.driver.open(CAMERA_A + ".1", port=1)
        with self.assertRaises(vavezaz.Error) as refused:
            port.properties["BufferSize"] = -5
        self.assertIn("out of range [1..3000], -5 refused", str(refused.exception))
        self.assertEqual(4, port.properties["BufferSize"])
        with self.assertRaises(KeyError):
            port.properties["NoSuchProperty"]
        self.assertIsNone(port.properties.get("ConfigurationFile"))


class FailureTest(DriverTest):
    def test_a_camera_that_does_not_answer(self):
        self.driver.cameras()
        with self.assertRaises(vavezaz.Error) as failed:
            self.driver.open(CAMERA_B + ".1", port=6)
        text = str(failed.exception)
        self.assertIn("openCVLPort(0, 6, %r, ...) failed" % (CAMERA_B + ".1"), text)
        self.assertIn("Init camera", text)
        self.assertTrue(all(line in text for line in failed.exception.lines))
        # The port is free again and the other camera still works.
        with self.driver.open(CAMERA_A + ".1", port=6) as port:
            port.grab(timeout=5)

    def test_configure_fails_for_an_unknown_camera_and_without_a_display(self):
        # The driver answers "saved" for the first and "cancelled" for the
        # second; only its log line tells them from the user's choice.
        with self.assertRaises(vavezaz.Error) as unknown:
            self.driver.configure("NoSuchCamera.1")
        self.assertIn("cannot find camera by name", str(unknown.exception))
        port = self.driver.open(CAMERA_A + ".1", port=11)
        display = os.environ.pop("DISPLAY", None)
        try:
            with self.assertRaises(vavezaz.Error) as hidden:
                port.configure()
        finally:
            if display is not None:
                os.environ["DISPLAY"] = display
        self.assertIn("DISPLAY is not set", str(hidden.exception))

    def test_calls_on_a_closed_session_and_port_raise(self):
        port = self.driver.open(CAMERA_A + ".1", port=7)
        with vavezaz.Driver(SYSTEM_DIR) as nested, self.assertRaises(vavezaz.Error):
            nested.open(CAMERA_A + ".2", port=7)
        self.assertEqual(8, port.properties["PixelSize"])
        port.close()
        with self.assertRaises(vavezaz.Error):
            port.grab()
        self.driver.close()
        with self.assertRaises(vavezaz.Error):
            self.driver.open(CAMERA_A + ".1", port=7)

    def test_grab_times_out_when_no_image_comes(self):
        port = self.driver.open(CAMERA_A + ".1", port=8)
        with self.assertRaises(vavezaz.Timeout):
            port.grab(timeout=0.0)


class CallbackTest(unittest.TestCase):
    def test_a_log_callback_that_raises_never_reaches_the_driver(self):
        def raising(line):
            raise RuntimeError("host log broke on " + line)

        with self.assertWarns(RuntimeWarning), vavezaz.Driver(SYSTEM_DIR, log=raising) as driver:
            with self.assertRaises(vavezaz.Error) as failed:
                driver.open(CAMERA_B + ".1", port=9)
            self.assertIn("openCVLPort(0, 9,", str(failed.exception))
            with self.assertRaises(vavezaz.Error) as failed:
                driver.open("Undefined", port=9)
            self.assertIn("undefined camera", str(failed.exception))
            with driver.open(CAMERA_A + ".2", port=9) as port:
                self.assertGreater(len(port.grab(timeout=5)), 0)
            self.assertGreater(driver.callback_errors, 0)
            self.assertIsInstance(driver.last_callback_error, RuntimeError)

    def test_an_image_copy_that_raises_is_raised_by_the_grab_that_wanted_it(self):
        with vavezaz.Driver(SYSTEM_DIR) as driver:
            port = driver.open(CAMERA_A + ".2", port=12)
            read = port.read
            port.read = lambda: 1 / 0
            with self.assertRaises(ZeroDivisionError):
                port.grab(timeout=5)
            port.read = read
            self.assertGreater(len(port.grab(timeout=5)), 0)

    def test_callbacks_outlive_the_objects_that_gave_them(self):
        def session():
            with vavezaz.Driver(SYSTEM_DIR, log=lambda line: None) as driver:
                driver.open(CAMERA_A + ".2", port=10).grab(timeout=5)

        session()
        gc.collect()
        # The driver still holds the debug procedure it was last given; the
        # lines of a new session's failure must not call a freed one.
        with vavezaz.Driver(SYSTEM_DIR) as driver, self.assertRaises(vavezaz.Error):
            driver.open("Undefined", port=10)

    def test_the_interpreter_exits_while_a_stream_runs(self):
        script = textwrap.dedent(
            """
            import vavezaz
            driver = vavezaz.Driver(%r)
            stream = driver.open(%r, port=1).stream(queue_size=4)
            next(stream)
            print("streaming")
            """
            % (SYSTEM_DIR, CAMERA_A + ".2")
        )
        run = subprocess.run(
            [sys.executable, "-c", script], capture_output=True, text=True, timeout=60)
        self.assertEqual(0, run.returncode, run.stderr)
        self.assertEqual("streaming\n", run.stdout)


if __name__ == "__main__":
    unittest.main()
