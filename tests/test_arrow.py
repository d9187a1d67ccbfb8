"""Normalizer.normalize_arrow and zenkor.arrow, against real pyarrow, polars and pandas objects.

Malformed arrays that pyarrow refuses to build are made by hand: HandMade fills the C data
interface structs with ctypes and exports them in PyCapsules, as any producer would.
"""

import ctypes
import gc
import inspect
import random
import struct
import subprocess
import sys
from pathlib import Path

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from shared_data import SAMPLE, corpus_lines
from zenkor import Normalizer

pa = pytest.importorskip("pyarrow")
pl = pytest.importorskip("polars")

TYPES = [pa.string(), pa.large_string(), pa.string_view()]

# Values that have tripped string code before: empty, inline and out-of-line views (12 bytes
# is the limit), growth and shrinking, URLs the preset protects, text it trims to nothing.
TRICKY = [
    "", "ｱ", "ＡＢＣ１２３", "123456789012", "1234567890123", "㍿㍿㍿", "　　", "ﾊﾟﾊﾟ！！！！",
    "https://Example.com/Ａ 😊😊", "令和元年の𠮷野家", "ＡＢＣ" * 40,
]


def sample_lines():
    return corpus_lines(SAMPLE)


def expected(normalizer, values):
    return [None if v is None else normalizer.normalize(v) for v in values]


def with_nulls(values, seed=1, share=0.2):
    rng = random.Random(seed)
    return [None if rng.random() < share else v for v in values]


def buffers_bytes(array):
    return [None if b is None else b.to_pybytes() for b in array.buffers()]


@pytest.fixture(scope="module")
def for_search():
    return Normalizer("for_search")


@pytest.mark.parametrize("arrow_type", TYPES, ids=str)
@pytest.mark.parametrize("preset", ["for_search", "neologdn_compat", "for_compare", "for_display"])
def test_every_value_equals_normalize(preset, arrow_type):
    n = Normalizer(preset)
    values = with_nulls(TRICKY + sample_lines())
    out = pa.array(n.normalize_arrow(pa.array(values, arrow_type)))
    assert out.type == arrow_type
    assert out.to_pylist() == expected(n, values)
    out.validate(full=True)


@pytest.mark.parametrize("arrow_type", TYPES, ids=str)
@pytest.mark.parametrize("start, length", [(0, 0), (1, 5), (7, 9), (13, 40), (3, 1)])
def test_slices_read_from_their_offset(for_search, arrow_type, start, length):
    values = with_nulls(TRICKY * 5, seed=start)
    sliced = pa.array(values, arrow_type).slice(start, length)
    out = pa.array(for_search.normalize_arrow(sliced))
    assert out.to_pylist() == expected(for_search, values[start : start + length])
    assert out.null_count == sliced.null_count
    out.validate(full=True)


@pytest.mark.parametrize("arrow_type", TYPES, ids=str)
def test_chunks_stay_chunks(for_search, arrow_type):
    chunks = [["ＡＢ", None], [], ["ｶﾞ" * 9, "x"], [None]]
    data = pa.chunked_array([pa.array(c, arrow_type) for c in chunks], arrow_type)
    out = pa.chunked_array(for_search.normalize_arrow(data))
    assert out.type == arrow_type
    assert [c.to_pylist() for c in out.chunks] == [expected(for_search, c) for c in chunks]


def test_a_stream_without_chunks(for_search):
    out = pa.chunked_array(for_search.normalize_arrow(pa.chunked_array([], pa.large_string())))
    assert (out.type, out.num_chunks) == (pa.large_string(), 0)


def test_an_array_comes_back_as_an_array_and_a_stream_as_a_stream(for_search):
    array = for_search.normalize_arrow(pa.array(["ｱ"]))
    stream = for_search.normalize_arrow(pa.chunked_array([["ｱ"]]))
    assert hasattr(array, "__arrow_c_array__") and hasattr(array, "__arrow_c_stream__")
    assert not hasattr(stream, "__arrow_c_array__") and hasattr(stream, "__arrow_c_stream__")
    assert pa.chunked_array(array).to_pylist() == ["ア"]


