"""The event loop: how it ends, what it does meanwhile (threads, reawgt, the window hook,
drawing into a draw widget) and what inactive and hidden widgets do."""
from widget_driver import needs_callbacks

pytestmark = needs_callbacks


def test_a_worker_thread_updates_a_progress_bar_and_ends_the_loop(dialog):
    d = dialog("""
        import threading, time
        ip = t.wgini('VERT')
        pb = t.wgpbar(ip, 0, 200, 0)
        lab = t.wglab(ip, 'working')
        def work():
            for i in range(21):
                t.swgval(pb, i * 10)
                t.swgtxt(lab, 'step %d' % i)
                time.sleep(0.01)
            print('WORKED', t.gwgscl(pb), t.gwgtxt(lab), flush=True)
            t.sendok()
        show(ip=ip, pb=pb)
        threading.Thread(target=work).start()
        t.wgfin()
        print('END', t.gwgatt(ip, 'EXIT'), flush=True)
    """)
    assert d.expect("WORKED", 20) == "WORKED 200.0 step 20"
    assert d.finish().endswith("END 4")


def test_a_script_of_its_own_keeps_the_dialog_alive_with_reawgt(dialog):
    d = dialog("""
        import time
        ip = t.wgini('VERT')
        pb = t.wgpbut(ip, 'Stop')
        pressed = []
        t.swgcbk(pb, pressed.append)
        show(ip=ip, pb=pb)
        end = time.monotonic() + 20
        n = 0
        while not pressed and time.monotonic() < end:
            t.reawgt()
            n += 1
            time.sleep(0.01)
        print('PRESSED', pressed, n > 1, flush=True)
        t.sendok()
        t.wgfin()   # returns at once after sendok
        print('END', t.gwgatt(ip, 'EXIT'), flush=True)
    """)
    d.click("pb", 10, 10)
    assert d.expect("PRESSED") == f"PRESSED [{d.id['pb']}] True"
    assert d.finish().endswith("END 4")


def test_closing_the_window_ends_the_loop_unless_told_otherwise(dialog):
    d = dialog("""
        ip = t.wgini('VERT')
        t.swgopt('NONE', 'CLOSE')   # for the main window being built, and the next ones
        b1 = t.wgpbut(ip, 'Stop')
        t.swgcbk(b1, lambda i: t.sendok())
        ip2 = t.wgini('VERT')   # a second, independent main window
        t.swgopt('OK', 'CLOSE')
        t.wglab(ip2, 'Second')
        show(ip=ip, ip2=ip2, b1=b1)
        t.wgfin()    # runs the newest main window
        print('END2', t.gwgatt(ip2, 'EXIT'), flush=True)
        t.wgfin()
        print('END1', t.gwgatt(ip, 'EXIT'), flush=True)
    """)
    d.close_window("ip2")
    assert d.expect("END2") == "END2 3"
    d.close_window("ip")   # ignored: the loop goes on
    d.click("b1", 10, 10)
    assert d.finish().endswith("END1 4")


def test_a_callback_that_raises_does_not_end_the_loop(dialog):
    d = dialog("""
        ip = t.wgini('VERT')
        pb = t.wgpbut(ip, 'Fail')
        ok = t.wgok(ip)
        def fail(i):
            print('FAILING', i, flush=True)
            raise RuntimeError('boom')
        t.swgcbk(pb, fail)
        show(ip=ip, pb=pb, ok=ok)
        t.wgfin()
        print('END', t.gwgatt(ip, 'EXIT'), flush=True)
    """)
    d.click("pb", 10, 10)
    d.expect("FAILING")
    d.click("pb", 10, 10)
    d.expect("FAILING")
    d.click("ok", 10, 10)
    out = d.finish()
    assert "RuntimeError: boom" in out and out.endswith("END 1")


def test_inactive_and_hidden_widgets_take_no_input(dialog):
    d = dialog("""
        ip = t.wgini('VERT')
        a = t.wgpbut(ip, 'A')
        b = t.wgpbut(ip, 'B')
        c = t.wgtxt(ip, 'text')
        ok = t.wgok(ip)
        t.swgatt(a, 'INACTIVE', 'STATUS')
        t.swgcbk(a, lambda i: print('A', i, flush=True))
        def on_b(i):
            print('B', i, t.gwgatt(a, 'STATUS'), flush=True)
            t.swgatt(a, 'ACTIVE', 'STATUS')
            t.swgatt(c, 'OFF', 'VISIBLE')
            print('SIZE', t.gwgsiz(ip), flush=True)
        t.swgcbk(b, on_b)
        print('SIZE', t.gwgsiz(ip), flush=True)
        show(ip=ip, a=a, b=b, ok=ok)
        t.wgfin()
    """)
    h0 = int(d.seen[0].split()[-1].rstrip(")"))
    d.click("a", 10, 10)
    d.click("b", 10, 10)
    assert d.expect("B") == f"B {d.id['b']} 0"
    h1 = int(d.expect("SIZE").split()[-1].rstrip(")"))
    assert h1 < h0   # the hidden text field takes no room
    d.click("a", 10, 10)
    assert d.expect("A") == f"A {d.id['a']}"
    d.click("ok", 10, 10)
    assert d.finish().count("A ") == 1


