#!/usr/bin/env python3
"""Planted faults: realistic one-line mistakes in the product code, each of
which some test must catch.

    scripts/planted_faults.py list
    scripts/planted_faults.py run [--build DIR] [--tree SRC] [--jobs N] [ID ...]

`run` works on a scratch copy of the working tree, or of SRC (never on the tree itself):
it copies the sources to DIR/src (default /tmp/kalvora-faults), configures a
Release build with the GUI tests there, and for each fault replaces one line,
rebuilds and runs ctest. A fault counts as caught when the build fails or a
test fails or times out. The table at the end gives the verdicts by layer.

Each fault names a snippet that occurs exactly once in the product sources
(so files may move) and its replacement.
"""
import os
import shutil
import subprocess
import sys
import time

# (id, layer, snippet, replacement)
FAULTS = [
    # --- proof, prime search, curves, sieve, complete factorisation ----------
    ("aprcl-rest", "prime", "if (rest == 3) ring.Mul(S.data(), S.data(), J.data());", "if (rest == 1) ring.Mul(S.data(), S.data(), J.data());"),
    ("search-limit", "prime", "if (p.Bits() > PRIME_SEARCH_BITS) return", "if (p.Bits() >= PRIME_SEARCH_BITS) return"),
    ("suyama-sign", "prime", "    f.Sub(t, v, u);\n", "    f.Sub(t, u, v);\n"),
    ("wide-carry", "bigint", "        t[2 * K] += c.c1;\n", "        t[2 * K] = c.c1;\n"),
    ("siqs-limit", "prime", "BigInt(10).Power(SIQS_MAX_DIGITS) - 1;", "BigInt(10).Power(SIQS_MAX_DIGITS - 1) - 1;"),
    ("factorise-1116", "prime", "const int bound = m_settings.trialDivFirst ?", "const int bound = !m_settings.trialDivFirst ?"),
    ("memory-mark", "calc", "m_memoryText = m_memory.status != 0 ?", "m_memoryText = m_memory.status == 2 ?"),

    # --- bigint: values, carries, bounds, diagnostic lines -------------------
    ("add-bound", "bigint", "if (BitLen(S, sn) > 1600) {", "if (BitLen(S, sn) > 1601) {"),
    ("add-carry", "bigint", "c = static_cast<unsigned char>(c1 | (t < s));", "c = c1;"),
    ("sub-negzero", "bigint", "r.sign = sn == 0 ? 0 : a->sign;", "r.sign = a->sign;"),
    ("mul-limbs-line", "bigint", "if (a->top + b->top > 100) {", "if (a->top + b->top >= 100) {"),
    ("mul-line-text", "bigint", "Oops(OOPS_MUL2);\n        return r;", "Oops(OOPS_MUL1);\n        return r;"),
    ("shl-bound", "bigint", "if (r.top + w > 100) {", "if (r.top + w > 101) {"),
    ("shr-negzero", "bigint", "if (r.top < w) return BigInt();", "if (r.top <= w) return BigInt();"),
    ("rem-negzero", "bigint", "r->sign = rn == 0 ? 0 : a.sign;", "r->sign = a.sign;"),
    ("div-trial-line", "bigint", "if (LongDivisionOverflowsTrial(A, an, B, bn)) Oops(OOPS_SHL2);", ""),
    ("trial-compare", "bigint", "return Cmp(t, tn, a, an) <= 0;", "return Cmp(t, tn, a, an) < 0;"),
    ("tostring-negzero", "bigint", "if (IsZero(*this)) sign = 0;", ""),
    ("digits-lower", "bigint", "constexpr char DIGITS[] = \"0123456789ABCDEF\";", "constexpr char DIGITS[] = \"0123456789abcdef\";"),
    ("parse-bound", "bigint", "if (BitLen(T, tn) > 1600) {", "if (BitLen(T, tn) > 1601) {"),
    ("parse-partial", "bigint", "x = x * static_cast<int>(radix);", ""),
    ("parse-sign", "bigint", "    x.sign = negative;\n    return 0;", "    x.sign = 0;\n    return 0;"),
    ("power-precheck", "bigint", "static_cast<long>(e.limbs[0]) * lm1 > 1615", "static_cast<long>(e.limbs[0]) * lm1 > 1616"),
    # 808 bits would not show: the squares of residues below 2^808 still fit.
    ("powmod-fastpath", "bigint", "return BitLen(mm.w, mm.n) <= 807;", "return BitLen(mm.w, mm.n) <= 809;"),
    ("modcached-fastpath", "bigint", "if (BitLen(mm.w, mm.n) <= 1577) {", "if (BitLen(mm.w, mm.n) <= 1600) {"),
    ("inverse-sign", "bigint", "if (negative != odd && cofn > 0) {", "if (negative == odd && cofn > 0) {"),
    ("factorial-bound", "bigint", "if (n >= 248) {", "if (n > 248) {"),
    ("and-top", "bigint", "while (t > 0 && r.limbs[t] == 0) --t;\n    r.top", "r.top"),
    ("sqrt-line", "bigint", "if (top == 100) Oops(OOPS_MUL2);", "if (top == 99) Oops(OOPS_MUL2);"),
    ("toint-mask", "bigint", "(limbs[1] & 0x7FFF) * 65536u", "limbs[1] * 65536u"),
    ("divrem-correction", "bigint", "                --qhat;\n", ""),
    ("montgomery-finish", "bigint", "if (top != 0 || CmpN(r, m, K) >= 0) SubN(r, r, m, K);", "if (top != 0 || CmpN(r, m, K) > 0) SubN(r, r, m, K);"),
    # "<= v" made "< v" here cannot show: a double square root of a square below
    # 2^64 is never low. One above the bound can.
    ("isqrt-word", "bigint", "while (static_cast<u128>(s + 1) * (s + 1) <= v) ++s;", "while (static_cast<u128>(s + 1) * (s + 1) <= v + 1) ++s;"),
    # --- calculator engine and keyboard map ----------------------------------
    ("digit-zero-add", "calc", "    if (digit > 0) {\n        m_work = m_work + digit;", "    {\n        m_work = m_work + digit;"),
    ("equals-remainder", "calc", "if (op != OP_DIV && op != OP_ROOT) m_remainder = 0;", "if (op != OP_DIV) m_remainder = 0;"),
    ("root-index", "calc", "if (X != n) n = INT_MAX;", ""),
    ("ncr-text", "calc", "n , ｢nCr｣ , r の順に入力して下さい.", "n , ｢nCr｣ , r の順に入力してください."),
    ("back-fresh", "calc", "if (m_value == 0) m_freshEntry = 1;", ""),
    ("paste-cr", "calc", "find_first_of(std::string(\"\\r\\n\\0\", 3))", "find_first_of(std::string(\"\\n\"))"),
    ("radix-bound", "calc", "if (n < 2 || n > 16) return;", "if (n < 2 || n > 17) return;"),
    ("key-caret", "calc", "case U'^': return press(ID_XOR);", "case U'^': return press(ID_POW);"),
    ("key-f10", "calc", "case VKEY_F10: id = ID_PLUSMINUS; break;", "case VKEY_F10: id = ID_MPLUS; break;"),
    ("modulus-message", "calc", "parsed.GetStatus() == 1 ? MSG_MODULUS_TOO_LARGE", "parsed.GetStatus() == 0 ? MSG_MODULUS_TOO_LARGE"),
    # --- sequence tools and the decimal reader --------------------------------
    ("arith-sum", "tools", "    t += a;\n    t += a;", "    t += a;"),
    ("fermat-bound", "tools", "if (k >= 32) return TooLarge();", "if (k > 32) return TooLarge();"),
    ("lucas-jump", "tools", "k += periods * PERIOD;", "k += (periods + 1) * PERIOD;"),
    ("decimal-limit", "bigint", "if (magnitude > (limit - digit) / 10) {", "if (magnitude >= (limit - digit) / 10) {"),
    # --- prime engine ---------------------------------------------------------
    ("prime-index", "prime", "if (primes[j] < k) ++j;", "if (primes[j] <= k) ++j;"),
    ("trial32-one", "prime", "if (x == 0 || x == 1) return -1;", "if (x == 0) return -1;"),
    ("trial-narrow", "prime", "if (n < two32) return", "if (n <= two32) return"),
    ("minifactor-wide-bound", "prime", "            if (p >= bound) return finish(c);", "            if (p > bound) return finish(c);"),
    ("minifactor-narrow-bound", "prime", "if (p >= bound) return finish(FromUint32(v));", "if (p > bound) return finish(FromUint32(v));"),
    ("rho-trial-bound", "prime", "trials <= 100000 && b >= 2", "trials < 100000 && b >= 2"),
    ("ecm-multiplier", "prime", "if (smoothness <= 100) return m_ecmMultiplier[0];", "if (smoothness < 100) return m_ecmMultiplier[0];"),
    ("mr-squares", "prime", "for (int k = 0; k < s && !pass; ++k) {", "for (int k = 0; k < s - 1 && !pass; ++k) {"),
    # --- console: workers, enabling sets, messages, ranges --------------------
    ("worker-text", "console", "素因数を発見できませんでした", "素因数を発見できませんでした。"),
    ("factor-text-composite", "console", "(part.composite ? \"(合成数)\" : \"\")", "(part.composite ? \"\" : \"\")"),
    ("worker-stack", "console", "WORKER_STACK_SIZE = 32u << 20;", "WORKER_STACK_SIZE = 16u << 20;"),
    ("method-available", "console", "{true, true, true, true, true, false, true}", "{true, true, true, true, true, true, true}"),
    ("trialdiv-first-enable", "console", "m_trialDivFirst->setEnabled(method != METHOD_TRIAL_DIVISION);", "m_trialDivFirst->setEnabled(true);"),
    ("run-restores-ok", "console", "    m_ok->setEnabled(enable);\n", ""),
    ("mr-trials-range", "console", "&m_settings.mrTrials, 20, 200);", "&m_settings.mrTrials, 20, 201);"),
    ("target-message", "console", "value.GetStatus() != 0 ? MSG_TOO_LARGE : MSG_BAD_CHARACTER", "value.GetStatus() == 0 ? MSG_TOO_LARGE : MSG_BAD_CHARACTER"),
    ("prime-buttons-idle", "console", "    m_nextPrime->setEnabled(enable);\n", "    m_nextPrime->setEnabled(false);\n"),
    ("no-previous-text", "console", "ShowMessageBox(\"前の素数はありません\");", "ShowMessageBox(\"前の素数がありません\");"),
    ("product-run-bound", "console", "while (j < result.primes.size() && result.primes[j] == result.primes[i]) ++j;",
     "while (j + 1 < result.primes.size() && result.primes[j] == result.primes[i]) ++j;"),
    ("mpqs-copy-back", "console", "{ settings.mpqsThreads = mpqsThreads; }", "{ settings.ecmTrials = mpqsThreads; }"),
    ("rho-trials-range", "console", "m_dx.AddInt(m_trials, &rhoTrials, 2, 100000);", "m_dx.AddInt(m_trials, &rhoTrials, 2, 99999);"),
    # --- dialogs: the shared helpers and the tool dialogs ----------------------
    ("dx-range-check", "dialogs", "if (v < min || v > max) return false;", "if (v < min || v > max + 1) return false;"),
    ("range-text", "dialogs", "%2 までの整数を入力してください。", "%2 までの整数を入力して下さい。"),
    ("updown-step", "dialogs", "std::clamp(from + steps, m_minimum, m_maximum);", "std::clamp(from + steps, m_minimum, m_maximum - 1);"),
    ("lucas-n-range", "dialogs", "m_dx.AddUInt(n.edit, &m_inputs.n, 0, 512);", "m_dx.AddUInt(n.edit, &m_inputs.n, 0, 513);"),
    ("progression-term-max", "dialogs", "constexpr int TERM_MAX = 32767;", "constexpr int TERM_MAX = 32768;"),
    # --- main window and keyboard filter -------------------------------------
    ("paste-upper", "window", "upper.setText(source->text().toUpper());", "upper.setText(source->text());"),
    ("menu-text", "window", "ﾒｲﾝ剰余の値をｺﾋﾟｰ(&R)", "ﾒｲﾝ剰余の値をｺﾋﾟｰ(&M)"),
    ("keypad-id", "window", "{\"nPr\", ID_NPR}", "{\"nPr\", ID_NCR}"),
    ("alt-passes", "window", "if (mods & Qt::AltModifier) return false;", ""),
    # --- kalvora-cli ----------------------------------------------------------
    ("cli-modulus-limit", "cli", "constexpr size_t MODULUS_TEXT_LIMIT = 817;", "constexpr size_t MODULUS_TEXT_LIMIT = 818;"),
    ("cli-rho-range", "cli", "{\"rhoTrials\", 2, 100000},", "{\"rhoTrials\", 2, 99999},"),
    ("cli-escape", "cli", "line += \"\\\\r\";", "line += \"\\\\n\";"),
]

