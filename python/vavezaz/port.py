"""An open port: single grabs, a stream in continuous mode, its properties."""

import collections
import ctypes
import threading
import time

import numpy

from vavezaz._callbacks import completion_hub
from vavezaz.errors import Error, Timeout
from vavezaz.properties import Properties

GRAYSCALE_BITS = 8
XYZ_BITS = 96
XYZCI_BITS = 160


def point_dtype(pixel_bits):
    """The structured type of one point of a cloud port."""
    names = "xyz" if pixel_bits == XYZ_BITS else "xyzci"
    return numpy.dtype([(name, numpy.float32) for name in names])


class Port:
    """A configuration open on one port of the driver."""

    def __init__(self, driver, name, number):
        self.driver = driver
        self.name = name
        self.number = number
        self.width = 0
        self.height = 0
        self.pixel_bits = 0
        self.properties = Properties(self)
        self._condition = threading.Condition()
        self._announced_count = 0
        self._wanted = 0
        self._grabbed = None
        self._stream = None
        self._open_now = False

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.close()

    def __repr__(self):
        return "<vavezaz.Port %d: %s, %d bits per pixel>" % (
            self.number, self.name, self.pixel_bits)

    @property
    def is_cloud(self):
        return self.pixel_bits in (XYZ_BITS, XYZCI_BITS)

    def _open(self):
        size = (ctypes.c_int * 2)()
        self.driver.call("openCVLPort", 0, self.number, self.name.encode(), size, failure=0)
        self._open_now = True
        self.width, self.height = size[0], size[1]
        completion_hub.register(self.number, self)
        try:
            self.pixel_bits = self.properties["PixelSize"]
            # A row is copied by its pixel size into an array of ours: a size
            # the module has no layout for would be copied past its end.
            if self.pixel_bits not in (GRAYSCALE_BITS, XYZ_BITS, XYZCI_BITS):
                raise Error("port %d delivers %d bits per pixel, which has no array layout here"
                            % (self.number, self.pixel_bits))
            callback = completion_hub.callback
            self.driver.call("setCompleteCallback", 0, self.number, callback, failure=0)
        except Error:
            self.close()
            raise

    def close(self):
        """Ends a stream, closes the port and forgets it (waits for a
        completion callback in progress)."""
        if not self._open_now:
            return
        try:
            if self._stream is not None:
                self._stream.close()
        finally:
            self._open_now = False
            self.driver.lib.closeCVLPort(0, self.number)
            completion_hub.unregister(self.number, self)
            self.driver._forget(self)

    @property
    def closed(self):
        return not self._open_now

    def grab(self, timeout=5.0):
        """Asks for one image and waits for it: a uint8 array of height x
        width for a grayscale port, a structured float32 array of the points
        the height window kept (x, y, z, and c, i for XYZCI) for a cloud."""
        self._check_open("grab")
        if self._stream is not None:
            raise Error("grab: port %d is streaming; take the images from the stream" % self.number)
        with self._condition:
            self._wanted += 1
            self._grabbed = None
            seen = self._announced_count
        try:
            self.driver.call("doCVLGrab", 0, self.number, failure=0)
            with self._condition:
                if not self._condition.wait_for(lambda: self._announced_count > seen, timeout):
                    raise Timeout("grab: no image on port %d within %g s" % (self.number, timeout))
                image = self._grabbed
        finally:
            with self._condition:
                self._wanted -= 1
        if isinstance(image, Exception):
            raise image
        return image

    def stream(self, queue_size=8, count=None, timeout=5.0):
        """Switches the camera to continuous mode and returns an iterator over
        its images (see Stream); leaving it, or its `with` block, switches
        continuous mode off again."""
        self._check_open("stream")
        if self._stream is not None:
            raise Error("stream: port %d is streaming already" % self.number)
        self._stream = Stream(self, queue_size, count, timeout)
        try:
            self.properties["continuous"] = 1
        except Error:
            self._stream = None
            raise
        return self._stream

    def configure(self, parent=0):
        """The configuration dialog of this port's camera (Driver.configure)."""
        return self.driver.configure(self.name, parent)

    def read(self):
        """Copies the image last announced on the port. Only safe inside a
        completion callback or in single-grab mode after it."""
        if not self.is_cloud:
            image = numpy.empty((self.height, self.width), dtype=numpy.uint8)
            for row in range(self.height):
                self._read_row(image[row].ctypes.data, row, self.width)
            return image
        points = self.properties["Width"]
        cloud = numpy.empty(points, dtype=point_dtype(self.pixel_bits))
        if points > 0:
            self._read_row(cloud.ctypes.data, 0, points)
        return cloud

    def _read_row(self, address, row, pixels):
        if self.driver.lib.getCVLGrabRow(0, self.number, address, row, 0, pixels - 1) != 1:
            raise Error("getCVLGrabRow: row %d of port %d could not be read" % (row, self.number))

    def _check_open(self, what):
        if not self._open_now:
            raise Error("%s: port %d is closed" % (what, self.number))

    def _announced(self):
        """Runs on the driver's thread for each image of the port: copies the
        image when a grab or a stream wants it, and returns at once."""
        stream = self._stream
        image = None
        if stream is not None or self._wanted:
            try:
                image = self.read()
            except Exception as error:  # noqa: B902 - raised where the image is taken
                image = error
        with self._condition:
            self._announced_count += 1
            if self._wanted:
                self._grabbed = image
            self._condition.notify_all()
        if stream is not None:
            stream._put(image)


class Stream:
    """The images of a port in continuous mode, oldest first.

    The completion callback copies each image into a queue of `queue_size`
    and never waits for the reader: when the queue is full, the oldest copy
    in it is dropped and counted in `dropped`. `received` counts the images
    copied, `taken` those handed out. Iteration ends after `count` images
    (None: never) and raises Timeout when no image comes for `timeout`
    seconds.
    """

    def __init__(self, port, queue_size, count, timeout):
        if queue_size < 1:
            raise ValueError("queue_size must be at least 1")
        self.port = port
        self.queue_size = queue_size
        self.count = count
        self.timeout = timeout
        self.received = 0
        self.dropped = 0
        self.taken = 0
        self._queue = collections.deque()
        self._condition = threading.Condition()
        self._open = True

    def __iter__(self):
        return self

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.close()

    def __next__(self):
        if self.count is not None and self.taken >= self.count:
            self.close()
            raise StopIteration
        deadline = time.monotonic() + self.timeout
        with self._condition:
            while not self._queue:
                if not self._open:
                    raise StopIteration
                remaining = deadline - time.monotonic()
                if remaining <= 0:
                    raise Timeout("stream: no image on port %d within %g s"
                                  % (self.port.number, self.timeout))
                self._condition.wait(remaining)
            image = self._queue.popleft()
            self.taken += 1
        if isinstance(image, Exception):
            raise image
        return image

    def close(self):
        """Switches continuous mode off and ends the iteration; the images
        still queued are let go."""
        with self._condition:
            if not self._open:
                return
            self._open = False
            self._queue.clear()
            self._condition.notify_all()
        try:
            if not self.port.closed:
                self.port.properties["continuous"] = 0
        finally:
            self.port._stream = None

    def _put(self, image):
        with self._condition:
            if not self._open:
                return
            if len(self._queue) >= self.queue_size:
                self._queue.popleft()
                self.dropped += 1
            self._queue.append(image)
            self.received += 1
            self._condition.notify()