def test_scales_move_on_their_grid_by_keyboard_and_pointer(dialog):
    d = dialog("""
        ip = t.wgini('VERT')
        sc = t.wgscl(ip, 'Speed', 0, 10, 5, 1)
        st = t.wgscl(ip, 'Steps', 0, 10, 4, 0)
        t.swgstp(st, 2)
        t.swgray(st, [1, 2, 3, 5, 8], 5, 'SCALE')   # only these values; 4 became 3 or 5
        ok = t.wgok(ip)
        t.swgcb3(sc, lambda i, v: print('SC', t.gwgscl(i), v, flush=True))
        t.swgcb3(st, lambda i, v: print('ST', t.gwgscl(i), v, flush=True))
        print('START', t.gwgscl(st), t.gwgsiz(sc)[0], flush=True)
        show(ip=ip, sc=sc, st=st, ok=ok)
        t.wgfin()
    """)
    start, value, width = d.seen[0].split()
    assert value == "3.0"
    y = 30   # the track is below the label line; its thumb is 12 pixels wide
    d.click("sc", 2 + (int(width) - 16) // 2 + 6, y)   # a click on the thumb does not move it
    d.key("Right")
    assert d.expect("SC") == "SC 5.1 5"
    d.key("End")
    assert d.expect("SC") == "SC 10.0 10"
    d.key("Page_Down")
    assert d.expect("SC") == "SC 9.0 9"
    d.click("st", 2, y)   # far left: the smallest value
    assert d.expect("ST") == "ST 1.0 1"
    d.key("Right", "Right", "Right")
    assert d.expect("ST") == "ST 2.0 2"
    assert d.expect("ST") == "ST 3.0 3"
    assert d.expect("ST") == "ST 5.0 5"
    d.click("ok", 10, 10)
    d.finish()


def test_window_hook_reports_new_and_changed_sizes(dialog):
    d = dialog("""
        t.wincbk(lambda *a: print('WIN', *a, flush=True), 'SIZE')
        ip = t.wgini('VERT')
        t.swgdrw(0.5)
        dr = t.wgdraw(ip)
        ok = t.wgok(ip)
        show(ip=ip, dr=dr, ok=ok)
        t.wgfin()
    """)
    first = {}
    for _ in range(2):
        f = d.expect("WIN").split()
        first[int(f[1])] = tuple(map(int, f[4:]))
    w0, h0 = first[d.id["ip"]]
    assert first[d.id["dr"]] == (400, 200)
    d.xdo("windowsize", d.xid["ip"], w0 + 100, h0 + 50)
    later = {}
    for _ in range(2):
        f = d.expect("WIN").split()
        later[int(f[1])] = tuple(map(int, f[4:]))
    assert later[d.id["ip"]] == (w0 + 100, h0 + 50)
    assert later[d.id["dr"]] == (500, 250)   # a draw widget keeps its shape
    d.click("ok", 10, 10)
    d.finish()


def test_the_screen_driver_draws_into_a_draw_widget(dialog):
    d = dialog("""
        ip = t.wgini('VERT')
        t.swgdrw(0.5)
        dr = t.wgdraw(ip)
        pb = t.wgpbut(ip, 'Plot')
        ok = t.wgok(ip)
        def plot(i):
            t.setxid(t.gwgxid(dr), 'WIND')
            t.metafl('XWIN')
            t.tavini()
            t.winmod('NONE')
            t.recfll(0, 0, 2969, 2099, t.intrgb(1.0, 0.0, 0.0))
            t.tavfin()
            print('PLOTTED', flush=True)
        t.swgcbk(pb, plot)
        show(ip=ip, dr=dr, pb=pb, ok=ok)
        t.wgfin()
        # the page window of the plot outlives the dialog; the next plot must not stumble on it
        t.setxid(0, 'NONE')
        t.metafl('XWIN')
        t.tavini()
        t.winmod('NONE')
        t.tavfin()
        print('AGAIN', t.getlev(), flush=True)
    """)
    before = d.pixels("dr")
    assert before.getpixel((200, 100)) == (255, 255, 255)
    d.click("pb", 10, 10)
    d.expect("PLOTTED")
    after = d.pixels("dr")
    assert after.getpixel((200, 100)) == (255, 0, 0) and after.getpixel((5, 5)) == (255, 0, 0)
    d.click("ok", 10, 10)
    assert "AGAIN 0" in d.finish()


def test_deleting_the_record_closes_open_dialogs(dialog):
    d = dialog("""
        ip = t.wgini('VERT')
        pb = t.wgpbut(ip, 'Go')
        t.swgcbk(pb, lambda i: print('PRESSED', flush=True))
        show(ip=ip, pb=pb)
        import time
        t.reawgt()
        time.sleep(0.3)
        t.delglb()
        print('DELETED', t.wgini('HORI'), flush=True)
        time.sleep(0.3)
        print('GONE', flush=True)
        time.sleep(20)   # still running while the test looks for the window
    """)
    d.expect("DELETED 1")
    d.expect("GONE")
    r = d.xdo_result("getwindowname", d.xid["ip"])
    assert r.returncode != 0   # the window does not exist any more
