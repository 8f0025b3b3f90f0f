"""tavero: fast procedural scientific plotting.

Every routine of the library is a function of this module (see tavero.pyi).
"""
from .tavero import *  # noqa: F401,F403
from .tavero import _pending  # noqa: F401

del tavero  # the extension module itself is not part of the interface  # noqa: F821
