"""Quick plots of a matrix: colour cells, contour lines, a surface, each a complete plot."""
import math

from PIL import Image


def matrix(nx=24, ny=18):
    return [[math.sin(i / 4) * math.cos(j / 4) for j in range(ny)] for i in range(nx)]


def test_matrix_quick_plots_write_complete_files(tv, tmp_path, capfd):
    z = matrix()
    for routine, args, fmt in ((tv.qplclr, (24, 18), "png"), (tv.qplcon, (24, 18, 6), "pdf"),
                               (tv.qplsur, (24, 18), "png")):
        name = str(tmp_path / f"{routine.__name__}.{fmt}")
        tv.metafl(fmt)
        tv.setfil(name)
        routine(z, *args)
        assert tv.getlev() == 0                     # opened and closed by the quick plot
        data = open(name, "rb").read()
        assert data[:4] in (b"\x89PNG", b"%PDF")
    assert "<<<< Warning" not in capfd.readouterr().out
    img = Image.open(tmp_path / "qplclr.png").convert("RGB")
    colours = {img.getpixel((x, 300)) for x in range(150, 650, 5)}
    assert len(colours) > 5                         # the cells show the colour scale


def test_qplcon_level_count_is_checked(tv, capfd):
    tv.qplcon(matrix(), 24, 18, 0)
    assert "Warning 113: Bad number of levels in qplcon!" in capfd.readouterr().out