def test_polars_series_in_polars_series_out(for_search):
    values = with_nulls(TRICKY + sample_lines()[:200])
    series = pl.concat([pl.Series("text", values[:100]), pl.Series("text", values[100:])], rechunk=False)
    out = pl.Series(for_search.normalize_arrow(series))
    assert out.name == "text"
    assert out.n_chunks() == series.n_chunks() == 2
    assert out.to_list() == expected(for_search, values)


def test_the_result_may_be_exported_again_and_outlives_its_object(for_search):
    result = for_search.normalize_arrow(pa.array(["ＡＢ", None, "ｶﾞｷﾞｸﾞｹﾞｺﾞ"]))
    first, second = pa.array(result), pa.array(result)
    as_polars = pl.Series(result)
    del result
    gc.collect()
    assert first.to_pylist() == second.to_pylist() == as_polars.to_list() == ["ab", None, "ガギグゲゴ"]


@pytest.mark.parametrize("arrow_type", TYPES, ids=str)
@pytest.mark.parametrize("jobs", [2, 3, 2**62, 2**100])
def test_jobs_split_the_column_and_keep_its_order(for_search, arrow_type, jobs):
    # Long enough for several pieces per thread; nulls everywhere, so the validity bitmap is
    # joined at bit positions that are not multiples of 8.  Huge jobs count as the most threads
    # there may be, and are never multiplied.
    values = with_nulls((TRICKY + sample_lines()) * 4, seed=jobs, share=0.3)
    data = pa.array(values, arrow_type).slice(5)
    want = expected(for_search, values[5:])
    one = pa.array(for_search.normalize_arrow(data))
    many = pa.array(for_search.normalize_arrow(data, jobs=jobs))
    assert many.to_pylist() == one.to_pylist() == want
    many.validate(full=True)
    chunked = pa.chunked_array([data.slice(0, 1000), data.slice(1000)])
    assert pa.chunked_array(for_search.normalize_arrow(chunked, jobs=jobs)).to_pylist() == want


@pytest.mark.parametrize("arrow_type", TYPES, ids=str)
def test_the_input_is_not_modified(for_search, arrow_type):
    data = pa.array(with_nulls(TRICKY * 3), arrow_type)
    before = [buffers_bytes(data), buffers_bytes(data.slice(3))]
    for jobs in (1, 2):
        for_search.normalize_arrow(data, jobs=jobs)
        for_search.normalize_arrow(data.slice(3), jobs=jobs)
    assert [buffers_bytes(data), buffers_bytes(data.slice(3))] == before


def test_imported_chunks_are_released(for_search):
    # A leaked release callback would keep the chunks' memory in pyarrow's pool.
    base = pa.total_allocated_bytes()
    data = pa.chunked_array([pa.array(["ｱｲｳ" * 100] * 1000), pa.array(["x"] * 1000)])
    assert pa.total_allocated_bytes() > base
    pa.chunked_array(for_search.normalize_arrow(data)).to_pylist()
    del data
    gc.collect()
    assert pa.total_allocated_bytes() == base


@pytest.mark.parametrize(
    "data, named",
    [
        (lambda: pa.array([1, 2]), '"l"'),
        (lambda: pa.array([b"x"]), '"z"'),
        (lambda: pa.array([b"x"], pa.large_binary()), '"Z"'),
        (lambda: pa.array([["a"]]), '"+l"'),
        (lambda: pa.array([None]), '"n"'),
        (lambda: pa.array(["a", "a"]).dictionary_encode(), '"i" (dictionary-encoded)'),
        (lambda: pa.table({"text": ["a"]}), '"+s" (a table or struct: pass one of its columns)'),
        (lambda: pl.Series([1]), '"l"'),
    ],
)
def test_columns_of_other_types_are_a_type_error_naming_the_format(for_search, data, named):
    with pytest.raises(TypeError, match=r"must hold strings \(Arrow format \"u\", \"U\" or \"vu\"\), not Arrow format "):
        for_search.normalize_arrow(data())
    with pytest.raises(TypeError) as raised:
        for_search.normalize_arrow(data())
    assert str(raised.value).endswith(named)


