// The calculator engine on a 1000-key script with values of about 1600 bits,
// in radix 2 and 10: engine time per key, every display re-rendered as the
// window would. GMP runs the same arithmetic and renders the same displays
// with mpz_get_str in the same run; the ratio ours/GMP is printed at the end.

#include <benchmark/benchmark.h>
#include <gmp.h>

#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bench/cpu_time_reporter.h"
#include "calc/calc_engine.h"
#include "tests/support/gmp.h"

namespace {

constexpr int KEYS_PER_SCRIPT = 1000;

// A window that keeps the texts the engine writes, as a real one would.
class BenchWindow : public CalcView {
public:
    std::string displays[4];
    std::optional<std::string> clipboard;
    int boxes = 0;
    void SetDisplayText(int id, const std::string& text) override { displays[id % 4] = text; }
    void EnableDigitButton(int, bool) override {}
    void ShowMessage(const std::string&, const std::string&) override { ++boxes; }
    std::optional<std::string> ReadClipboardText() override { return clipboard; }
    void WriteClipboardText(const std::string& text) override { clipboard = text; }
};

// Two operands of 1590 to 1599 bits (below 2^1600 so that every text parses back).
struct Operands {
    std::string a, b;  // in the script's radix
    mpz_t za, zb;
    explicit Operands(int radix) {
        mpz_inits(za, zb, nullptr);
        gmp_randstate_t state;
        gmp_randinit_mt(state);
        gmp_randseed_ui(state, 1616);
        mpz_urandomb(za, state, 1599);
        mpz_setbit(za, 1598);
        mpz_urandomb(zb, state, 1590);
        mpz_setbit(zb, 1589);
        gmp_randclear(state);
        a = Text(za, radix);
        b = Text(zb, radix);
    }
    ~Operands() { mpz_clears(za, zb, nullptr); }
    Operands(const Operands&) = delete;
    Operands& operator=(const Operands&) = delete;
    static std::string Text(mpz_srcptr v, int radix) { return gmp::Text(v, radix); }  // upper case, as the displays show
};

// One round of the script, 20 keys; the script repeats it 50 times.
enum Step { PASTE_A, PASTE_B, NEGATE, ADD, SUB, DIV, EQUALS, MS, MR, CLEAR_MEMORY, BACK, COPY };
const std::vector<Step> kRound = {
    PASTE_A, NEGATE, ADD, PASTE_B, EQUALS,  // -a + b
    MS, PASTE_A, SUB, PASTE_B, EQUALS,      // a - b
    PASTE_A, DIV, PASTE_B, EQUALS,          // a / b, remainder on show
    MR, NEGATE, PASTE_B, BACK, COPY, CLEAR_MEMORY,
};
static_assert(KEYS_PER_SCRIPT % 20 == 0);

int IdOf(Step s) {
    switch (s) {
        case PASTE_A: case PASTE_B: return ID_PASTE_VALUE;
        case NEGATE: return ID_PLUSMINUS;
        case ADD: return ID_ADD;
        case SUB: return ID_SUB;
        case DIV: return ID_DIV;
        case EQUALS: return ID_EQUALS;
        case MS: return ID_MS;
        case MR: return ID_MR;
        case CLEAR_MEMORY: return ID_MC;
        case BACK: return ID_BACK;
        case COPY: return ID_COPY_VALUE;
    }
    return 0;
}

void EngineScript(benchmark::State& state) {
    const int radix = static_cast<int>(state.range(0));
    Operands ops(radix);
    BenchWindow window;
    CalcEngine engine(&window);
    engine.OnStartUp();
    engine.OnInitDialog();
    engine.OnRadixTextChanged(std::to_string(radix));
    for (auto _ : state) {
        for (int k = 0; k < KEYS_PER_SCRIPT; ++k) {
            const Step s = kRound[k % kRound.size()];
            // The clipboard is filled outside the engine, as another program would.
            if (s == PASTE_A) window.clipboard = ops.a;
            if (s == PASTE_B) window.clipboard = ops.b;
            engine.OnCommand(IdOf(s));
        }
        benchmark::DoNotOptimize(window.displays[0].data());
    }
    if (window.boxes != 0) state.SkipWithError("the script showed a message box");
    state.counters["ns/key"] = benchmark::Counter(static_cast<double>(KEYS_PER_SCRIPT) * state.iterations(),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The same keys with GMP: the same arithmetic, parse and render of every display.
void GmpScript(benchmark::State& state) {
    const int radix = static_cast<int>(state.range(0));
    Operands ops(radix);
    mpz_t x, a, r, mem, t;
    mpz_inits(x, a, r, mem, t, nullptr);
    std::vector<char> buffer(2000);
    std::string shown[4];
    std::string clipboard;
    auto render = [&](int slot, const mpz_t v) {
        mpz_get_str(buffer.data(), -radix, v);
        shown[slot] = buffer.data();
    };
    int pending = 0;
    const std::string opPlus = "   +", opMinus = "   -", opDiv = "   /", opNone = " ";
    for (auto _ : state) {
        for (int k = 0; k < KEYS_PER_SCRIPT; ++k) {
            const Step s = kRound[k % kRound.size()];
            switch (s) {
                case PASTE_A: mpz_set_str(x, ops.a.c_str(), radix); render(0, x); break;
                case PASTE_B: mpz_set_str(x, ops.b.c_str(), radix); render(0, x); break;
                case NEGATE: mpz_neg(x, x); render(0, x); break;
                case ADD: case SUB: case DIV:
                    mpz_set(a, x);
                    pending = s;
                    shown[3] = s == ADD ? opPlus : s == SUB ? opMinus : opDiv;
                    break;
                case EQUALS:
                    if (pending == ADD) { mpz_add(x, a, x); mpz_set_ui(r, 0); }
                    if (pending == SUB) { mpz_sub(x, a, x); mpz_set_ui(r, 0); }
                    if (pending == DIV) { mpz_tdiv_qr(t, r, a, x); mpz_swap(t, x); }
                    render(2, r);
                    render(0, x);
                    shown[3] = opNone;
                    break;
                case MS: mpz_set(mem, x); render(1, mem); break;
                case MR: mpz_set(x, mem); render(0, x); break;
                case CLEAR_MEMORY: mpz_set_ui(mem, 0); render(1, mem); break;
                case BACK: mpz_tdiv_q_ui(x, x, static_cast<unsigned long>(radix)); render(0, x); break;
                case COPY: mpz_get_str(buffer.data(), -radix, x); clipboard = buffer.data(); break;
            }
        }
        benchmark::DoNotOptimize(shown[0].data());
    }
    mpz_clears(x, a, r, mem, t, nullptr);
    state.counters["ns/key"] = benchmark::Counter(static_cast<double>(KEYS_PER_SCRIPT) * state.iterations(),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(EngineScript)->Arg(2)->Arg(10)->Unit(benchmark::kMicrosecond);
BENCHMARK(GmpScript)->Arg(2)->Arg(10)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CpuTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (int radix : {2, 10}) {
        char ourName[32], gmpName[32];
        std::snprintf(ourName, sizeof ourName, "EngineScript/%d", radix);
        std::snprintf(gmpName, sizeof gmpName, "GmpScript/%d", radix);
        const auto ours = reporter.Seconds().find(ourName);
        const auto gmp = reporter.Seconds().find(gmpName);
        if (ours == reporter.Seconds().end() || gmp == reporter.Seconds().end()) continue;
        std::printf("radix %2d: engine %.2f us/key, GMP %.2f us/key (CPU time), ratio ours/GMP %.2f\n", radix,
                    ours->second * 1e6 / KEYS_PER_SCRIPT, gmp->second * 1e6 / KEYS_PER_SCRIPT,
                    ours->second / gmp->second);
    }
    benchmark::Shutdown();
    return 0;
}
