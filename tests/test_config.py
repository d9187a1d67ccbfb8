"""Options, presets and their messages, as seen from Python."""

import pytest

import zenkor
from zenkor import Normalizer

KEYS = [
    "normalize_newlines", "remove_zero_width", "remove_control", "remove_bidi_control",
    "kansuji_to_arabic", "arabic_to_kansuji", "canonicalize_numbers", "nfkc",
    "halfwidth_kana_to_fullwidth", "kana", "kyujitai_to_shinjitai", "unify_itaiji",
    "remove_variation_selectors", "expand_iteration_marks", "unify_loanword_kana",
    "strip_trailing_prolonged", "case", "cjk_spacing", "era_to_western", "unify_hyphens",
    "unify_tildes", "unify_prolonged", "collapse_prolonged_run", "repeat_limit",
    "collapse_spaces", "trim", "expand_cjk_compat", "remove_symbols", "remove_cjk_compat",
    "unify_quotes", "protect_urls", "protect_emails", "protect_mentions", "protect_hashtags",
    "emoji", "emoji_placeholder", "url_wrap",
]
PRESETS = ["none", "neologdn_compat", "for_search", "for_display", "for_compare"]

# Options that differ from the none preset, per preset (the rest equal none's).
PRESET_DIFF = {
    "none": {},
    "neologdn_compat": dict(
        normalize_newlines=True, remove_zero_width=True, remove_control=True, remove_bidi_control=True,
        nfkc=True, halfwidth_kana_to_fullwidth=True, unify_hyphens=True, unify_tildes=True,
        unify_prolonged=True, collapse_prolonged_run=True, collapse_spaces=True, trim=True,
    ),
    "for_search": dict(
        normalize_newlines=True, remove_zero_width=True, remove_control=True, remove_bidi_control=True,
        nfkc=True, halfwidth_kana_to_fullwidth=True, kyujitai_to_shinjitai=True, unify_itaiji=True,
        remove_variation_selectors=True, expand_iteration_marks=True, unify_loanword_kana=True,
        strip_trailing_prolonged=True, case="lower", era_to_western=True, unify_hyphens=True,
        unify_tildes=True, unify_prolonged=True, collapse_prolonged_run=True, repeat_limit=2,
        collapse_spaces=True, trim=True, expand_cjk_compat=True, unify_quotes=True, protect_urls=True,
        protect_emails=True, protect_mentions=True, protect_hashtags=True, emoji="remove",
    ),
    "for_display": dict(halfwidth_kana_to_fullwidth=True, unify_prolonged=True, trim=True),
    "for_compare": dict(
        normalize_newlines=True, remove_zero_width=True, remove_control=True, remove_bidi_control=True,
        kansuji_to_arabic=True, canonicalize_numbers=True, nfkc=True, halfwidth_kana_to_fullwidth=True,
        kyujitai_to_shinjitai=True, unify_itaiji=True, remove_variation_selectors=True,
        expand_iteration_marks=True, unify_loanword_kana=True, strip_trailing_prolonged=True,
        case="lower", cjk_spacing="remove", era_to_western=True, unify_hyphens=True, unify_tildes=True,
        unify_prolonged=True, collapse_prolonged_run=True, repeat_limit=2, collapse_spaces=True,
        trim=True, expand_cjk_compat=True, remove_symbols=True, remove_cjk_compat=True,
        unify_quotes=True, emoji="remove",
    ),
}

NONE_CONFIG = {key: False for key in KEYS} | dict(
    kana="keep", case="keep", cjk_spacing="keep", emoji="keep",
    repeat_limit=None, emoji_placeholder=None, url_wrap=None,
)


@pytest.mark.parametrize("preset", PRESETS)
def test_preset_config_is_exact_and_in_key_order(preset):
    # The options listed here are released: their names, their order and
    # their preset values stay.  An option added later may stand anywhere
    # among them (its own tests hold its values), and the README's table,
    # written from the library, lists it.
    config = Normalizer(preset).config
    released = {key: value for key, value in config.items() if key in KEYS}
    assert list(released) == KEYS
    assert released == NONE_CONFIG | PRESET_DIFF[preset]
    assert repr(Normalizer(preset)) == f"Normalizer(preset='{preset}')"


def test_default_preset_is_neologdn_compat():
    for n in (Normalizer(), Normalizer(None), Normalizer(preset=None)):
        assert n.config == Normalizer("neologdn_compat").config
        assert repr(n) == "Normalizer(preset='neologdn_compat')"


def test_presets_list_is_fresh_each_call():
    first = Normalizer.presets()
    assert first == PRESETS
    first.append("mine")
    assert Normalizer.presets() == PRESETS


