"""Line styles, widths and caps in plot coordinates."""
TITLE = "Line styles and widths"


def draw(tv):
    tv.pagera()
    styles = (tv.solid, tv.dot, tv.dash, tv.chndsh, tv.chndot, tv.dashm, tv.dotl, tv.dashl)
    for i, style in enumerate(styles):
        style()
        tv.line(200, 200 + 90 * i, 1300, 200 + 90 * i)
    tv.solid()
    for i, w in enumerate((1, 3, 6, 10, 20, 40)):
        tv.linwid(w)
        tv.line(1600, 250 + 130 * i, 2700, 250 + 130 * i)
    tv.linwid(1)
    tv.clpwin(200, 1100, 1100, 800)
    for k in range(0, 60):
        tv.line(200 + 40 * k, 1100, 200, 1100 + 40 * k)
