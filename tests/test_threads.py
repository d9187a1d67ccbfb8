"""Eight threads on one shared normalizer, mixing normalizing with every way of changing its
dictionary: the only errors are the two borrow conflicts, every result is the one a single thread
gets with the same dictionary, and nothing waits forever."""

import json
import random
import threading
import time

from zenkor import Normalizer

PRESET = "for_search"
A = {"甲": ["ａ１", "a2"]}  # variants are normalized: ａ１ is stored as a1
B = {"乙": ["b1"]}
TEXTS = ["a1 b1 a2", "ｂ１ａ１", "none of them", "a2" * 500, "ｶﾀｶﾅ a1 ＡＢＣ b1 " * 200]
ALLOWED = {"Already borrowed", "Already mutably borrowed"}


def dictionary_states():
    """The results of TEXTS for every dictionary the threads can leave behind, with its entry count."""
    states = {}
    for loads in ([], [A], [B], [A, B]):
        n = Normalizer(PRESET)
        for mapping in loads:
            n.with_custom_dict(mapping)
        states[tuple(n.normalize_batch(TEXTS))] = n.custom_dict_size
    return states


def test_eight_threads_share_one_normalizer(dict_file):
    results_by_state = dictionary_states()  # results of TEXTS -> entry count
    assert len(results_by_state) == 4  # every state tells itself apart
    sizes = set(results_by_state.values())
    per_text = [{results[i] for results in results_by_state} for i in range(len(TEXTS))]

    a_csv = dict_file("a.csv", "".join(f"{v},{k}\n" for k, vs in A.items() for v in vs))
    b_sudachi = dict_file("b.txt", "1,1,0,1,0,0,0,(),乙,,\n1,1,0,1,0,0,1,(),b1,,\n")
    b_json = json.dumps(B)

    def slow_variants(variants):
        for v in variants:
            time.sleep(0)  # lets other threads run while the exclusive borrow is held
            yield v

    n = Normalizer(PRESET)
    changes = [
        lambda: n.with_custom_dict({k: slow_variants(vs) for k, vs in A.items()}),
        lambda: n.with_custom_dict(B),
        lambda: n.load_custom_dict_file(a_csv),
        lambda: n.load_custom_dict_json(b_json),
        lambda: n.load_sudachi_synonyms(b_sudachi),
        lambda: n.clear_custom_dict(),
    ]
    failures, counts = [], {"read": 0, "change": 0, "conflict": 0}
    lock = threading.Lock()
    deadline = time.monotonic() + 1.5

    def work(seed):
        rng = random.Random(seed)
        while time.monotonic() < deadline:
            op = rng.randrange(4)
            try:
                if op == 0:
                    batch = tuple(n.normalize_batch(TEXTS))
                    ok = batch in results_by_state  # one state for the whole batch
                elif op == 1:
                    i = rng.randrange(len(TEXTS))
                    ok = n.normalize(TEXTS[i]) in per_text[i]
                elif op == 2:
                    ok = n.custom_dict_size in sizes
                else:
                    ok = rng.choice(changes)() is n
                with lock:
                    counts["change" if op == 3 else "read"] += 1
                    if not ok:
                        failures.append(f"operation {op} gave a result no single-threaded run gives")
            except RuntimeError as e:
                with lock:
                    counts["conflict"] += 1
                    if str(e) not in ALLOWED:
                        failures.append(repr(e))
            except Exception as e:  # anything else is a fault
                with lock:
                    failures.append(repr(e))
            if rng.random() < 0.5:
                time.sleep(rng.random() / 2000)  # gaps in which changes can get their exclusive borrow

    threads = [threading.Thread(target=work, args=(seed,), daemon=True) for seed in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=60)
    assert not any(t.is_alive() for t in threads), "a thread is stuck: deadlock"
    assert failures == []
    assert counts["read"] > 0 and counts["change"] > 0
    # Afterwards the object is in one of the states, and still changes and reads as usual.
    assert tuple(n.normalize_batch(TEXTS)) in results_by_state
    n.clear_custom_dict().with_custom_dict(A).load_custom_dict_json(b_json)
    assert n.custom_dict_size == max(sizes)
