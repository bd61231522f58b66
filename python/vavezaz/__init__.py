"""VaveZAZ camera driver from Python, through its 18 entry points.

    import vavezaz
    with vavezaz.Driver("/path/to/system-dir") as driver:
        port = driver.open(driver.cameras()[0], port=1)
        image = port.grab(timeout=5)

docs/python.md describes the module.
"""

from vavezaz.driver import Driver
from vavezaz.errors import Error, PropertyError, Timeout
from vavezaz.port import Port, Stream, point_dtype

__all__ = ["Driver", "Error", "Port", "PropertyError", "Stream", "Timeout", "point_dtype"]
