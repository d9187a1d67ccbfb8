"""Texts of a megabyte or more take a path of their own through normalize (no input buffer of their
own, buffers given back as soon as they are read): the same results as the traced path of
normalize_with_offsets, which runs every step alone, and the same object for an unchanged text."""

import pytest

from zenkor import Normalizer

MIB = 1 << 20


def huge(corpus_lines, width):
    """The corpus as one text of more than 1 MiB of code units, stored `width` bytes a character."""
    text = "\n".join(corpus_lines)
    if width == 1:
        text = "".join(c for c in text if c <= "\xff")
    elif width == 4:
        text = text.replace("\n", " \U0001f600\n", 2000)
    text = (text * (1 + MIB // len(text)))[: MIB // width + 1000]
    return f" \u3000{text}\t\n"  # white space at both ends, for trim


@pytest.mark.parametrize("width", [1, 2, 4])
def test_huge_texts_give_what_the_traced_path_gives(corpus_lines, preset, width):
    n = Normalizer(preset)
    text = huge(corpus_lines, width)
    assert n.normalize(text) == n.normalize_with_offsets(text)[0]


def test_huge_texts_with_protected_spans(corpus_lines):
    n = Normalizer("for_search", url_wrap=("<", ">"))
    text = huge(corpus_lines, 2).replace("\n", " https://example.com/Ａ @someone #タグ\n", 5000)
    assert n.normalize(text) == n.normalize_with_offsets(text)[0]


def test_a_huge_text_the_steps_leave_as_it_is_comes_back_itself():
    # An era's name and a 年 later on: the era step is run, and finds no year to convert.
    text = "明治" + "あ" * MIB + "年"
    assert Normalizer("none", era_to_western=True).normalize(text) is text


def test_a_huge_text_with_a_lone_surrogate_raises():
    with pytest.raises(UnicodeEncodeError):
        Normalizer("for_search").normalize("ｱ" * MIB + "\ud800")
