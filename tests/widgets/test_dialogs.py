"""Dialogs driven like a user would: pointer and keyboard through xdotool on a private X
server, callbacks and getters read back from the dialog's own output."""
from widget_driver import needs_callbacks


@needs_callbacks
def test_typing_into_a_text_field_fires_its_callback_and_ok_ends_the_loop(dialog):
    d = dialog("""
        ip = t.wgini('VERT')
        tx = t.wgtxt(ip, 'abc')
        ok = t.wgok(ip)
        t.swgcbk(tx, lambda i: print('CB', i, t.gwgtxt(i), flush=True))
        show(ip=ip, tx=tx, ok=ok)
        t.wgfin()
        print('END', t.gwgtxt(tx), t.gwgatt(ip, 'EXIT'), flush=True)
    """)
    d.click("tx", 60, 8)
    d.key("End")
    d.type("def")
    d.key("BackSpace", "Return")
    assert d.expect("CB") == f"CB {d.id['tx']} abcde"
    d.click("ok", 10, 10)
    assert "END abcde 1" in d.finish()


@needs_callbacks
def test_lists_boxes_and_checks_report_the_users_choice(dialog):
    d = dialog("""
        ip = t.wgini('VERT')
        ls = t.wglis(ip, 'one|two|three|four', 1)
        bx = t.wgbox(ip, 'red|green|blue', 1)
        ck = t.wgbut(ip, 'Check', 0)
        dl = t.wgdlis(ip, 'alpha|beta|gamma', 1)
        ok = t.wgok(ip)
        t.swgcb3(ls, lambda i, v: print('LIS', i, v, flush=True))
        t.swgcb3(bx, lambda i, v: print('BOX', i, v, flush=True))
        t.swgcbk(ck, lambda i: print('BUT', i, t.gwgbut(i), flush=True))
        t.swgcb3(dl, lambda i, v: print('DLIS', i, v, t.gwgtxt(i), flush=True))
        print('ROW', (t.gwgsiz(ls)[1] - 4) // 4, flush=True)
        show(ip=ip, ls=ls, bx=bx, ck=ck, dl=dl, ok=ok)
        t.wgfin()
        print('END', t.gwglis(ls), t.gwgtxt(ls), t.gwgbox(bx), t.gwgbut(ck), t.gwglis(dl), flush=True)
    """)
    row = int(d.seen[0].split()[1])   # rows of the list and of the box are as high
    d.click("ls", 20, 2 + 2 * row + 5)
    assert d.expect("LIS") == f"LIS {d.id['ls']} 3"
    d.click("bx", 8, 2 + 2 * row + 8)
    assert d.expect("BOX") == f"BOX {d.id['bx']} 3"
    d.click("ck", 8, 8)
    assert d.expect("BUT") == f"BUT {d.id['ck']} 1"
    d.key("space")   # the check button has the focus now
    assert d.expect("BUT") == f"BUT {d.id['ck']} 0"
    d.click("dl", 10, 8)   # the drop-down list opens below itself
    d.key("Down", "Return")
    assert d.expect("DLIS") == f"DLIS {d.id['dl']} 2 beta"
    d.click("ls", 20, 5)
    assert d.expect("LIS") == f"LIS {d.id['ls']} 1"
    d.key("Down")
    assert d.expect("LIS") == f"LIS {d.id['ls']} 2"
    d.click("ok", 10, 10)
    assert "END 2 two 3 0 2" in d.finish()


@needs_callbacks
def test_table_cells_are_edited_and_reported_with_row_and_column(dialog):
    d = dialog("""
        ip = t.wgini('VERT')
        tb = t.wgtbl(ip, 3, 2)
        t.swgtbs(tb, 'Mass', 0, 1, 'VALUE')
        t.swgtbl(tb, [1.5, 2.5, 3.5], 3, 1, 1, 'COLUMN')
        t.swgtbi(tb, 0, 3, 2, 'EDIT')
        ok = t.wgok(ip)
        t.swgcb2(tb, lambda i, r, c: print('CELL', i, r, c, t.gwgtbs(i, r, c), flush=True))
        show(ip=ip, tb=tb, ok=ok)
        t.wgfin()
        col = [0.0] * 3
        t.gwgtbl(tb, col, 3, 1, 'COLUMN')
        print('END', col, t.gwgtbf(tb, 1, 2), t.gwgtbs(tb, 0, 1), flush=True)
    """)
    # the first row of cells is below the header row; the first column right of the row numbers
    d.click("tb", 60, 30)
    assert d.expect("CELL") == f"CELL {d.id['tb']} 1 1 1.5"
    d.type("7.25")
    d.key("Return")   # commits and moves down
    assert d.expect("CELL") == f"CELL {d.id['tb']} 1 1 7.25"
    assert d.expect("CELL") == f"CELL {d.id['tb']} 2 1 2.5"
    d.key("Right")
    assert d.expect("CELL") == f"CELL {d.id['tb']} 2 2 "
    d.key("Up")
    d.type("42")
    d.key("Tab")
    assert d.expect("CELL") == f"CELL {d.id['tb']} 1 2 "
    assert d.expect("CELL") == f"CELL {d.id['tb']} 1 2 42"
    assert d.expect("CELL") == f"CELL {d.id['tb']} 2 1 2.5"   # Tab goes on in the next row
    d.key("Right", "Down", "Down")   # row 3, column 2 cannot be edited: typing changes nothing
    d.type("9")
    d.click("ok", 10, 10)
    out = d.finish()
    assert "END [7.25, 2.5, 3.5] 42.0 Mass" in out
    assert out.count("CELL 2 3 2") == 1 and "CELL 2 3 2 9" not in out