@pytest.mark.parametrize("data", [["a"], "a", None, b"a"])
def test_objects_without_arrow_data_are_a_type_error(for_search, data):
    with pytest.raises(TypeError, match="must export Arrow data .* for a sequence of str use normalize_batch"):
        for_search.normalize_arrow(data)


@pytest.mark.parametrize(
    "jobs, error, message",
    [
        (0, ValueError, "'jobs' must be at least 1, not 0"),
        (-2, ValueError, "'jobs' must be at least 1, not -2"),
        (-(2**100), ValueError, f"'jobs' must be at least 1, not {-(2**100)}"),
        (2.0, TypeError, "'jobs' must be int, not float"),
        ("2", TypeError, "'jobs' must be int, not str"),
    ],
)
def test_bad_jobs(for_search, jobs, error, message):
    with pytest.raises(error, match=message):
        for_search.normalize_arrow(pa.array(["a"]), jobs=jobs)


def test_signature_and_arguments():
    assert str(inspect.signature(Normalizer.normalize_arrow)) == "(self, /, data, jobs=1)"
    n = Normalizer("none", nfkc=True)
    assert pa.array(n.normalize_arrow(data=pa.array(["Ａ"]), jobs=1)).to_pylist() == ["A"]
    with pytest.raises(TypeError, match="missing required argument 'data'"):
        n.normalize_arrow()


def offsets(*values, fmt="<i"):
    return struct.pack(fmt[0] + fmt[1] * len(values), *values)


def string_array(arrow_type, values_bytes, validity=None):
    """An array of raw values, built around pyarrow's own validation of UTF-8."""
    ends = [0]
    for value in values_bytes:
        ends.append(ends[-1] + len(value))
    fmt = "<q" if arrow_type == pa.large_string() else "<i"
    return pa.Array.from_buffers(
        arrow_type, len(values_bytes), [validity, pa.py_buffer(offsets(*ends, fmt=fmt)), pa.py_buffer(b"".join(values_bytes))]
    )


@pytest.mark.parametrize("arrow_type", [pa.string(), pa.large_string()], ids=str)
@pytest.mark.parametrize(
    "values, row",
    [
        ([b"ok", b"\xff"], 1),
        ([b"a\xed\xa0\x80"], 0),  # a surrogate, encoded
        ([b"\xc0\xaf"], 0),  # an overlong "/"
        ([b"x", b"\xe3\x81", b"\x82"], 1),  # one character cut between two rows
        ([b"\xe3\x81\x82", b"\xf4\x90\x80\x80"], 1),  # past U+10FFFF
    ],
)
def test_invalid_utf8_is_a_value_error_naming_the_row(for_search, arrow_type, values, row):
    with pytest.raises(ValueError, match=f"malformed Arrow array: row {row} is not valid UTF-8$"):
        for_search.normalize_arrow(string_array(arrow_type, values))


def test_rows_are_counted_across_chunks(for_search):
    data = pa.chunked_array([pa.array(["a", "b", "c"]), string_array(pa.string(), [b"d", b"\xff"])])
    with pytest.raises(ValueError, match="row 4 is not valid UTF-8"):
        for_search.normalize_arrow(data, jobs=2)


def test_a_null_may_hold_any_bytes(for_search):
    validity = pa.py_buffer(bytes([0b101]))
    data = string_array(pa.string(), [b"\xef\xbd\xb1", b"\xff\xfe", b"b"], validity)
    assert pa.array(for_search.normalize_arrow(data)).to_pylist() == ["ア", None, "b"]


