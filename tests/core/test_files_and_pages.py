"""Default output, file naming and versioning, pages, units and the error file."""
import os


def run_plot(run_py, setup="", n=1):
    return run_py("import tavero\n" + f"""
for _ in range({n}):
    {setup or 'pass'}
    tavero.tavini()
    tavero.tavfin()
""")


def test_default_metafile_and_versions(run_py, tmp_path):
    run_plot(run_py, n=3)
    assert sorted(os.listdir(tmp_path)) == ["tavero.met", "tavero_1.met", "tavero_2.met"]
    text = (tmp_path / "tavero.met").read_text()
    assert text.startswith("      29.7      21.0\n")
    assert text.rstrip().endswith(" 9.0000000")


def test_version_forms(run_py, tmp_path):
    (tmp_path / "tavero.met").write_text("x")
    run_plot(run_py, 'tavero.filopt("long", "numb")')
    assert (tmp_path / "tav_0001.met").exists()
    run_plot(run_py, 'tavero.filopt("long", "numb"); tavero.filmod("vers")')
    assert (tmp_path / "tavero_0001.met").exists()
    run_plot(run_py, 'tavero.filopt("hyph", "sepa"); tavero.filopt("2", "digi"); tavero.filmod("vers")')
    assert (tmp_path / "tavero-1.met").exists()


def test_file_modes_delete_and_break(run_py, tmp_path):
    (tmp_path / "plot.met").write_text("old")
    run_plot(run_py, 'tavero.setfil("plot.met"); tavero.filmod("delete")')
    assert (tmp_path / "plot.met").read_text().startswith("      29.7")
    out = run_plot(run_py, 'tavero.setfil("plot.met"); tavero.filmod("break")')
    assert "Warning 169: Plotfile does exist in tavini!" in out
    assert "Incorrect level in tavfin" in out


def test_setfil_name_kept_for_later_runs(run_py, tmp_path):
    run_py("""
        import tavero
        tavero.setfil("a.met")
        tavero.tavini(); tavero.tavfin()
        tavero.tavini(); tavero.tavfin()
    """)
    assert (tmp_path / "a.met").exists() and (tmp_path / "a_1.met").exists()


def test_pages_and_units(tv, capfd):
    tv.setpag("da4p")
    tv.setpag("DA5L")
    tv.page(0, 100)
    assert capfd.readouterr().out.splitlines() == [
        " <<<< Warning 2: Incorrect parameter in setpag!   (DA5L)",
        " <<<< Warning 2: Incorrect parameter in page!   ( 0)"]
    tv.tavini()
    assert tv.getpag() == (2100, 2970)
    tv.unit(0)
    tv.tavfin()
    tv.delglb()
    tv.units("inch")
    tv.page(1000, 800)
    tv.tavini()
    assert tv.getpag() == (1000, 800)
    tv.unit(0)
    tv.tavfin()


def test_metafl_keywords(tv, capfd, monkeypatch):
    monkeypatch.setenv("DISPLAY", "")
    tv.metafl("nonsense")
    tv.metafl("met5")
    tv.tavini()                      # no display: message 40, level 0
    assert tv.getlev() == 0
    out = capfd.readouterr().out
    assert "Incorrect parameter in metafl!   (nonsense)" in out
    assert "Warning 40: Window cannot be created: no X display in tavini!" in out


def test_error_file_versioning_and_append(run_py, tmp_path):
    (tmp_path / "tavero.err").write_text("old\n")
    out = run_py("""
        import tavero
        tavero.errdev("file")
        tavero.tavini()
        tavero.lintyp(9)
        tavero.tavfin()
    """)
    assert "Incorrect" not in out
    assert "Warning 2: Incorrect parameter in lintyp!" in (tmp_path / "tavero_1.err").read_text()
    run_py("""
        import tavero
        tavero.errdev("appe")
        tavero.tavini()
        tavero.lintyp(9)
        tavero.tavfin()
    """)
    text = (tmp_path / "tavero.err").read_text()
    assert text.startswith("old\n") and "lintyp" in text


def test_protocol_into_error_file(run_py, tmp_path):
    out = run_py("""
        import tavero
        tavero.errdev("file")
        tavero.errfil("log.txt")
        tavero.tavini()
        tavero.errmod("prot", "file")
        tavero.tavfin()
    """)
    assert out == ""
    text = (tmp_path / "log.txt").read_text()
    assert "END OF TAVERO" in text and "Err-file: log.txt" in text


def test_dev_null_error_file_not_versioned(run_py, tmp_path):
    out = run_py("""
        import tavero
        tavero.errdev("file")
        tavero.errfil("/dev/null")
        tavero.tavini()
        tavero.lintyp(9)
        tavero.tavfin()
    """)
    assert "lintyp" not in out
    assert not list(tmp_path.glob("*.err"))
