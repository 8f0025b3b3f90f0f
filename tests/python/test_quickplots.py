"""Quick plots and their setvar variables (each scenario in a fresh interpreter: the
variables live for the whole process)."""
import pytest


def test_setvar_names_types_and_application(run_py):
    out = run_py("""
        import tavero as t
        t.setvar("h", 40)                 # stored before tavini, applied after it
        for bad in (("nope", 1), ("H", "x"), ("XMIN", "a")):
            try:
                t.setvar(*bad)
            except (ValueError, TypeError) as e:
                print(type(e).__name__, e)
        t.tavini()
        print("height", t.gethgt())
        t.setvar("H", 55)                 # at level 1: height(55) at once
        print("height", t.gethgt())
        t.unit(0)
        t.tavfin()
    """)
    lines = out.splitlines()
    assert lines[0] == "ValueError undefined variable"
    assert lines[1].startswith("TypeError") and lines[2].startswith("TypeError")
    assert "height 40" in lines and "height 55" in lines


def test_plot_and_scattr_draw_complete_plots(run_py, tmp_path):
    run_py("""
        import tavero as t, math
        t.metafl("pdf")
        t.setvar("T1", "Quick")
        x = [i / 10 for i in range(60)]
        t.plot(x, [math.sin(v) for v in x])
        t.scattr(x, [math.cos(v) for v in x])     # erases and draws into the same plot
        t.unit(0)
        t.tavfin()
    """)
    data = (tmp_path / "tavero.pdf").read_bytes()
    assert data.startswith(b"%PDF") and b"%%EOF" in data[-10:]


def test_quick_plot_argument_errors(tv):
    with pytest.raises(ValueError, match="^mismatch of array sizes$"):
        tv.plot([1, 2, 3], [1, 2])
    with pytest.raises(ValueError, match="^parameter is not a sequence$"):
        tv.scattr(3, [1, 2])
    with pytest.raises(ValueError, match="^no floatingpoint element in sequence$"):
        tv.plot([1, "a"], [1, 2])
    with pytest.raises(MemoryError, match="^out of range$"):
        tv.contour([1, 2, 3], [0, 1], [0, 1])


def test_erase_variable_keeps_previous_plot(run_py, tmp_path):
    out = run_py("""
        import tavero as t
        t.metafl("gksl")
        t.setvar("ERASE", 0)
        t.plot([0, 1, 2], [0, 1, 0])
        t.plot([0, 1, 2], [1, 0, 1])
        t.tavfin()
    """)
    assert "Vectors" in out
