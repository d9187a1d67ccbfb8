"""Each character-stage option switched on and off inside every preset.

A probe is chosen so that no other stage of any preset changes it; where a
preset's own stage would hide the effect (remove_symbols deletes quotes and
dashes either way), the probe switches that stage off and says so.
"""

import pytest

from zenkor import Normalizer

PRESETS = ["none", "neologdn_compat", "for_search", "for_display", "for_compare"]

# name, options when on, options when off, other options, text, want on, want off
PROBES = [
    ("variation selectors", {"remove_variation_selectors": True}, {"remove_variation_selectors": False}, {},
     "葛\U000E0100", "葛", "葛\U000E0100"),
    ("kyujitai", {"kyujitai_to_shinjitai": True}, {"kyujitai_to_shinjitai": False}, {},
     "國", "国", "國"),
    ("itaiji", {"unify_itaiji": True}, {"unify_itaiji": False}, {},
     "嶋", "島", "嶋"),
    ("quotes", {"unify_quotes": True}, {"unify_quotes": False}, {"remove_symbols": False},
     "“引用”", '"引用"', "“引用”"),
    ("hyphens", {"unify_hyphens": True}, {"unify_hyphens": False}, {"remove_symbols": False},
     "a−b", "a-b", "a−b"),
    ("tildes", {"unify_tildes": True}, {"unify_tildes": False}, {"remove_symbols": False},
     "a∼b", "a〜b", "a∼b"),
    ("prolonged", {"unify_prolonged": True}, {"unify_prolonged": False}, {"unify_hyphens": False},
     "カ─ド", "カード", "カ─ド"),
    ("prolonged run", {"collapse_prolonged_run": True}, {"collapse_prolonged_run": False}, {"repeat_limit": None},
     "ラーーーメン", "ラーメン", "ラーーーメン"),
    ("emoji remove", {"emoji": "remove"}, {"emoji": "keep"}, {},
     "今日は😀です", "今日はです", "今日は😀です"),
    ("emoji placeholder", {"emoji_placeholder": "絵"}, {"emoji": "keep"}, {},
     "今日は😀😀です", "今日は絵です", "今日は😀😀です"),
    ("cjk compat", {"remove_cjk_compat": True}, {"remove_cjk_compat": False}, {},
     "a⓫b", "ab", "a⓫b"),
    ("symbols", {"remove_symbols": True}, {"remove_symbols": False}, {},
     "東京、大阪", "東京大阪", "東京、大阪"),
    ("repeat", {"repeat_limit": 2}, {"repeat_limit": None}, {},
     "ああああ", "ああ", "ああああ"),
    ("lower", {"case": "lower"}, {"case": "keep"}, {},
     "ABC", "abc", "ABC"),
    ("upper", {"case": "upper"}, {"case": "keep"}, {},
     "abc", "ABC", "abc"),
    ("spaces", {"collapse_spaces": True}, {"collapse_spaces": False}, {},
     "a \t b", "a b", "a \t b"),
    ("spacing remove", {"cjk_spacing": "remove"}, {"cjk_spacing": "keep"}, {},
     "日本 語", "日本語", "日本 語"),
    ("spacing insert", {"cjk_spacing": "insert"}, {"cjk_spacing": "keep"}, {},
     "漢字abc", "漢字 abc", "漢字abc"),
]  # fmt: skip


@pytest.mark.parametrize("preset", PRESETS)
@pytest.mark.parametrize(("on", "off", "other", "text", "want_on", "want_off"),
                         [p[1:] for p in PROBES], ids=[p[0] for p in PROBES])
def test_option_inside_preset(preset, on, off, other, text, want_on, want_off):
    assert Normalizer(preset, **other, **on).normalize(text) == want_on
    assert Normalizer(preset, **other, **off).normalize(text) == want_off



@pytest.mark.parametrize(
    ("preset", "text", "want"),
    [
        ("for_search", "國髙 “ｱ─ト” 😀", '国高 "アート"'),
        ("for_compare", "國學、ＡＢＣ ラーーーメン！！！", "国学abcラーメン"),
        ("neologdn_compat", "ｱ───ト  ～", "アート 〜"),
        ("for_display", "ｱ─ト", "アート"),
    ],
)
def test_presets_combine_character_stages(preset, text, want):
    assert Normalizer(preset).normalize(text) == want
