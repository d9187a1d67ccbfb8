// The extension module zenkor._native: the Normalizer type and the module.
//
// This file defines them: the object's life (construction, wrap, dealloc,
// repr), the method and property tables with their docstrings, the type's
// slots and PyType_Spec, the module's functions, slots and execution step.  What
// the methods do lives in headers and sources beside it, one per concern:
//
//   references.h          owned references, releasing the interpreter lock
//   lock_policy.h         when a call on one text releases it
//   calls.h               entry points, argument binding
//   strings.h             str objects and the text the core reads
//   errors.h/.cc          every error value raised as its Python exception
//   normalizer_object.h   the object's layout
//   borrow.h              the borrow flag that guards its normalizer
//   config_values.h/.cc   option values between Python and the core
//   presets.h/.cc         the preset argument, Normalizer.preset(s)
//   normalize_calls.h/.cc normalize, normalize_batch, normalize_arrow
//   traced_calls.h/.cc    explain, normalize_with_offsets
//   dictionary_methods.h/.cc, dict_files.h/.cc   custom dictionaries
//   pickling.h/.cc        __reduce__ and _restore_normalizer
//   levenshtein.h/.cc     the module function levenshtein
//   arrow*.h/.cc          the Arrow column path
//
// Every normalizing call copies its input out of Python objects, releases the
// interpreter lock for the C++ work when that repays it, and builds Python
// objects only after it has the lock again.  Each Normalizer object guards
// its C++ normalizer with an atomic borrow flag: normalizing and reading take
// a shared borrow, dictionary changes an exclusive one, and a conflict fails
// at once.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "core/config.h"
#include "core/l3_lexical/synonym.h"
#include "core/pipeline.h"
#include "py/arrow.h"
#include "py/borrow.h"
#include "py/calls.h"
#include "py/config_values.h"
#include "py/dictionary_methods.h"
#include "py/errors.h"
#include "py/levenshtein.h"
#include "py/normalize_calls.h"
#include "py/normalizer_object.h"
#include "py/pickling.h"
#include "py/presets.h"
#include "py/references.h"
#include "py/strings.h"
#include "py/traced_calls.h"

namespace zenkor::py {

PyTypeObject* normalizer_type = nullptr;
PyTypeObject* explain_step_type = nullptr;

PyObject* wrap(PyTypeObject* type, std::unique_ptr<Normalizer> normalizer) {
  auto* self = reinterpret_cast<PyNormalizer*>(type->tp_alloc(type, 0));
  if (!self) return nullptr;
  new (&self->borrow) std::atomic<std::intptr_t>(0);
  new (&self->inner) std::unique_ptr<Normalizer>(std::move(normalizer));
  return reinterpret_cast<PyObject*>(self);
}

namespace {

using l3_lexical::synonym::SynonymDict;

// The package version from pyproject.toml, passed in by the build.
constexpr const char* VERSION = ZENKOR_VERSION;

// Sets the options given as keyword arguments (all of `kwargs` but
// `preset`) on `config`, then checks the options that depend on each other.
bool set_options(PyObject* kwargs, Config& config) {
  bool any_option = false;
  Py_ssize_t pos = 0;
  PyObject* key_obj;
  PyObject* value_obj;
  while (PyDict_Next(kwargs, &pos, &key_obj, &value_obj)) {
    // Calling a type does not check that keyword names are str: **{1: True} gets here.
    if (!PyUnicode_Check(key_obj)) {
      PyErr_SetString(PyExc_TypeError, "keywords must be strings");
      return false;
    }
    std::string_view key;
    if (!utf8_of(key_obj, key)) return false;
    if (key == "preset") continue;
    any_option = true;
    ConfigValue value;
    if (!to_config_value(key, value_obj, value)) return false;
    if (const auto done = config.set(key, std::move(value)); !done.ok()) {
      raise_error(done.error());
      return false;
    }
  }
  if (any_option) {
    if (const auto done = config.check_cross_options(); !done.ok()) {
      raise_error(done.error());
      return false;
    }
  }
  return true;
}

PyObject* Normalizer_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  const Py_ssize_t positional = PyTuple_GET_SIZE(args);
  if (positional > 1) {
    PyErr_Format(PyExc_TypeError, "Normalizer() takes at most 1 positional argument (%zd given)", positional);
    return nullptr;
  }
  PyObject* preset_obj = positional == 1 ? PyTuple_GET_ITEM(args, 0) : nullptr;
  if (kwargs) {
    if (PyObject* by_name = PyDict_GetItemString(kwargs, "preset")) {
      if (preset_obj) {
        PyErr_SetString(PyExc_TypeError,
                        "argument for Normalizer() given by name ('preset') and position (1)");
        return nullptr;
      }
      preset_obj = by_name;
    }
  }
  Preset preset;
  if (!parse_preset(preset_obj, "Normalizer", preset)) return nullptr;
  Config config = Config::from_preset(preset);
  if (kwargs && !set_options(kwargs, config)) return nullptr;
  return wrap(type, std::make_unique<Normalizer>(std::move(config)));
}

void Normalizer_dealloc(PyObject* obj) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  PyTypeObject* type = Py_TYPE(obj);
  std::destroy_at(&self->inner);
  std::destroy_at(&self->borrow);
  type->tp_free(obj);
  Py_DECREF(type);
}