def test_text_list_and_question_dialogs_return_the_answer_or_the_default(dialog):
    d = dialog("""
        show()
        print('TXT', repr(t.dwgtxt('Your name:', 'Bob')), flush=True)
        print('TXT', repr(t.dwgtxt('Again:', 'Bob')), flush=True)
        print('LIS', t.dwglis('Pick one', 'a|b|c|d', 2), flush=True)
        print('BUT', t.dwgbut('Sure?|Really?', 0), t.dwgbut('Sure?', 1), flush=True)
        print('ERR', t.dwgerr('It failed'), flush=True)
        t.dwgmsg('Done')
        print('MSG', flush=True)
    """)
    d.find("Input")
    d.key("End")
    d.type("by")
    d.key("Return")
    assert d.expect("TXT") == "TXT 'Bobby'"
    d.find("Input")
    d.type("zz")
    d.key("Tab", "Tab", "space")   # text field, OK, Cancel: cancelled
    assert d.expect("TXT") == "TXT 'Bob'"
    d.find("List")
    d.key("Down", "Return")
    assert d.expect("LIS") == "LIS 3"
    d.find("Question")
    d.key("Return")   # "No" has the focus
    d.find("Question")
    d.key("Return")
    assert d.expect("BUT") == "BUT 0 1"
    d.find("Error")
    d.key("Tab", "Return")   # from "Retry" to "Ignore"
    assert d.expect("ERR") == "ERR 3"
    d.find("Message")
    d.key("Return")
    d.expect("MSG")
    d.finish()


def test_file_dialog_walks_folders_and_filters_by_mask(dialog, tmp_path):
    (tmp_path / "a.dat").write_text("1")
    (tmp_path / "b.txt").write_text("2")
    (tmp_path / "sub").mkdir()
    (tmp_path / "sub" / "c.dat").write_text("3")
    d = dialog("""
        show()
        print('FIL', t.dwgfil('Open data', '', '*.dat'), flush=True)
        print('FIL', t.dwgfil('Open data', '', '*.dat'), flush=True)
        print('FIL', t.dwgfil('Open data', 'keep.dat', '*.dat'), flush=True)
    """)
    d.find("Open data")
    d.type("sub")
    d.key("Return")    # a folder name enters the folder
    d.type("c.dat")
    d.key("Return")
    assert d.expect("FIL") == "FIL sub/c.dat"
    d.find("Open data")
    # the list holds "../", "sub/" and "a.dat"; b.txt does not match the mask
    d.key("shift+Tab", "Down", "Down", "Down", "Down", "Return")
    assert d.expect("FIL") == "FIL a.dat"
    d.find("Open data")
    d.key("Tab", "Tab", "Tab", "space")   # name, filter, OK, Cancel
    assert d.expect("FIL") == "FIL keep.dat"
    d.finish()


