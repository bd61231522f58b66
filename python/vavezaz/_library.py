"""Loads the driver library and declares its 18 entry points for ctypes."""

import ctypes
import os
import threading

ENVIRONMENT_VARIABLE = "VAVEZAZ_LIBRARY"
SONAME = "libvavezaz.so.1"

DebugMsgProc = ctypes.CFUNCTYPE(None, ctypes.c_char_p)
CompleteCallback = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_int, ctypes.c_int)

_int = ctypes.c_int
_text = ctypes.c_char_p
_int_p = ctypes.POINTER(ctypes.c_int)
_PROTOTYPES = {
    "initialize": (_int, [_text, DebugMsgProc]),
    "finalize": (_int, []),
    "setSystemPath": (_int, [_text]),
    "setDebugMsgProc": (None, [DebugMsgProc]),
    "getCVLMaxNoOfGrabbers": (_int, []),
    "getCVLMaxNoOfPorts": (_int, []),
    "getCVLNoOfSupportedCameras": (_int, []),
    "getCVLCameraConfigNames": (ctypes.POINTER(ctypes.c_char_p), []),
    "openCVLPort": (_int, [_int, _int, _text, _int_p]),
    "closeCVLPort": (None, [_int, _int]),
    "doCVLGrab": (_int, [_int, _int]),
    "getCVLGrabRow": (_int, [_int, _int, ctypes.c_void_p, _int, _int, _int]),
    "setHWTrigger": (_int, [_int, _int]),
    "setCompleteCallback": (_int, [_int, _int, CompleteCallback]),
    "getProperty": (_int, [_int, _int, _text, _int_p]),
    "getPropertyRange": (_int, [_int, _int, _text, _int_p, _int_p]),
    "setProperty": (_int, [_int, _int, _text, _int]),
    "configureCamera": (_int, [ctypes.c_void_p, _text]),
}

_loaded = {}
_lock = threading.Lock()


def _installed_library():
    """The driver where this package was installed beside it, if it was."""
    try:
        from vavezaz import _installed
    except ImportError:
        return None
    path = os.path.normpath(os.path.join(os.path.dirname(_installed.__file__), _installed.LIBRARY))
    return path if os.path.exists(path) else None


def candidates(path=None):
    """Where to look, in order: the argument, the environment, beside the
    installed package, and the loader's own search for the SONAME."""
    if path:
        return [os.fspath(path)]
    if os.environ.get(ENVIRONMENT_VARIABLE):
        return [os.environ[ENVIRONMENT_VARIABLE]]
    installed = _installed_library()
    return ([installed] if installed else []) + [SONAME]


def load(path=None):
    """The loaded driver, with every entry point declared. A library once
    loaded stays loaded: the driver links GTK, which keeps pointers into it."""
    from vavezaz.errors import Error

    failures = []
    for candidate in candidates(path):
        with _lock:
            if candidate in _loaded:
                return _loaded[candidate]
            try:
                library = ctypes.CDLL(candidate)
            except OSError as error:
                failures.append(str(error))
                continue
            for name, (result, arguments) in _PROTOTYPES.items():
                function = getattr(library, name)
                function.restype = result
                function.argtypes = arguments
            _loaded[candidate] = library
            return library
    text = "cannot load the VaveZAZ driver (give its path as library= or in %s)"
    raise Error(text % ENVIRONMENT_VARIABLE, failures)