PyObject* Normalizer_repr(PyObject* obj) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  const Config& config = self->inner->config();

  std::string head;
  for (const Preset p : zenkor::ALL_PRESETS) {
    if (config == Config::from_preset(p)) {
      head = "preset='" + std::string(zenkor::preset_name(p)) + "'";
      break;
    }
  }
  if (head.empty()) {
    bool first = true;
    for (const auto& [key, value] : config.entries()) {
      Ref item(from_config_value(value));
      if (!item) return nullptr;
      Ref text(PyObject_Repr(item.get()));
      std::string_view rendered;
      if (!text || !utf8_of(text.get(), rendered)) return nullptr;
      if (!first) head += ", ";
      first = false;
      head += key;
      head += '=';
      head += rendered;
    }
  }
  const SynonymDict* dict = self->inner->synonyms();
  if (dict && !dict->empty()) head += ", custom_dict_size=" + std::to_string(dict->size());
  return str_from("Normalizer(" + head + ")");
}

PyObject* Normalizer_get_config(PyObject* obj, void*) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  return config_to_dict(self->inner->config());
}

// The records explain returns: named tuples (option, text).
PyStructSequence_Field explain_step_fields[] = {
    {"option", "この段を有効にしたオプション名"},
    {"text", "この段のあとのテキスト"},
    {nullptr, nullptr},
};

PyStructSequence_Desc explain_step_desc = {
    "zenkor._native.ExplainStep",
    "explain() の 1 段: テキストを変えたオプション名と、その段のあとのテキスト。",
    explain_step_fields,
    2,
};

