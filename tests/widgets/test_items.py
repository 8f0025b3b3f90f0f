"""Item lists: plain string functions that need no display."""
import pytest


def test_count_and_pick_items(tv):
    assert tv.itmcnt("") == 0
    assert tv.itmcnt("one") == 1
    assert tv.itmcnt("a||b|") == 4        # empty items count
    assert [tv.itmstr("a||b|", i) for i in range(1, 5)] == ["a", "", "b", ""]
    assert tv.itmstr("éx|ü", 2) == "ü"


def test_out_of_range_item_warns_and_gives_nothing(tv, capfd):
    assert tv.itmstr("a|b", 3) == ""
    assert tv.itmstr("", 1) == ""
    out = capfd.readouterr().out
    assert out.count("Warning 2: Incorrect parameter in itmstr!   ( 3)") == 1


def test_concatenation_builds_lists_that_widgets_take(tv):
    clis = ""
    for item in ["x", "", "z"]:
        clis = tv.itmcat(clis, item)
    assert clis == "x||z"
    assert tv.itmcnt(clis) == 3
    assert tv.itmncat("ab", 5, "cd") == "ab|cd"


def test_concatenation_beyond_the_room_warns_and_keeps_the_list(tv, capfd):
    assert tv.itmncat("ab", 4, "cd") == "ab"
    assert tv.itmncat("ab", 0, "cd") == "ab"
    big = "x" * 32760
    assert tv.itmcat(big, "1234567") == big    # 32768 characters would not fit
    assert tv.itmcat(big, "123456") == big + "|123456"
    out = capfd.readouterr().out
    assert out.count("Warning 206: Item list too long") == 2
    assert "Incorrect parameter in itmncat!" in out


def test_separator_can_be_changed(tv):
    tv.swgmix(";", "SEP")
    assert tv.itmcnt("a|b;c") == 2
    assert tv.itmcat("a", "b") == "a;b"
    assert tv.itmstr("a|b;c", 1) == "a|b"


@pytest.mark.parametrize("level_call", ["before", "during"])
def test_item_routines_work_at_every_level(tv, level_call, capfd):
    if level_call == "during":
        tv.metafl("VIRT")
        tv.tavini()
    assert tv.itmcnt("a|b") == 2
    assert "Incorrect level" not in capfd.readouterr().out
