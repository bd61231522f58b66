"""The driver session: initialize and finalize, the camera list, ports and
the configuration dialog."""

import atexit
import ctypes
import logging
import os
import threading
import warnings

from vavezaz import _library
from vavezaz._callbacks import completion_hub, is_warning_or_error, log_hub
from vavezaz.errors import Error
from vavezaz.port import Port

# Sessions not yet closed, kept until they are: one dropped unclosed must
# still be finalized at exit.
_live = set()


class Driver:
    """One session with the driver, from initialize to finalize.

    `log` receives every line the driver logs (up to its LogLevel): a callable
    given the line without its time stamp or line feed, or a logging.Logger;
    None sends the lines to the "vavezaz" logger. `library` is the path of
    the driver; without it VAVEZAZ_LIBRARY, then the library installed beside
    this module, then libvavezaz.so.1 through the loader.
    """

    def __init__(self, system_dir, log=None, library=None):
        self.system_dir = os.path.abspath(os.fspath(system_dir))
        if not os.path.isdir(self.system_dir):
            raise FileNotFoundError("system directory %s does not exist" % self.system_dir)
        self.lib = _library.load(library)
        self.library = self.lib._name
        self.callback_errors = 0
        self.last_callback_error = None
        self._log = log if log is not None else logging.getLogger("vavezaz")
        self._lock = threading.Lock()
        self._ports = {}
        self._open = False
        log_hub.add_sink(self._sink)
        try:
            path = self.system_dir.encode()
            self.call("initialize", path, log_hub.proc, failure=0, check_open=False)
        except Error:
            log_hub.remove_sink(self._sink)
            raise
        self._open = True
        _live.add(self)

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.close()

    def close(self):
        """Closes every port this session opened, then finalizes."""
        with self._lock:
            if not self._open:
                return
            self._open = False
            ports = list(self._ports.values())
        try:
            for port in ports:
                port.close()
        finally:
            # The last finalize closes every camera, also a port whose close
            # failed above.
            try:
                self.call("finalize", failure=0, check_open=False)
            finally:
                log_hub.remove_sink(self._sink)
                _live.discard(self)

    @property
    def closed(self):
        return not self._open

    def call(self, name, *arguments, failure, check_open=True):
        """Calls an entry point; raises Error, with the driver's lines of the
        call, when it answers `failure`."""
        if check_open and not self._open:
            raise Error("%s: the driver session is closed" % name)
        with log_hub.capture() as lines:
            result = getattr(self.lib, name)(*arguments)
        if result == failure:
            shown = ", ".join(_shown(argument) for argument in arguments)
            errors = [line for line in lines if is_warning_or_error(line)]
            raise Error("%s(%s) failed" % (name, shown), errors)
        return result

    def cameras(self):
        """The configuration names, four per camera found (the first call
        searches the network, up to 2 seconds)."""
        if not self._open:
            raise Error("cameras: the driver session is closed")
        self.lib.getCVLNoOfSupportedCameras()
        names = self.lib.getCVLCameraConfigNames()
        result = []
        while names and names[len(result)] is not None:
            result.append(names[len(result)].decode("utf-8", "replace"))
        return result

    def open(self, name, port=1):
        """Opens the configuration `name` on the port (0 to 19)."""
        ports = self.lib.getCVLMaxNoOfPorts()
        if not 0 <= port < ports:
            raise ValueError("port %d is not between 0 and %d" % (port, ports - 1))
        with self._lock:
            # The driver has one port map for the whole process: opening a
            # port twice would silently take it from the first holder.
            holder = self._ports.get(port) or completion_hub.holder(port)
            if holder is not None:
                raise Error("port %d is already open (%s)" % (port, holder.name))
            opened = Port(self, name, port)
            self._ports[port] = opened
        try:
            opened._open()
        except BaseException:
            with self._lock:
                del self._ports[port]
            raise
        return opened

    def _forget(self, port):
        with self._lock:
            if self._ports.get(port.number) is port:
                del self._ports[port.number]

    def configure(self, name, parent=0):
        """Shows the camera's configuration dialog (it needs a display) and
        waits for it: True when the user saved the settings, False when they
        cancelled. A camera the driver does not know, or a dialog that could
        not be shown, raises Error."""
        with log_hub.capture() as lines:
            window = ctypes.c_void_p(parent)
            result = self.call("configureCamera", window, name.encode(), failure=None)
        errors = [line for line in lines if is_warning_or_error(line)]
        if errors:
            raise Error("configureCamera %s failed" % name, errors)
        return result == 0

    def _sink(self, stamp, message):
        try:
            if isinstance(self._log, logging.Logger):
                self._log.log(_level_of(message), "%s", message)
            else:
                self._log(message)
        except BaseException as error:  # noqa: B902 - must not reach the driver
            self._callback_failed(error)

    def _callback_failed(self, error):
        with self._lock:
            self.callback_errors += 1
            self.last_callback_error = error
            first = self.callback_errors == 1
        if first:
            warnings.warn(
                "vavezaz: the log callback raised %r; the driver went on"
                " (callback_errors counts them)" % error,
                RuntimeWarning,
            )


def _shown(argument):
    """An argument as a failure's text shows it: names and numbers as they
    are, pointers as "..."."""
    if isinstance(argument, bytes):
        return repr(argument.decode("utf-8", "replace"))
    return str(argument) if isinstance(argument, int) else "..."


def _level_of(message):
    lowered = message.lower()
    if "error" in lowered or "exception" in lowered:
        return logging.ERROR
    if "warning" in lowered:
        return logging.WARNING
    return logging.INFO


@atexit.register
def _close_all():
    """Ends the sessions left open, so that no driver thread calls into an
    interpreter that is going away."""
    for driver in list(_live):
        try:
            driver.close()
        except Error:
            pass
    for lib in list(_library._loaded.values()):
        lib.setDebugMsgProc(_library.DebugMsgProc())