@needs_callbacks
def test_menus_buttons_and_nested_dialogs_call_back_with_ids_and_objects(dialog):
    d = dialog("""
        ip = t.wgini('VERT')
        pop = t.wgpop(ip, 'Actions')
        e1 = t.wgapp(pop, 'First')
        e2 = t.wgapp(pop, 'Second')
        pb = t.wgpbut(ip, 'Ask')
        qt = t.wgquit(ip)
        t.swgcb(e1, lambda i, o: print('E1', i, o, flush=True), 'one')
        t.swgcb(e2, lambda i, o: print('E2', i, o, flush=True), {'k': 2})
        t.swgcbk(e2, lambda i: print('NEWEST', i, flush=True))   # the newest registration wins
        def ask(i):
            print('ASK', i, t.dwgbut('Go on?', 1), flush=True)
        t.swgcbk(pb, ask)
        show(ip=ip, pb=pb, qt=qt)
        t.wgfin()
        print('END', t.gwgatt(ip, 'EXIT'), flush=True)
    """)
    d.click("ip", 12, 8)   # the menu bar at the top of the main window
    d.find("tavero popup")
    d.key("Down", "Return")
    assert d.expect("E1") == f"E1 {d.id['ip'] + 2} one"
    d.click("ip", 12, 8)
    d.find("tavero popup")
    d.key("Down", "Down", "Return")
    assert d.expect("NEWEST") == f"NEWEST {d.id['ip'] + 3}"
    d.click("pb", 10, 10)
    d.find("Question")
    d.click("qt", 10, 10)   # the question is modal: the main window takes no input
    d.key("Return")
    assert d.expect("ASK") == f"ASK {d.id['pb']} 1"
    d.click("qt", 10, 10)
    out = d.finish()
    assert out.endswith("END 2") and out.count("ASK") == 1


@needs_callbacks
def test_long_lists_scroll_by_offset_wheel_and_scroll_bar(dialog):
    d = dialog("""
        ip = t.wgini('VERT')
        ls = t.wglis(ip, '|'.join('i%d' % i for i in range(1, 31)), 0)
        t.swgiop(ls, 5, 'VISLINES')
        t.swgoff(ls, 0, 11)
        ok = t.wgok(ip)
        t.swgcb2(ls, lambda i, item, on: print('LIS', t.gwgtxt(i), item, on, flush=True))
        print('SIZE', t.gwgsiz(ls), flush=True)
        show(ip=ip, ls=ls, ok=ok)
        t.wgfin()
    """)
    width, height = eval(d.seen[0][5:])
    assert (height - 4) % 5 == 0   # five rows and the frame
    d.click("ls", 20, 10)
    assert d.expect("LIS") == "LIS i11 11 1"
    d.click("ls", 20, 10, button=5)   # the wheel scrolls three items
    d.click("ls", 20, 10)
    assert d.expect("LIS") == "LIS i14 14 1"
    d.click("ls", width - 8, height - 4)   # below the thumb: one page down
    d.click("ls", 20, 10)
    assert d.expect("LIS") == "LIS i19 19 1"
    d.click("ok", 10, 10)
    d.finish()


def ink_columns(image, y0, y1):
    """Groups of neighbouring columns with dark pixels in rows y0..y1: (first, last)."""
    cols = [x for x in range(image.width)
            if any(sum(image.getpixel((x, y))) < 300 for y in range(y0, y1))]
    groups = []
    for x in cols:
        if groups and x - groups[-1][1] <= 6:
            groups[-1][1] = x
        else:
            groups.append([x, x])
    return groups


@needs_callbacks
def test_file_widget_command_button_and_the_librarys_menus(dialog, tmp_path):
    (tmp_path / "x.dat").write_text("")
    d = dialog("""
        ip = t.wgini('VERT')
        t.swghlp('Some help|on two lines')
        t.swgpop('OK')
        fl = t.wgfil(ip, 'Data', '', '*.dat')
        cm = t.wgcmd(ip, 'Touch', 'touch made.txt')
        t.swgcbk(fl, lambda i: print('FIL', t.gwgfil(i), flush=True))
        print('WIDTH', t.gwgsiz(fl)[0], flush=True)
        show(ip=ip, fl=fl, cm=cm)
        t.wgfin()
        print('END', t.gwgatt(ip, 'EXIT'), flush=True)
    """)
    width = int(d.seen[0].split()[1])
    d.click("fl", width - 5, 8)   # the "..." button at the right end
    d.find("Data")
    d.type("x.dat")
    d.key("Return")
    assert d.expect("FIL") == "FIL x.dat"
    d.click("cm", 10, 10)
    import time
    end = time.monotonic() + 10
    while not (tmp_path / "made.txt").exists() and time.monotonic() < end:
        time.sleep(0.05)
    assert (tmp_path / "made.txt").exists()
    file_menu, help_menu = ink_columns(d.pixels("ip"), 4, 12)[:2]
    d.click("ip", (help_menu[0] + help_menu[1]) // 2, 8)
    d.find("Message")
    d.key("Return")
    d.click("ip", (file_menu[0] + file_menu[1]) // 2, 8)
    d.find("tavero popup")
    d.key("Down", "Return")   # "OK" of the library's "File" menu
    assert d.finish().endswith("END 1")
