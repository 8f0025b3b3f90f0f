"""What the widgets look like, read back from the X server: colours given by the caller,
progress bars, images and texts outside ASCII."""
from widget_driver import needs_callbacks


def test_colours_progress_and_images_reach_the_screen(dialog):
    d = dialog("""
        ip = t.wgini('VERT')
        t.swgclr(0.0, 0.5, 0.0, 'BACK')
        lab = t.wglab(ip, 'green face')
        t.swgclr(0, 0, 0, 'DEFAULT')
        t.swgclr(1.0, 0.0, 0.0, 'BAR')
        t.swgwth(-200)
        pb = t.wgpbar(ip, 0.0, 10.0, 2.0)
        t.swgclr(0, 0, 0, 'DEFAULT')
        t.swgtyp('NOVALUE', 'PBAR')
        pn = t.wgpbar(ip, 0.0, 10.0, 0.0)
        img = bytes([0, 0, 255] * (8 * 4) + [255, 255, 0] * (8 * 4))   # blue over yellow
        im = t.wgimg(ip, '', img, 8, 8)
        t.swgval(pb, 5.0)      # drawn in steps of 2: 4 of 10
        t.swgval(pn, 99.0)     # full
        t.swgbgd(lab, 0.0, 0.0, 1.0)   # a widget changed after it was made
        show(lab=lab, pb=pb, pn=pn, im=im)
        import time; time.sleep(30)
    """)
    lab = d.pixels("lab")
    assert lab.getpixel((lab.width - 2, lab.height // 2)) == (0, 0, 255)
    pb = d.pixels("pb")
    row = [pb.getpixel((x, pb.height // 2)) for x in range(2, pb.width - 2)]
    red = sum(1 for p in row if p == (255, 0, 0))
    assert abs(red - 0.4 * (pb.width - 4)) <= 2
    pn = d.pixels("pn")
    assert pn.getpixel((pn.width - 4, pn.height // 2)) == (0x3C, 0x78, 0xD8)
    assert pn.getpixel((pn.width // 2, pn.height // 2)) == (0x3C, 0x78, 0xD8)   # no value text
    im = d.pixels("im")
    mid = im.height // 2   # the image is centred on the text line
    assert im.getpixel((3, mid - 2)) == (0, 0, 255) and im.getpixel((3, mid + 2)) == (255, 255, 0)


@needs_callbacks
def test_typed_accents_arrive_as_utf8_and_long_texts_scroll(dialog):
    d = dialog("""
        ip = t.wgini('VERT')
        tx = t.wgtxt(ip, 'Größe')
        st = t.wgstxt(ip, 2, 3)
        for i in range(5):
            t.swgatt(st, 'line %d' % i, 'APPEND')   # only the last 3 lines are kept
        t.swgcbk(tx, lambda i: print('TXT', t.gwgtxt(i).encode('utf-8').hex(), flush=True))
        show(ip=ip, tx=tx)
        print('STXT', repr(t.gwgtxt(st)), flush=True)
        t.wgfin()
    """)
    assert d.expect("STXT") == "STXT 'line 2\\nline 3\\nline 4'"
    d.click("tx", 10, 8)
    d.key("End", "eacute", "Return")
    assert d.expect("TXT") == "TXT " + "Größeé".encode("utf-8").hex()
    d.type("x" * 80)   # far wider than the field: the text scrolls, nothing is lost
    d.key("Return")
    assert d.expect("TXT") == "TXT " + ("Größeé" + "x" * 80).encode("utf-8").hex()
