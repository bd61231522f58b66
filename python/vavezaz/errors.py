"""The module's exceptions."""


class Error(Exception):
    """A driver call failed. `lines` holds the driver's error, warning and
    exception lines logged for the call, which the text repeats."""

    def __init__(self, message, lines=()):
        self.message = message
        self.lines = list(lines)
        super().__init__(message, self.lines)

    def __str__(self):
        return "\n  ".join([self.message] + self.lines)


class Timeout(Error):
    """No image came within the time asked for."""


class PropertyError(Error, KeyError):
    """A property the port does not answer (also a KeyError, so that the
    properties behave as a mapping)."""

    def __str__(self):
        return Error.__str__(self)
