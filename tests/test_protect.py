"""Protected URLs, e-mail addresses, mentions and hashtags."""

import re

import pytest
from hypothesis import assume, given, strategies as st

from zenkor import Normalizer

ALL = dict(protect_urls=True, protect_emails=True, protect_mentions=True, protect_hashtags=True)
URLS = dict(protect_urls=True)
EMAILS = dict(protect_emails=True)
MENTIONS = dict(protect_mentions=True)
HASHTAGS = dict(protect_hashtags=True)


@pytest.mark.parametrize(
    "text, want",
    [
        ("see HTTPS://Example.com/A?b=1. end", "see <HTTPS://Example.com/A?b=1>. end"),
        ("HtTp://x.jp", "<HtTp://x.jp>"),
        ("(http://x.jp/a)", "(<http://x.jp/a>)"),
        ("http://x.jp/!?,.)", "<http://x.jp/>!?,.)"),
        ("http://x.jp/a;b:", "<http://x.jp/a;b:>"),
        ("http://x.jp/p?q=[1]&r='s'#t~u*v$w+x", "<http://x.jp/p?q=[1]&r='s'#t~u*v$w+x>"),
        ("http://example.com日本語", "<http://example.com>日本語"),
        ('http://a.jp/<b>"c"{d}|e\\f^g`h', '<http://a.jp/><b>"c"{d}|e\\f^g`h'),
        ("日本語http://a.jp", "日本語<http://a.jp>"),
        ("xhttp://a.jp", "x<http://a.jp>"),
        ("http://a.jp http://b.jp", "<http://a.jp> <http://b.jp>"),
        ("http://x", "<http://x>"),
        ("https://x", "<https://x>"),
        # Too short, no body, or a body that starts outside ASCII.
        ("http://", "http://"),
        ("https://", "https://"),
        ("http://.", "http://."),
        ("https://日本", "https://日本"),
        ("ftp://x.jp htp://x.jp", "ftp://x.jp htp://x.jp"),
    ],
)
def test_urls_are_wrapped_whole(text, want):
    assert Normalizer("none", url_wrap=("<", ">"), **URLS).normalize(text) == want


def test_only_urls_are_wrapped():
    n = Normalizer("none", url_wrap=("[", "]"), **ALL)
    text = "a@b.jp @bob #tag https://x.jp/@bob#tag"
    assert n.normalize(text) == "a@b.jp @bob #tag [https://x.jp/@bob#tag]"


# Spans are seen through lower-casing: they keep their capitals, plain text
# loses them.
@pytest.mark.parametrize(
    "flags, text, want",
    [
        (EMAILS, "Mail ME@Example.COM now", "mail ME@Example.COM now"),
        (EMAILS, "X.Y+Z%_-@Ex-Am.ple.JP", "X.Y+Z%_-@Ex-Am.ple.JP"),
        (EMAILS, "日本Me@Ex.JP", "日本Me@Ex.JP"),
        # The domain needs a full stop and must not end with one.
        (EMAILS, "Root@Localhost", "root@localhost"),
        (EMAILS, "End Me@Example.COM.", "end me@example.com."),
        (EMAILS, "@Example.COM", "@example.com"),
        (MENTIONS, "@User hi", "@User hi"),
        (MENTIONS, "Hi @User", "hi @User"),
        (MENTIONS, "日本@User", "日本@User"),
        (MENTIONS, "@User.Name", "@User.name"),
        (MENTIONS, "Ab@User 1@User _@User", "ab@user 1@user _@user"),
        (MENTIONS, "@Ä", "@ä"),
        (HASHTAGS, "#Tag_1!", "#Tag_1!"),
        (HASHTAGS, "日本#Tag", "日本#Tag"),
        (HASHTAGS, "Text#Tag #Ä", "text#tag #ä"),
        # A rejected address is tried as a mention at the same sign.
        (ALL, "Me@Ex.COM", "Me@Ex.COM"),
        (ALL, "Hi @Ex.COM", "hi @Ex.com"),
        (ALL, "End Me@Ex.COM.", "end me@ex.com."),
        # An address glued to a span before it does not reach back into it.
        (ALL, "Ask @Bob@Example.COM", "ask @Bob@example.com"),
        (ALL, "#Tag@Example.COM", "#Tag@example.com"),
        (EMAILS, "A@B.COM@C.ORG", "A@B.COM@c.org"),
    ],
)
def test_spans(flags, text, want):
    assert Normalizer("none", case="lower", **flags).normalize(text) == want