PyMethodDef normalizer_methods[] = {
    {"normalize", method<Normalizer_normalize>(),
     METH_FASTCALL | METH_KEYWORDS,
     "normalize($self, text)\n--\n\nテキストを正規化する。長いテキストの処理中は GIL を解放する。"},
    {"normalize_batch", method<Normalizer_normalize_batch>(),
     METH_FASTCALL | METH_KEYWORDS,
     "normalize_batch($self, texts, jobs=1)\n--\n\n"
     "複数テキストをまとめて正規化する。処理中は GIL を解放する。\n"
     "\n"
     "`jobs` 個のスレッドが大きなバッチを分担する(結果の順序は入力どおり)。"},
    {"explain", method<Normalizer_explain>(), METH_FASTCALL | METH_KEYWORDS,
     "explain($self, text)\n--\n\n"
     "正規化の各段がテキストをどう変えたかを返す。\n"
     "\n"
     "テキストを変えた段ごとに `ExplainStep(option, text)` を処理順に並べたリスト。\n"
     "`option` はその段を有効にしたオプション名(URL の囲みは `url_wrap`、\n"
     "前後の空白除去は `trim`、カスタム辞書は `custom_dict`)、`text` はその段のあとの\n"
     "テキスト全体。最後の `text` は `normalize(text)` と等しい。何も変わらなければ空リスト。"},
    {"normalize_with_offsets", method<Normalizer_normalize_with_offsets>(), METH_FASTCALL | METH_KEYWORDS,
     "normalize_with_offsets($self, text)\n--\n\n"
     "正規化したテキストと、その各文字が元のテキストのどの文字から来たかを返す。\n"
     "\n"
     "`(normalized, offsets)` のタプル。`offsets` は長さ `len(normalized) + 1` の int のリストで、\n"
     "出力の `[i, j)` は入力の `[offsets[i], offsets[j])` に対応する(末尾は `len(text)`)。\n"
     "置換された文字は置換元の範囲の中へ、挿入された文字は挿入位置へ対応し、常に単調非減少。"},
    {"normalize_arrow", method<Normalizer_normalize_arrow>(),
     METH_FASTCALL | METH_KEYWORDS,
     "normalize_arrow($self, data, jobs=1)\n--\n\n"
     "Normalize a column of Arrow strings without a Python object per value.\n"
     "\n"
     "`data` exports the Arrow PyCapsule interface (`__arrow_c_array__` or\n"
     "`__arrow_c_stream__`) with values of type string, large_string or\n"
     "string_view: a pyarrow Array or ChunkedArray, a polars or pandas Series.\n"
     "The result exports the same interface, with the same type, length and\n"
     "nulls, and each value equal to `normalize(value)`.  The interpreter lock\n"
     "is released for the whole column; `jobs` threads share a long one."},
    {"preset", method<Normalizer_preset>(),
     METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "preset(name)\n--\n\nプリセット名から生成する(`Normalizer(name)` と同じ)。"},
    {"presets", method<Normalizer_presets>(), METH_NOARGS | METH_STATIC, "presets()\n--\n\n利用可能なプリセット名の一覧。"},
    {"with_custom_dict",
     method<Normalizer_with_custom_dict>(), METH_FASTCALL | METH_KEYWORDS,
     "with_custom_dict($self, mapping, whole_words=False)\n--\n\n"
     "カスタム辞書を追加する。既存のエントリにマージされる。\n"
     "\n"
     "`mapping` は `{正規形: [表記ゆれ, ...]}` 形式の dict。\n"
     "例: `{\"幽遊白書\": [\"幽白\", \"ゆうはく\", \"幽☆遊☆白書\"]}`\n"
     "\n"
     "与えられた表記ゆれは正規化の最終段で正規形に置換される。\n"
     "メソッドチェーンできるよう自身を返す。"},
    {"load_custom_dict_json",
     method<Normalizer_load_custom_dict_json>(), METH_FASTCALL | METH_KEYWORDS,
     "load_custom_dict_json($self, json, whole_words=False)\n--\n\n"
     "カスタム辞書を JSON 文字列から読み込んで追加する。\n"
     "\n"
     "フォーマットは `{\"正規形\": [\"表記ゆれ\", ...]}`。`json.dumps()` の既定出力\n"
     "(`\\uXXXX` エスケープ)もそのまま読める。"},
    {"load_custom_dict_file",
     method<Normalizer_load_custom_dict_file>(), METH_FASTCALL | METH_KEYWORDS,
     "load_custom_dict_file($self, path, format=None, whole_words=False)\n--\n\n"
     "カスタム辞書をファイルから読み込んで追加する。\n"
     "\n"
     "`format` 省略時は拡張子で判定する:\n"
     "- `.json`: `{\"正規形\": [\"表記ゆれ\", ...]}`\n"
     "- `.csv`: `表記ゆれ,正規形` (1行1件、`#` 行はコメント)\n"
     "- `.tsv` / `.txt`: `表記ゆれ<TAB>正規形`"},
    {"load_sudachi_synonyms",
     method<Normalizer_load_sudachi_synonyms>(), METH_FASTCALL | METH_KEYWORDS,
     "load_sudachi_synonyms($self, path, whole_words=True)\n--\n\n"
     "Sudachi 同義語辞書 (`synonyms.txt`) を読み込んで追加する。\n"
     "\n"
     "辞書本体はバンドルしていないので、SudachiDict から別途ダウンロードすること。"},
    {"clear_custom_dict", method<Normalizer_clear_custom_dict>(), METH_NOARGS,
     "clear_custom_dict($self)\n--\n\nカスタム辞書をすべて削除する。"},
    {"custom_dict_items", method<Normalizer_custom_dict_items>(), METH_NOARGS,
     "custom_dict_items($self)\n--\n\n"
     "登録済みカスタム辞書のエントリを (表記ゆれ, 正規形) の組のリストで返す。\n"
     "表記ゆれは登録時に正規化された形。登録順(同じ表記ゆれは最後の登録の位置)に並ぶ。"},
    {"__reduce__", method<Normalizer_reduce>(), METH_NOARGS,
     "__reduce__($self)\n--\n\npickle・copy・deepcopy 用: 設定の全体と辞書のエントリをそのまま保存する。"},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef normalizer_getset[] = {
    {"config", &Guarded<Normalizer_get_config>::call, nullptr,
     "現在の設定を kwargs 互換の dict で返す。`Normalizer(**n.config)` で複製できる。", nullptr},
    {"custom_dict_size", &Guarded<Normalizer_get_custom_dict_size>::call, nullptr, "登録済みカスタム辞書のエントリ数。", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot normalizer_slots[] = {
    {Py_tp_doc, const_cast<char*>("Normalizer(preset=None, **options)\n--\n\nPython に公開する Normalizer。")},
    {Py_tp_new, slot<Normalizer_new>()},
    {Py_tp_dealloc, reinterpret_cast<void*>(Normalizer_dealloc)},
    {Py_tp_repr, slot<Normalizer_repr>()},
    {Py_tp_methods, normalizer_methods},
    {Py_tp_getset, normalizer_getset},
    {0, nullptr},
};

PyType_Spec normalizer_spec = {
    "zenkor._native.Normalizer",
    sizeof(PyNormalizer),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE,
    normalizer_slots,
};

// ---------------------------------------------------------------------------
// Module functions.

PyMethodDef module_functions[] = {
    {"normalize", method<module_normalize>(),
     METH_FASTCALL | METH_KEYWORDS,
     "normalize(text, preset=None)\n--\n\n"
     "トップレベル関数: プリセット(既定は `neologdn_compat`)でテキストを正規化する。"},
    {"levenshtein", method<module_levenshtein>(),
     METH_FASTCALL | METH_KEYWORDS, "levenshtein(a, b)\n--\n\n2 文字列のレーベンシュタイン距離(文字単位)。"},
    {"_restore_normalizer", method<module_restore_normalizer>(), METH_FASTCALL,
     "_restore_normalizer(cls, config, items)\n--\n\nNormalizer.__reduce__ が保存した状態から復元する。"},
    {nullptr, nullptr, 0, nullptr},
};

// Fills the module in the order its attributes are documented.
int module_exec(PyObject* module) {
  if (!normalizer_type) {
    normalizer_type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&normalizer_spec));
    if (!normalizer_type) return -1;
  }
  if (PyModule_AddObjectRef(module, "Normalizer", reinterpret_cast<PyObject*>(normalizer_type)) < 0) return -1;
  if (!explain_step_type) {
    explain_step_type = PyStructSequence_NewType(&explain_step_desc);
    if (!explain_step_type) return -1;
  }
  // Under a private name: the module's public names are a fixed list; the
  // package exports it as zenkor.ExplainStep.
  if (PyModule_AddObjectRef(module, "_ExplainStep", reinterpret_cast<PyObject*>(explain_step_type)) < 0) return -1;
  Ref module_name(PyModule_GetNameObject(module));
  if (!module_name) return -1;
  for (PyMethodDef* def = module_functions; def->ml_name; ++def) {
    Ref function(PyCFunction_NewEx(def, module, module_name.get()));
    if (!function || PyModule_AddObjectRef(module, def->ml_name, function.get()) < 0) return -1;
  }
  if (PyModule_AddStringConstant(module, "__version__", VERSION) < 0) return -1;
  return init_arrow_types();
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
#ifdef Py_mod_gil
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#endif
#ifdef Py_mod_multiple_interpreters
    // The class objects are process-wide statics (normalizer_type,
    // explain_step_type and the Arrow result types), so a second interpreter
    // would share objects that belong to the first.  Python 3.12 and later
    // refuse the import there instead.
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
#endif
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "_native",
    "",
    0,
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

}  // namespace zenkor::py

PyMODINIT_FUNC PyInit__native(void) { return PyModuleDef_Init(&zenkor::py::module_def); }
