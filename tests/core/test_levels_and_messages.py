"""Context record, levels, entry checks, warning lines and the end protocol."""
import re


def test_first_call_creates_record_and_warns_level(run_py):
    out = run_py("""
        import tavero
        print(tavero.getlev())
        tavero.barwth(0.5)
        tavero.tavini()
        tavero.tavini()
        tavero.unit(0); tavero.tavfin()
    """)
    lines = out.splitlines()
    assert lines[0] == "0"
    assert lines[1] == " <<<< Warning 3: Incorrect level in barwth!   ( 0)"
    assert lines[2] == " <<<< Warning 3: Incorrect level in tavini!   ( 1)"


def test_ranged_entry_refuses_and_changes_nothing(tv):
    tv.tavini()
    tv.setpag("da3l")              # level 0 only: refused at level 1
    assert tv.getpag() == (2970, 2100)
    tv.unit(0)
    tv.tavfin()
    assert tv.getlev() == 0


def test_keyword_lookup_forms(tv, capfd):
    tv.units("inch")
    tv.units("INCHES")             # only four characters count
    tv.units("in")                 # "IN  " does not match "INCH"
    tv.units("")
    out = capfd.readouterr().out.splitlines()
    assert out == [" <<<< Warning 2: Incorrect parameter in units!   (in)",
                   " <<<< Warning 2: Incorrect parameter in units!   ()"]


def test_unit_zero_silences_but_counts(run_py):
    out = run_py("""
        import tavero
        tavero.tavini()
        tavero.unit(0)
        tavero.units("cm")          # wrong level: counted, not printed
        tavero.lintyp(9)
        tavero.unit(6)
        tavero.tavfin()
    """)
    assert "Incorrect" not in out
    assert re.search(r"Warnings: 2 ", out)


def test_errmod_warn_off(run_py):
    out = run_py("""
        import tavero
        tavero.tavini()
        tavero.errmod("warn", "off")
        tavero.lintyp(9)
        tavero.errmod("all", "on")
        tavero.lintyp(8)
        tavero.errmod("xxx", "yy")   # both the mode and the item are judged
        tavero.tavfin()
    """)
    assert "lintyp!   ( 9)" not in out
    assert "Warning 2: Incorrect parameter in lintyp!   ( 8)" in out
    assert out.count("Incorrect parameter in errmod!") == 2


def test_end_protocol_block(run_py):
    out = run_py("""
        import tavero
        tavero.tavini()
        tavero.line(10, 10, 100, 100)
        tavero.line(float('nan') if False else 10, 10, 10, 10)
        tavero.tavfin()
    """, env={"SOURCE_DATE_EPOCH": "1700000000"})
    block = out.split("\n")
    assert block[0] == ""
    body = [l for l in block if l.startswith(" <<")]
    assert body[0] == " <<" + "<" * 64
    assert body[1] == " <<                END OF TAVERO / VERSION 11.5.2                <<"
    assert body[2] == " <<  Date    : 14.11.2023  Time    : 22:13:20  Pageformat: DA4L  <<"
    assert body[3].startswith(" <<  Vectors : 2           Warnings: 0         Fileformat: GKSL")
    assert body[4] == " <<  Metafile: tavero.met" + " " * 40 + "<<"
    assert body[5] == body[0]
    assert all(len(l) == 67 for l in body)
    assert out.endswith("\n\n")


def test_nan_coordinates_counted(run_py):
    out = run_py("""
        import tavero
        tavero.tavini()
        tavero.strtpt(10, 10)
        tavero.connpt(float('nan'), 5)
        tavero.connpt(100, float('inf'))
        tavero.connpt(200, 200)
        tavero.tavfin()
    """)
    assert re.search(r" <<  NaN     : 2 {49}<<", out)


def test_threads_messages(run_py):
    out = run_py("""
        import tavero
        tavero.thrini(0)
        tavero.thrfin()
        tavero.getlev()
        tavero.thrini(4)
        tavero.thrfin()
    """)
    assert out.splitlines() == [
        ">>>> Invalid parameter in thrini!",
        ">>>> thrini is not called before!",
        ">>>> A TAVERO routine is called before thrini!",
        ">>>> thrini is not called before!",
    ]


def test_thrini_gives_each_thread_its_own_record(run_py, tmp_path):
    out = run_py("""
        import threading, tavero
        tavero.thrini(4)
        results = {}
        def work(i):
            tavero.setfil(f"t{i}.met")
            tavero.unit(0) if False else None
            tavero.errmod("prot", "off")
            tavero.tavini()
            for k in range(200):
                tavero.line(0, k, 1000, k)
            results[i] = tavero.getfil()
            tavero.tavfin()
        ts = [threading.Thread(target=work, args=(i,)) for i in range(3)]
        [t.start() for t in ts]; [t.join() for t in ts]
        print(sorted(results.values()))
        tavero.thrfin()
    """)
    assert "['t0.met', 't1.met', 't2.met']" in out
    for i in range(3):
        text = (tmp_path / f"t{i}.met").read_text()
        assert text.rstrip().endswith("9.0000000")


def test_delglb_gives_fresh_defaults(tv, capfd):
    tv.setpag("da3p")
    tv.delglb()
    tv.tavini()
    assert tv.getpag() == (2970, 2100)
    tv.unit(0)
    tv.tavfin()