def test_offsets_that_decrease_are_a_value_error(for_search):
    data = pa.Array.from_buffers(pa.string(), 2, [None, pa.py_buffer(offsets(0, 5, 3)), pa.py_buffer(b"abcdefg")])
    with pytest.raises(ValueError, match=r"row 1 has offsets that decrease \(from 5 to 3\)"):
        for_search.normalize_arrow(data)


def view(length, inline=b"", buffer=0, offset=0, prefix=b""):
    if length <= 12:
        return struct.pack("<i12s", length, inline)
    return struct.pack("<i4sii", length, prefix, buffer, offset)


def test_a_view_out_of_its_buffer_is_a_value_error(for_search):
    views = view(3, b"abc") + view(20, buffer=0, offset=5)
    data = pa.Array.from_buffers(pa.string_view(), 2, [None, pa.py_buffer(views), pa.py_buffer(b"x" * 24)])
    with pytest.raises(ValueError, match=r"row 1 lies outside data buffer 0 \(bytes 5 to 25 of 24\)"):
        for_search.normalize_arrow(data)


# The C data interface structs, as a producer fills them.
class ArrowSchema(ctypes.Structure):
    _fields_ = [
        ("format", ctypes.c_char_p), ("name", ctypes.c_char_p), ("metadata", ctypes.c_char_p),
        ("flags", ctypes.c_int64), ("n_children", ctypes.c_int64), ("children", ctypes.c_void_p),
        ("dictionary", ctypes.c_void_p), ("release", ctypes.c_void_p), ("private_data", ctypes.c_void_p),
    ]


class ArrowArray(ctypes.Structure):
    _fields_ = [
        ("length", ctypes.c_int64), ("null_count", ctypes.c_int64), ("offset", ctypes.c_int64),
        ("n_buffers", ctypes.c_int64), ("n_children", ctypes.c_int64), ("buffers", ctypes.POINTER(ctypes.c_void_p)),
        ("children", ctypes.c_void_p), ("dictionary", ctypes.c_void_p), ("release", ctypes.c_void_p),
        ("private_data", ctypes.c_void_p),
    ]


RELEASE = ctypes.CFUNCTYPE(None, ctypes.c_void_p)


@RELEASE
def release_struct(address):
    # release is at the same place in both structs: 7 pointers or int64s in.
    ctypes.c_void_p.from_address(address + 7 * 8).value = None


capsule_new = ctypes.pythonapi.PyCapsule_New
capsule_new.restype = ctypes.py_object
capsule_new.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_void_p]


class HandMade:
    """One array exported with exactly the fields given; its memory lives as long as it does."""

    def __init__(self, fmt, length, buffers, null_count=0, offset=0, n_buffers=None):
        self.memory = [None if b is None else ctypes.create_string_buffer(b, len(b) or 1) for b in buffers]
        self.pointers = (ctypes.c_void_p * len(buffers))(*[m and ctypes.addressof(m) for m in self.memory])
        self.schema = ArrowSchema(fmt.encode(), b"", None, 2, 0, None, None, ctypes.cast(release_struct, ctypes.c_void_p))
        self.array = ArrowArray(
            length, null_count, offset, len(buffers) if n_buffers is None else n_buffers, 0,
            ctypes.cast(self.pointers, ctypes.POINTER(ctypes.c_void_p)), None, None,
            ctypes.cast(release_struct, ctypes.c_void_p),
        )

    def __arrow_c_array__(self, requested_schema=None):
        return (
            capsule_new(ctypes.addressof(self.schema), b"arrow_schema", None),
            capsule_new(ctypes.addressof(self.array), b"arrow_array", None),
        )


def sizes(*values):
    return struct.pack(f"<{len(values)}q", *values)


