"""Argument conversion of the generated wrappers: exact exceptions, counts, matrices,
buffers and write-back."""
import array

import numpy as np
import pytest


def test_count_below_one_skips_the_call(tv, capfd):
    assert tv.curve([1, 2, 3], [4, 5, 6], 0) is None
    assert tv.curve([1, 2, 3], [4, 5, 6], -5) is None
    assert capfd.readouterr().out == ""          # not even "Incorrect level"


@pytest.mark.parametrize("args,exc,msg", [
    (([1, 2], [4, 5, 6], 3), MemoryError, "out of range"),
    (([1, "a", 3], [4, 5, 6], 3), ValueError, "no floatingpoint element in sequence"),
    ((5, [4, 5, 6], 3), ValueError, "parameter is not a sequence"),
    (([1, 2, 3], [4, 5, 6], 10**12), OverflowError, None),
    (([1, 2, 3], [4, 5, 6], "3"), TypeError, None),
    ((np.zeros(2), [4, 5, 6], 3), MemoryError, "out of range"),
])
def test_double_array_errors(tv, args, exc, msg):
    with pytest.raises(exc) as e:
        tv.curve(*args)
    if msg:
        assert str(e.value) == msg


def test_int_arrays_refuse_floats(tv):
    with pytest.raises(ValueError, match="^no integer element in sequence$"):
        tv.areaf([1.5, 2, 3], [4, 5, 6], 3)
    with pytest.raises(ValueError, match="^no integer element in sequence$"):
        tv.areaf(np.array([1.0, 2.0, 3.0]), [4, 5, 6], 3)


def test_matrix_conversion(tv):
    x, y = [0.0, 1.0], [0.0, 1.0]
    with pytest.raises(ValueError, match="^matrix rows have different lengths$"):
        tv.contur(x, 2, y, 2, [[1, 2], [3]], 0.5)
    with pytest.raises(MemoryError, match="^out of range$"):
        tv.contur(x, 2, y, 2, [[1, 2]], 0.5)
    with pytest.raises(ValueError, match="^no floatingpoint element in sequence$"):
        tv.contur(x, 2, y, 2, [[1, 2], [3, None]], 0.5)
    tv.unit(0)
    tv.contur(x, 2, y, 2, [1, 2, 3, 4], 0.5)      # flat n*m list: an (n*m) x 1 matrix
    tv.contur(x, 2, y, 2, np.ones((2, 2)), 0.5)


def test_write_back_and_integer_exactness(tv):
    # polclp clips a polygon against one edge and writes the result back
    xs, ys = [0, 10, 10, 0], [0, 0, 10, 10]
    xo, yo = [0.0] * 8, [0.0] * 8
    n = tv.polclp(xs, ys, 4, xo, yo, 8, 5.0, "RIGH")
    assert n == 4
    assert sorted(zip(xo[:n], yo[:n])) == [(0, 0), (0, 10), (5.0, 0.0), (5.0, 10.0)]
    assert all(isinstance(v, float) for v in xo)
    assert xo[4:] == [0.0] * 4
    # numpy output arrays are filled in place
    xa, ya = np.zeros(8), np.zeros(8)
    assert tv.polclp(np.array(xs, float), ys, 4, xa, ya, 8, 5.0, "righ") == 4
    assert sorted(xa[:4]) == [0, 0, 5, 5]
    # too small an output array: warning 112, result 0
    assert tv.polclp(xs, ys, 4, [0.0] * 2, [0.0] * 2, 2, 5.0, "RIGH") == 0


def test_buffers_of_other_types_are_converted(tv):
    xo, yo = [0.0] * 8, [0.0] * 8
    for xs in (array.array("i", [0, 10, 10, 0]), np.array([0, 10, 10, 0], np.int64),
               np.array([0, 10, 10, 0], np.float32), memoryview(array.array("d", [0, 10, 10, 0])),
               np.array([0, 99, 10, 99, 10, 99, 0], float)[::2]):
        assert tv.polclp(xs, [0, 0, 10, 10], 4, xo, yo, 8, 5.0, "RIGH") == 4


def test_callback_registration_checks_callable(tv):
    with pytest.raises(TypeError, match="^parameter must be callable$"):
        tv.setcbk(5, "user")


def test_every_method_survives_bad_arguments(tv):
    """No wrapper crashes on wrong argument types or counts."""
    tv.unit(0)
    names = [n for n in dir(tv) if not n.startswith("_") and callable(getattr(tv, n))]
    for name in names:
        f = getattr(tv, name)
        if name in ("tavini", "tavfin", "thrini", "thrfin", "delglb"):
            continue
        for args in ((), (None,), ("x", "y", "z", "w", "v", "u", "t", "s", "r")):
            try:
                f(*args)
            except (TypeError, ValueError, MemoryError, OverflowError):
                pass
