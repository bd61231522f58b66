"""The two C callbacks the driver is given, one of each for the whole process.

The driver keeps a callback pointer after the Python object that set it is
gone (the debug procedure even past finalize), so the C trampolines live as
long as the module and hand each call on to whatever is registered now. No
exception leaves them: ctypes cannot pass one to C, and a driver thread is no
place to print it.
"""

import contextlib
import logging
import re
import threading

from vavezaz import _library

_TIMESTAMP = re.compile(r"^\d\d/\d\d/\d\d \d\d:\d\d:\d\d: $")
_WARNING_WORDS = ("error", "warning", "exception")

# Quiet unless the application configures logging, as a library's logger is.
logger = logging.getLogger("vavezaz")
logger.addHandler(logging.NullHandler())


def is_warning_or_error(line):
    """A driver line of level 1 that says what went wrong."""
    lowered = line.lower()
    return any(word in lowered for word in _WARNING_WORDS)


class LogHub:
    """Joins each log line's two calls (time stamp, then text), collects the
    lines each thread logs during a call, and hands every line to the sinks."""

    def __init__(self):
        self._lock = threading.Lock()
        self._stamps = {}
        self._captures = {}
        self._sinks = []
        self.proc = _library.DebugMsgProc(self._receive)

    def add_sink(self, sink):
        with self._lock:
            self._sinks.append(sink)

    def remove_sink(self, sink):
        with self._lock:
            if sink in self._sinks:
                self._sinks.remove(sink)

    @contextlib.contextmanager
    def capture(self):
        """Collects the lines this thread logs inside the block."""
        thread = threading.get_ident()
        lines = []
        with self._lock:
            outer = self._captures.get(thread)
            self._captures[thread] = lines
        try:
            yield lines
        finally:
            with self._lock:
                if outer is None:
                    del self._captures[thread]
                else:
                    outer.extend(lines)
                    self._captures[thread] = outer

    def _receive(self, text):
        try:
            self._take(text.decode("utf-8", "replace") if text else "")
        except BaseException:  # noqa: B902 - nothing may reach the driver
            pass

    def _take(self, text):
        thread = threading.get_ident()
        with self._lock:
            if _TIMESTAMP.match(text):
                self._stamps[thread] = text
                return
            stamp = self._stamps.pop(thread, "")
            message = text.rstrip("\n")
            if thread in self._captures:
                self._captures[thread].append(message)
            sinks = list(self._sinks)
        for sink in sinks:
            sink(stamp, message)


class CompletionHub:
    """Sends each completion callback to the port object open on that port."""

    def __init__(self):
        self._lock = threading.Lock()
        self._ports = {}
        self.callback = _library.CompleteCallback(self._complete)

    def holder(self, number):
        """The port object open on that port number, in any session."""
        with self._lock:
            return self._ports.get(number)

    def register(self, number, port):
        with self._lock:
            self._ports[number] = port

    def unregister(self, number, port):
        with self._lock:
            if self._ports.get(number) is port:
                del self._ports[number]

    def _complete(self, grabber, number):
        try:
            with self._lock:
                port = self._ports.get(number)
            if port is not None:
                port._announced()
        except BaseException:  # noqa: B902 - nothing may reach the driver
            logger.exception("completion callback of port %d failed", number)
        return 0


log_hub = LogHub()
completion_hub = CompletionHub()