@pytest.mark.parametrize(
    "made, message",
    [
        (HandMade("u", -1, [None, offsets(0), b""]), r"negative length \(-1\)"),
        (HandMade("u", 1, [None, offsets(0, 1), b"a"], offset=-1), "offset -1 out of range"),
        (HandMade("u", 2, [None, offsets(0, 1, 2), b"ab"], null_count=3), "null count 3 out of range for length 2"),
        (HandMade("u", 1, [None, offsets(0, 1), b"a"], n_buffers=2), "2 buffers where string has 3"),
        (HandMade("vu", 1, [None, view(1, b"a")], n_buffers=2), "2 buffers where string_view has at least 3"),
        (HandMade("u", 2, [None, None, b"ab"]), "the offsets buffer is missing"),
        (HandMade("vu", 1, [None, None, sizes()]), "the views buffer is missing"),
        (HandMade("u", 2, [None, offsets(0, 1, 2), b"ab"], null_count=1), "the validity bitmap is missing, with 1 nulls"),
        (HandMade("u", 1, [None, offsets(-1, 1), b"ab"]), r"row 0 has a negative offset \(-1\)"),
        (HandMade("U", 3, [None, offsets(0, 1, 3, 2, fmt="<q"), b"abc"]), r"row 2 has offsets that decrease \(from 3 to 2\)"),
        (HandMade("u", 2, [None, offsets(0, 0, 2), None]), "row 1 needs the data buffer, which is missing"),
        (HandMade("vu", 1, [None, view(-4), sizes()]), r"row 0 has a negative length \(-4\)"),
        (HandMade("vu", 1, [None, view(20, buffer=1), b"x" * 30, sizes(30)]), "row 0 points to data buffer 1 of 1"),
        (HandMade("vu", 1, [None, view(20, buffer=-1), b"x" * 30, sizes(30)]), "row 0 points to data buffer -1 of 1"),
        (HandMade("vu", 1, [None, view(20), b"x" * 30, None]), "the buffer of data buffer sizes is missing"),
        (HandMade("vu", 1, [None, view(13, offset=-1), b"x" * 30, sizes(30)]), r"row 0 lies outside data buffer 0"),
        (HandMade("vu", 2, [None, view(1, b"a") + view(13), None, sizes(13)]), "row 1 needs data buffer 0, which is missing"),
    ],
    ids=lambda v: v if isinstance(v, str) else "",
)
def test_malformed_layouts_are_value_errors(for_search, made, message):
    with pytest.raises(ValueError, match="normalize_arrow\\(\\) got a malformed Arrow array: " + message):
        for_search.normalize_arrow(made)


# An offset that claims the most its type can address, then one that falls back to the end of
# the data: with several jobs the claim makes a task of its own row, whose offsets rise, and the
# row must still be found to end past the data (whose size is the last offset).
@pytest.mark.parametrize(
    "fmt, huge",
    [("u", 2**31 - 1), ("U", 2**63 - 1)],
    ids=["string", "large_string"],
)
@pytest.mark.parametrize(
    "jobs, message",
    [
        (1, r"row 1 has offsets that decrease \(from {huge} to 3\)"),
        (2, r"row 0 lies outside the data \(bytes 0 to {huge} of 3\)"),
    ],
)
def test_an_offset_past_the_data_is_an_error_however_rows_are_shared(for_search, fmt, huge, jobs, message):
    made = HandMade(fmt, 2, [None, offsets(0, huge, 3, fmt="<i" if fmt == "u" else "<q"), b"abc"])
    with pytest.raises(ValueError, match=message.format(huge=huge)):
        for_search.normalize_arrow(made, jobs=jobs)


def test_hand_made_arrays_that_are_well_formed_read_as_pyarrow_reads_them(for_search):
    # An empty array needs no buffers; a view's data may sit in its second data buffer.
    assert pa.array(for_search.normalize_arrow(HandMade("u", 0, [None, None, None]))).to_pylist() == []
    made = HandMade("vu", 2, [bytes([0b10]), view(0) + view(15, buffer=1, offset=2), b"", "..ＡＢＣＤＥ".encode(), sizes(0, 17)])
    assert pa.array(for_search.normalize_arrow(made)).to_pylist() == [None, "abcde"]