def test_url_keeps_its_case_under_lower_case():
    n = Normalizer("none", case="lower", **URLS)
    assert n.normalize("Go To HTTPS://Ex.COM/Path ToDay") == "go to HTTPS://Ex.COM/Path today"


@pytest.mark.parametrize(
    "text",
    ["@name@example.com", "#tag@example.com", "a@b.com@c.com", "@a@b@c.com", "x#y@z.jp", "http://a.jp@b.jp"],
)
def test_glued_spans_keep_every_character_once(text):
    assert Normalizer("none", **ALL).normalize(text) == text


@pytest.mark.parametrize(
    "options, text, want",
    [
        # Trimming removes outer white space of plain pieces only.
        (dict(trim=True, **URLS), " \u3000http://a.jp\n ", "http://a.jp"),
        (dict(trim=True, **URLS), "  http://a.jp   http://b.jp  ", "http://a.jp   http://b.jp"),
        (dict(trim=True, **URLS), " \t http://a.jp x ", "http://a.jp x"),
        (dict(trim=True, url_wrap=("<", ">"), **URLS), "  http://a.jp  ", "<http://a.jp>"),
        (dict(trim=True, **MENTIONS), " @a  @b ", "@a  @b"),
        # A plain piece emptied by the stages leaves its neighbours adjacent.
        (dict(remove_zero_width=True, url_wrap=("<", ">"), **URLS),
         "http://a.jp\u200bhttp://b.jp", "<http://a.jp><http://b.jp>"),
        # Stages never see across a span: the accent cannot join the e.
        (dict(nfkc=True, **HASHTAGS), "#Cafe\u0301", "#Cafe\u0301"),
        (dict(nfkc=True), "#Cafe\u0301", "#Caf\u00e9"),
        (dict(nfkc=True, **URLS), "ＡＢhttp://x.jp/ＡＢ", "ABhttp://x.jp/AB"),
    ],
)
def test_pipeline_around_spans(options, text, want):
    assert Normalizer("none", **options).normalize(text) == want


# Texts dense in the pieces spans are made of, glued in every way.
tokens = st.sampled_from(
    ["http://", "HTTPS://", "@", "#", ".", "a", "Z", "_", "%", "!", ")", " ", "@x.jp", "a@x.jp", "日", "\u0301", "<"]
)
span_text = st.lists(
    st.one_of(tokens, tokens, tokens, st.characters(exclude_categories=["Cs"])), max_size=30
).map("".join)
flags = st.fixed_dictionaries({k: st.booleans() for k in ALL})


@given(text=span_text)
def test_pieces_reproduce_the_input(text):
    assert Normalizer("none", **ALL).normalize(text) == text


URL = re.compile(r"\ue000(https?://[!#-;=?-\[\]_a-z~]+)\ue001", re.IGNORECASE)


@given(text=span_text, protect=flags)
def test_wrapped_urls_are_whole_urls(text, protect):
    assume("\ue000" not in text and "\ue001" not in text)
    out = Normalizer("none", url_wrap=("\ue000", "\ue001"), **protect).normalize(text)
    assert out.replace("\ue000", "").replace("\ue001", "") == text
    for m in URL.finditer(out):
        assert m.group(1)[-1] not in "!),.?"
    assert len(URL.findall(out)) == out.count("\ue000") == out.count("\ue001")
