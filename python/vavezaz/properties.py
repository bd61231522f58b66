"""A port's integer properties, read and written by name."""

import collections.abc
import ctypes

from vavezaz.errors import Error, PropertyError

# The names every port answers when read; a camera may answer more, and
# names match without regard to case.
READABLE = (
    "Width", "Height", "PixelSize", "continuous", "LogLevel", "LogIntoFile",
    "DebugViewOutput", "ConfigurationType", "NumberOfScans", "BufferSize",
)


class Properties(collections.abc.Mapping):
    """`port.properties["NumberOfScans"]` reads, `... = 256` writes (in the
    driver's memory only), `range(name)` gives (minimum, maximum) or None.
    Iterating gives the names every port answers."""

    def __init__(self, port):
        self._port = port

    def __getitem__(self, name):
        value = ctypes.c_int()
        self._port._check_open("getProperty")
        try:
            self._call("getProperty", name, ctypes.byref(value))
        except Error as error:
            text = "property %s of port %d cannot be read" % (name, self._port.number)
            raise PropertyError(text, error.lines) from None
        return value.value

    def __setitem__(self, name, value):
        self._call("setProperty", name, int(value))

    def range(self, name):
        """(minimum, maximum), both inclusive, or None for a property without one."""
        minimum, maximum = ctypes.c_int(), ctypes.c_int()
        result = self._port.driver.lib.getPropertyRange(
            0, self._port.number, name.encode(), ctypes.byref(minimum), ctypes.byref(maximum)
        )
        return (minimum.value, maximum.value) if result == 1 else None

    def __iter__(self):
        return iter(READABLE)

    def __len__(self):
        return len(READABLE)

    def __repr__(self):
        return "{%s}" % ", ".join("%r: %r" % (name, value) for name, value in self.items())

    def _call(self, function, name, value):
        if not isinstance(name, str):
            raise TypeError("a property name is text, not %r" % (name,))
        self._port._check_open(function)
        self._port.driver.call(function, 0, self._port.number, name.encode(), value, failure=0)
