"""Large PDF pages are compressed in pieces on two threads: the pieces must still make up
the page's content exactly, in a document whose bytes do not depend on the timing."""
import os
import re
import zlib

N = 150_000      # about 2.4 MB of content: several pieces


def streams(data):
    """Decoded content of every stream object, in file order."""
    out = []
    for m in re.finditer(rb"stream\n(.*?)endstream", data, re.S):
        body = m.group(1)
        try:
            body = zlib.decompress(body)
        except zlib.error:
            pass
        out.append(body)
    return out


def page_content(path):
    data = open(path, "rb").read()
    refs = re.search(rb"/Contents (\[[^\]]*\]|\d+ 0 R)", data).group(1)
    nums = [int(n) for n in re.findall(rb"(\d+) 0 R", refs)]
    text = b""
    for n in nums:
        obj = re.search(rb"\n%d 0 obj\n(.*?)endobj" % n, data, re.S).group(1)
        body = re.search(rb"stream\n(.*?)endstream", obj, re.S).group(1)
        text += zlib.decompress(body) if b"/FlateDecode" in obj else body.rstrip(b"\n") + b"\n"
    return nums, text


def draw(t, name, *modes):
    t.metafl("pdf")
    t.setfil(name)
    t.filmod("delete")
    for m in modes:
        t.pdfmod(*m)
    t.tavini()
    t.unit(0)
    t.graf(0.0, 10.0, 0.0, 2.0, -1.0, 1.0, -1.0, 0.5)
    xs = [i * 10.0 / N for i in range(N)]
    ys = [((i * 7919) % 1000) / 500.0 - 1.0 for i in range(N)]
    t.curve(xs, ys, N)
    t.endgrf()
    t.tavfin()


def test_pieces_make_up_the_uncompressed_content(tv):
    import subprocess
    draw(tv, "packed.pdf")
    draw(tv, "plain.pdf", ("off", "comp"))
    subprocess.run(["qpdf", "--check", "packed.pdf"], check=True, capture_output=True)
    pieces, packed = page_content("packed.pdf")
    single, plain = page_content("plain.pdf")
    assert len(pieces) >= 3 and len(single) >= 1
    assert packed == plain
    assert packed.count(b" l\n") >= N - 1


SNIPPET = """
import tavero as t
N = 150_000
t.metafl("pdf"); t.setfil("{name}"); t.filmod("delete"){buff}
t.tavini(); t.unit(0)
t.graf(0.0, 10.0, 0.0, 2.0, -1.0, 1.0, -1.0, 0.5)
t.curve([i * 10.0 / N for i in range(N)], [((i * 7919) % 1000) / 500.0 - 1.0 for i in range(N)], N)
t.incmrk(-1); t.marker(21); t.curve([i * 10.0 / 5000 for i in range(5000)], [0.5] * 5000, 5000)
t.endgrf()
{finish}
"""


def test_documents_do_not_depend_on_the_timing(run_py, tmp_path):
    env = {"SOURCE_DATE_EPOCH": "1700000000"}
    runs = []
    for k in range(3):
        run_py(SNIPPET.format(name=f"d{k}.pdf", buff="", finish="t.tavfin()"), env=env)
        runs.append((tmp_path / f"d{k}.pdf").read_bytes())
    assert runs[0] == runs[1] == runs[2]
    # the same document kept in memory for pdfbuf
    run_py(SNIPPET.format(name="m.pdf", buff='; t.pdfmod("on", "buff")',
                          finish="t.tavfin()\nn = t.pdfbuf(0)[1]\nopen('m.bin', 'wb').write(t.pdfbuf(n)[0])"),
           env=env)
    assert (tmp_path / "m.bin").read_bytes() == runs[0]
    assert not (tmp_path / "m.pdf").exists()


def test_unfinished_large_page_leaves_nothing(run_py, tmp_path):
    run_py(SNIPPET.format(name="u.pdf", buff="", finish=""))   # exits with pieces in flight
    assert not (tmp_path / "u.pdf").exists()
