"""Invariants of the character stages over arbitrary text."""

from hypothesis import given, settings
from hypothesis import strategies as st

import pytest

from zenkor import Normalizer

# Characters the stages care about, mixed into arbitrary text so that runs,
# neighbours and range ends actually occur.
NOTABLE = list(
    "  \t\u3000\n,.:-~1234abcABC日本語國髙𠮷アーｰ─━〜～“”‘’「」！!、。①㈱﨑😀👍🏽🇯🇵\u200d\ufe0f\ufe0e\U000E0100ΣßİＡ０"
)
TEXT = st.text(
    alphabet=st.one_of(st.sampled_from(NOTABLE), st.characters(blacklist_categories=("Cs",))),
    max_size=40,
)

# Stages that only ever delete characters.
DELETING = [
    {"remove_variation_selectors": True},
    {"collapse_prolonged_run": True},
    {"emoji": "remove"},
    {"remove_cjk_compat": True},
    {"repeat_limit": 1},
    {"cjk_spacing": "remove"},
]

# Stages whose second run changes nothing.
IDEMPOTENT = DELETING + [
    {"kyujitai_to_shinjitai": True, "unify_itaiji": True},
    {"unify_quotes": True},
    {"unify_hyphens": True},
    {"unify_prolonged": True},
    {"unify_hyphens": True, "unify_tildes": True, "unify_prolonged": True},
    {"remove_symbols": True},
    {"repeat_limit": 3},
    {"collapse_spaces": True},
    {"cjk_spacing": "insert"},
]


def is_subsequence(small, big):
    it = iter(big)
    return all(ch in it for ch in small)


@pytest.mark.parametrize("options", DELETING, ids=str)
@settings(max_examples=150)
@given(text=TEXT)
def test_deleting_stages_keep_a_subsequence(options, text):
    out = Normalizer("none", **options).normalize(text)
    assert is_subsequence(out, text)


@pytest.mark.parametrize("options", IDEMPOTENT, ids=str)
@settings(max_examples=150)
@given(text=TEXT)
def test_second_run_changes_nothing(options, text):
    n = Normalizer("none", **options)
    once = n.normalize(text)
    assert n.normalize(once) == once