class Reexported:
    """Hands out the capsules of one export of `data` on every call, as a producer that keeps them."""

    def __init__(self, data, method):
        self.capsules = getattr(data, method)()
        setattr(self, method, lambda requested_schema=None: self.capsules)


def moved_out_array():
    made = Reexported(pa.array(["ａ"]), "__arrow_c_array__")
    pa.Array._import_from_c_capsule(*made.capsules)  # moves both structs out: pyarrow owns them now
    return made


def moved_out_stream():
    made = Reexported(pa.chunked_array([["ａ"]]), "__arrow_c_stream__")
    pa.ChunkedArray._import_from_c_capsule(made.capsules)
    return made


def hand_made_released(struct_name):
    made = HandMade("u", 1, [None, offsets(0, 1), b"a"])
    getattr(made, struct_name).release = None
    return made


@pytest.mark.parametrize(
    "make, which",
    [
        (moved_out_array, "ArrowSchema"),
        (moved_out_stream, "ArrowArrayStream"),
        (lambda: hand_made_released("schema"), "ArrowSchema"),
        (lambda: hand_made_released("array"), "ArrowArray"),
    ],
    ids=["array moved out", "stream moved out", "schema released", "array released"],
)
def test_a_released_struct_is_refused_before_it_is_read(for_search, make, which):
    with pytest.raises(ValueError, match=rf"argument 'data': the {which} it exported has been released"):
        for_search.normalize_arrow(make(), jobs=2)


class BadExport:
    def __init__(self, result):
        self.result = result

    def __arrow_c_array__(self, requested_schema=None):
        return self.result()


@pytest.mark.parametrize(
    "result",
    [
        lambda: None,
        lambda: (1, 2),
        lambda: pa.array(["a"]).__arrow_c_array__()[::-1],  # the capsules swapped
        lambda: pa.array(["a"]).__arrow_c_array__()[:1],
    ],
)
def test_exports_that_break_the_interface_are_a_type_error(for_search, result):
    with pytest.raises(TypeError, match=r"__arrow_c_array__\(\) must return a tuple of PyCapsules"):
        for_search.normalize_arrow(BadExport(result))


def test_an_exception_from_the_export_passes_through(for_search):
    def fail():
        raise KeyError("export failed")

    with pytest.raises(KeyError, match="export failed"):
        for_search.normalize_arrow(BadExport(fail))


values_or_nulls = st.lists(
    st.one_of(st.none(), st.text(alphabet="aＡｱア ーｰ!！〜～①㍿😊\u3000\u200b\r\n𠮷が\u3099", max_size=20)), max_size=40
)


@settings(max_examples=150)
@given(values=values_or_nulls, type_index=st.integers(0, 2), start=st.integers(0, 5), jobs=st.integers(1, 3))
def test_any_column_comes_back_as_normalize_gives_each_value(values, type_index, start, jobs):
    n = Normalizer("for_search")
    data = pa.array(values, TYPES[type_index]).slice(start)
    assert pa.array(n.normalize_arrow(data, jobs=jobs)).to_pylist() == expected(n, values[start:])


@settings(max_examples=200)
@given(st.lists(st.binary(max_size=6), min_size=1, max_size=8))
def test_any_bytes_are_either_rejected_at_the_first_bad_row_or_normalized(rows):
    n = Normalizer("for_search")
    data = string_array(pa.string(), rows)
    try:
        texts = [row.decode("utf-8") for row in rows]
    except UnicodeDecodeError:
        bad = next(i for i, row in enumerate(rows) if not is_utf8(row))
        with pytest.raises(ValueError, match=f"row {bad} is not valid UTF-8"):
            n.normalize_arrow(data)
    else:
        assert pa.array(n.normalize_arrow(data)).to_pylist() == expected(n, texts)