PRODUCT_DIRS = ["bigint", "prime", "calc", "tools", "console", "cli", "widgets", "app"]


def product_files(root):
    for d in PRODUCT_DIRS:
        top = os.path.join(root, d)
        if not os.path.isdir(top):
            continue
        for dirpath, _, names in os.walk(top):
            for n in names:
                if n.endswith((".cpp", ".h")):
                    yield os.path.join(dirpath, n)


def locate(root, snippet):
    hits = []
    for path in product_files(root):
        with open(path, encoding="utf-8") as f:
            count = f.read().count(snippet)
        if count:
            hits.append((path, count))
    return hits


def sh(cmd, cwd=None, timeout=None):
    return subprocess.run(cmd, cwd=cwd, shell=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=timeout)


def main():
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    args = sys.argv[1:]
    if not args or args[0] not in ("list", "run"):
        print(__doc__)
        return 2
    if args[0] == "list":
        bad = 0
        for fid, layer, snippet, _ in FAULTS:
            hits = locate(here, snippet)
            ok = len(hits) == 1 and hits[0][1] == 1
            bad += not ok
            where = ", ".join(os.path.relpath(p, here) + ("" if c == 1 else f" x{c}") for p, c in hits) or "NOT FOUND"
            print(f"{'ok ' if ok else 'BAD'} {layer:8} {fid:24} {where}")
        print(f"{len(FAULTS)} faults, {bad} not uniquely found")
        return 1 if bad else 0

    work = "/tmp/kalvora-faults"
    tree = here
    jobs = "2"
    rest = args[1:]
    while rest and rest[0].startswith("--"):
        if rest[0] == "--build":
            work = rest[1]
        elif rest[0] == "--tree":
            tree = rest[1]
        elif rest[0] == "--jobs":
            jobs = rest[1]
        rest = rest[2:]
    wanted = set(rest)
    src = os.path.join(work, "src")
    build = os.path.join(work, "build")
    if os.path.isdir(src):
        shutil.rmtree(src)
    shutil.copytree(tree, src, ignore=shutil.ignore_patterns(".git", "build", "build-*"))
    env = "QT_QPA_PLATFORM=offscreen"
    r = sh(f"cmake -S {src} -B {build} -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVORA_BENCH=OFF && "
           f"cmake --build {build} -j{jobs}")
    if r.returncode != 0:
        print(r.stdout[-3000:])
        return 1
    results = []
    for fid, layer, snippet, replacement in FAULTS:
        if wanted and fid not in wanted:
            continue
        hits = locate(src, snippet)
        if len(hits) != 1 or hits[0][1] != 1:
            results.append((fid, layer, "not found"))
            print(f"{fid}: not found", flush=True)
            continue
        path = hits[0][0]
        with open(path, encoding="utf-8") as f:
            original = f.read()
        with open(path, "w", encoding="utf-8") as f:
            f.write(original.replace(snippet, replacement))
        start = time.time()
        try:
            b = sh(f"cmake --build {build} -j{jobs}")
            if b.returncode != 0:
                verdict = "caught (build)"
            else:
                t = sh(f"{env} ctest --test-dir {build} -j{jobs} --timeout 120 --stop-on-failure -LE slow",
                       timeout=3600)
                verdict = "MISSED" if t.returncode == 0 else "caught"
                if t.returncode != 0:
                    failed = [l.strip() for l in t.stdout.splitlines() if "***" in l or "(Failed)" in l
                              or "(Timeout)" in l]
                    verdict += " by " + (failed[0].split(" - ")[-1] if failed else "?")[:70]
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        results.append((fid, layer, verdict))
        print(f"{fid}: {verdict} ({time.time() - start:.0f} s)", flush=True)
    sh(f"cmake --build {build} -j{jobs}")
    print()
    layers = {}
    for fid, layer, verdict in results:
        c, t = layers.get(layer, (0, 0))
        layers[layer] = (c + verdict.startswith("caught"), t + 1)
    for layer, (c, t) in layers.items():
        print(f"{layer:8} {c}/{t} caught")
    caught = sum(c for c, _ in layers.values())
    total = sum(t for _, t in layers.values())
    print(f"total    {caught}/{total} caught")
    for fid, layer, verdict in results:
        if not verdict.startswith("caught"):
            print(f"  {verdict}: {layer} {fid}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