@pytest.mark.parametrize("preset", PRESETS)
def test_positional_keyword_and_static_preset_agree(preset):
    assert Normalizer(preset).config == Normalizer(preset=preset).config == Normalizer.preset(preset).config


@pytest.mark.parametrize(
    "name", ["None", "For_Search", " for_search", "for_search ", "", "neologdn-compat", "\u3000none"]
)
def test_unknown_preset_names(name):
    valid = "(valid: none, neologdn_compat, for_search, for_display, for_compare)"
    for make in (lambda: Normalizer(name), lambda: Normalizer.preset(name), lambda: zenkor.normalize("x", name)):
        with pytest.raises(ValueError) as err:
            make()
        assert str(err.value).endswith(valid)
    with pytest.raises(ValueError, match="^unknown preset: \"\" ") if name == "" else pytest.raises(ValueError):
        Normalizer(name)


@pytest.mark.parametrize(
    "options, error, message",
    [
        (dict(nfkc=1), TypeError, 'option "nfkc" must be bool'),
        (dict(nfkc=None), TypeError, 'option "nfkc" must be bool'),
        (dict(trim="yes"), TypeError, 'option "trim" must be bool'),
        (dict(repeat_limit=0), ValueError, 'option "repeat_limit": must be >= 1 (use None to disable)'),
        (dict(repeat_limit=True), TypeError, 'option "repeat_limit" must be int >= 1 or None'),
        (dict(repeat_limit=-1), TypeError, 'option "repeat_limit" must be a non-negative int'),
        (dict(repeat_limit=-(2**63)), TypeError, 'option "repeat_limit" must be a non-negative int'),
        (dict(repeat_limit=-(2**63) - 1), TypeError, 'option "repeat_limit" has unsupported type int'),
        (dict(repeat_limit=2**64), TypeError, 'option "repeat_limit" has unsupported type int'),
        (dict(repeat_limit=1.0), TypeError, 'option "repeat_limit" has unsupported type float'),
        (dict(case="none"), ValueError, 'option "case": must be one of keep, lower, upper (got "none")'),
        (dict(case="LOWER"), ValueError, 'option "case": must be one of keep, lower, upper (got "LOWER")'),
        (dict(kana="katakana"), ValueError,
         'option "kana": must be one of keep, hira_to_kata, kata_to_hira (got "katakana")'),
        (dict(cjk_spacing=""), ValueError, 'option "cjk_spacing": must be one of keep, remove, insert (got "")'),
        (dict(cjk_spacing=True), TypeError, 'option "cjk_spacing" must be str'),
        (dict(emoji="insert"), ValueError,
         'option "emoji": must be keep or remove (got "insert"); use emoji_placeholder to replace'),
        (dict(emoji=None), TypeError, 'option "emoji" must be str'),
        (dict(emoji_placeholder=3), TypeError, 'option "emoji_placeholder" must be str or None'),
        (dict(url_wrap="<>"), TypeError, 'option "url_wrap" must be a (prefix, suffix) pair or None'),
        (dict(url_wrap=["<", ">"]), TypeError, 'option "url_wrap" has unsupported type list'),
        (dict(url_wrap=("<", ">", "!")), TypeError, 'option "url_wrap" has unsupported type tuple'),
        (dict(url_wrap=("<", 1)), TypeError, 'option "url_wrap" has unsupported type tuple'),
        (dict(preset_name="x"), TypeError, 'unknown option "preset_name"; see Normalizer.config for valid keys'),
        (dict(Trim=True), TypeError, 'unknown option "Trim"; see Normalizer.config for valid keys'),
        (dict(bogus=1.5), TypeError, 'option "bogus" has unsupported type float'),
        (dict(case='a"b\\c\n\t\u200b'), ValueError,
         'option "case": must be one of keep, lower, upper (got "a\\"b\\\\c\\n\\t\\u{200b}")'),
        (dict(case="全角"), ValueError, 'option "case": must be one of keep, lower, upper (got "全角")'),
        # Marks that would fuse with the quote before them are escaped; spaces
        # other than U+0020 are not printable.
        (dict(case="\u0301x\u3099\uff9e\u3000 "), ValueError,
         'option "case": must be one of keep, lower, upper (got "\\u{301}x\\u{3099}\\u{ff9e}\\u{3000} ")'),
        (dict(kansuji_to_arabic=True, arabic_to_kansuji=True), ValueError,
         'option "arabic_to_kansuji": kansuji_to_arabic and arabic_to_kansuji cannot both be enabled'),
    ],
)
def test_option_errors(options, error, message):
    with pytest.raises(error) as err:
        Normalizer("none", **options)
    assert str(err.value) == message