def is_utf8(raw):
    try:
        raw.decode("utf-8")
    except UnicodeDecodeError:
        return False
    return True


pandas_dtypes = ["str", "string[pyarrow]", "string", "large_string", "string_view"]


@pytest.mark.parametrize("dtype", pandas_dtypes)
def test_normalize_pandas_keeps_dtype_index_and_name(for_search, dtype):
    pd = pytest.importorskip("pandas")
    from zenkor.arrow import normalize_pandas

    if dtype in ("string", "large_string", "string_view"):
        dtype = pd.ArrowDtype(getattr(pa, dtype)())
    values = ["ＡＢＣ", None, "ﾊﾝｶｸ", ""]
    series = pd.Series(values, dtype=dtype, index=[10, 20, 30, 40], name="text")
    out = normalize_pandas(for_search, series, jobs=2)
    assert out.dtype == series.dtype
    assert list(out.index) == [10, 20, 30, 40] and out.name == "text"
    assert out.isna().tolist() == [False, True, False, False]
    assert [out[10], out[30], out[40]] == ["abc", "ハンカク", ""]


def test_normalize_polars_and_polars_expr(for_search):
    from zenkor.arrow import normalize_polars, polars_expr

    values = with_nulls(TRICKY)
    series = pl.Series("text", values)
    assert normalize_polars(for_search, series).to_list() == expected(for_search, values)
    frame = pl.DataFrame({"text": values, "n": range(len(values))})
    out = frame.with_columns(polars_expr(for_search, pl.col("text")).alias("normalized"))
    assert out["normalized"].to_list() == expected(for_search, values)
    streamed = frame.lazy().select(polars_expr(for_search, pl.col("text"))).collect(engine="streaming")
    assert streamed["text"].to_list() == expected(for_search, values)


def test_the_normalizer_is_borrowed_for_the_whole_call():
    n = Normalizer("none")

    class ChangesTheDictionary:
        # Runs while normalize_arrow reads its input, holding a shared borrow.
        def __arrow_c_array__(self, requested_schema=None):
            with pytest.raises(RuntimeError, match="^Already borrowed$"):
                n.with_custom_dict({"X": ["x"]})
            return pa.array(["x"]).__arrow_c_array__()

    assert pa.array(n.normalize_arrow(ChangesTheDictionary())).to_pylist() == ["x"]

    def variants():
        # with_custom_dict holds the exclusive borrow while it reads these.
        with pytest.raises(RuntimeError, match="^Already mutably borrowed$"):
            n.normalize_arrow(pa.array(["x"]))
        yield "x"

    n.with_custom_dict({"X": variants()})
    assert pa.array(n.normalize_arrow(pa.array(["x"]))).to_pylist() == ["X"]


MEMORY_SCRIPT = """
import resource
import pyarrow as pa
from zenkor import Normalizer

# Each emoji becomes 1000 bytes: 10 MB of text would need 2.5 GB of output.
n = Normalizer("none", emoji_placeholder="x" * 1000)
column = pa.array(["a😀" * 1000] * 2500, pa.large_string())
with open("/proc/self/statm") as f:
    in_use = int(f.read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (in_use + 256 * 2**20, resource.getrlimit(resource.RLIMIT_AS)[1]))
for jobs in (1, 2):
    try:
        n.normalize_arrow(column, jobs=jobs)
        print("no error")
    except MemoryError:
        print("MemoryError")
print(pa.array(n.normalize_arrow(pa.array(["a😀b"]))).to_pylist())
"""


@pytest.mark.skipif(not Path("/proc/self/statm").exists(), reason="needs /proc to size the memory limit")
def test_running_out_of_memory_in_any_thread_is_a_memory_error():
    done = subprocess.run([sys.executable, "-c", MEMORY_SCRIPT], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout.splitlines() == ["MemoryError", "MemoryError", "['a" + "x" * 1000 + "b']"]