def test_cross_option_rule_sees_the_preset():
    with pytest.raises(ValueError, match="cannot both be enabled"):
        Normalizer("for_compare", arabic_to_kansuji=True)
    assert Normalizer("for_compare", arabic_to_kansuji=True, kansuji_to_arabic=False).config["arabic_to_kansuji"]


def test_first_error_wins_in_keyword_order():
    with pytest.raises(TypeError, match="nfkc"):
        Normalizer("none", nfkc=1, case="bad")
    with pytest.raises(ValueError, match="case"):
        Normalizer("none", case="bad", nfkc=1)


def test_numpy_scalars_are_bools_and_ints():
    np = pytest.importorskip("numpy")
    assert Normalizer("none", nfkc=np.bool_(True)).config["nfkc"] is True
    assert Normalizer("none", nfkc=np.bool_(False)).config["nfkc"] is False
    assert Normalizer("none", repeat_limit=np.int64(3)).config["repeat_limit"] == 3
    assert Normalizer("none", repeat_limit=np.uint64(2**64 - 1)).config["repeat_limit"] == 2**64 - 1
    with pytest.raises(TypeError, match='^option "repeat_limit" must be a non-negative int$'):
        Normalizer("none", repeat_limit=np.int8(-1))
    with pytest.raises(TypeError, match='^option "nfkc" must be bool$'):
        Normalizer("none", nfkc=np.int64(1))
    with pytest.raises(TypeError, match='^option "repeat_limit" has unsupported type float64$'):
        Normalizer("none", repeat_limit=np.float64(2.0))


@pytest.mark.parametrize(
    "preset, options, emoji, placeholder",
    [
        ("none", dict(emoji_placeholder="[E]"), "keep", "[E]"),
        ("none", dict(emoji_placeholder=""), "keep", ""),
        ("none", dict(emoji_placeholder="[E]", emoji="remove"), "remove", None),
        ("none", dict(emoji="remove", emoji_placeholder="[E]"), "keep", "[E]"),
        ("none", dict(emoji_placeholder="[E]", emoji="keep"), "keep", None),
        ("for_search", dict(emoji_placeholder=None), "remove", None),
    ],
)
def test_emoji_views_share_one_field(preset, options, emoji, placeholder):
    config = Normalizer(preset, **options).config
    assert (config["emoji"], config["emoji_placeholder"]) == (emoji, placeholder)


def test_clearing_a_placeholder_leaves_keep():
    config = Normalizer("none", emoji_placeholder="[E]").config
    config["emoji_placeholder"] = None
    assert Normalizer(**config).config["emoji"] == "keep"


@pytest.mark.parametrize(
    "options, protect_urls",
    [
        (dict(url_wrap=("<", ">")), True),
        (dict(url_wrap=("<", ">"), protect_urls=False), False),
        (dict(protect_urls=False, url_wrap=("<", ">")), True),
        (dict(url_wrap=None), False),
    ],
)
def test_url_wrap_turns_protection_on_in_keyword_order(options, protect_urls):
    config = Normalizer("none", **options).config
    assert config["protect_urls"] is protect_urls
    assert config["url_wrap"] == options["url_wrap"]


@pytest.mark.parametrize(
    "preset, options",
    [
        ("for_search", dict(case="upper")),
        ("none", dict(repeat_limit=7, url_wrap=("[", "]"), kana="kata_to_hira")),
        ("for_display", dict(emoji_placeholder="<emoji>", cjk_spacing="insert")),
        ("for_compare", dict(kansuji_to_arabic=False, arabic_to_kansuji=True)),
    ],
)
def test_config_round_trips_and_repr_lists_all_options(preset, options):
    n = Normalizer(preset, **options)
    copy = Normalizer(**n.config)
    assert copy.config == n.config
    text = repr(copy)
    assert text.startswith("Normalizer(normalize_newlines=") and text.endswith(")")
    for key, value in n.config.items():
        assert f"{key}={value!r}" in text


def test_config_equal_to_a_preset_is_shown_as_that_preset():
    assert repr(Normalizer("none", nfkc=False)) == "Normalizer(preset='none')"
    none, display = Normalizer("none").config, Normalizer("for_display").config
    differences = {key: value for key, value in display.items() if value != none[key]}
    assert repr(Normalizer("none", **differences)) == "Normalizer(preset='for_display')"
    assert repr(Normalizer("none", emoji_placeholder="")) != "Normalizer(preset='none')"


def test_config_is_a_fresh_dict():
    n = Normalizer()
    n.config["nfkc"] = False
    assert n.config["nfkc"] is True
