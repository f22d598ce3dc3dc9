// BigInt against its model (model.h): every operation in one table, run on
// seeded operands clustered at the boundaries (the limits 2^1600 and 2^1616,
// the fast-path thresholds, boundary limbs, negative zeros, invalid values,
// and results fed back as operands) and on the hand-checked rows of
// data/edge.vec. Compared: every field (status, sign, top, all 101 limbs),
// texts and return codes, and every byte written to standard output and
// standard error and every message box.
//
// KALVORA_SEED=N picks another seed; KALVORA_ITERATIONS_PERCENT=P scales the loops.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <thread>

#include "tests/bigint/model.h"
#include "tests/support/box_recorder.h"

namespace {

using gmp::Mpz;
using model::Val;
using Rng = std::mt19937_64;

// --- Capturing what an operation writes ---------------------------------------------

std::string Drain(int fd) {
    std::string s;
    char buf[65536];
    lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) s.append(buf, static_cast<size_t>(n));
    if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) std::abort();
    return s;
}

/// Runs f with standard output and error sent to scratch files and a box recorder installed.
model::Output Capture(const std::function<void()>& f) {
    static int scratch[2] = {dup(fileno(std::tmpfile())), dup(fileno(std::tmpfile()))};
    static int saved[2] = {dup(1), dup(2)};
    std::fflush(stdout);
    std::fflush(stderr);
    BoxRecorder boxes;
    dup2(scratch[0], 1);
    dup2(scratch[1], 2);
    errno = 0;
    f();
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(saved[0], 1);
    dup2(saved[1], 2);
    return {Drain(scratch[1]), Drain(scratch[0]), boxes.Lines()};
}

// --- The operations -------------------------------------------------------------------

struct Args {
    BigInt a, b, c;
    long k = 0, n = 0;
    std::string text;
};
template <class V>
struct Outcome {
    V value;
    std::string text;
    long rc = 0;
};
using Ours = Outcome<BigInt>;
using Theirs = Outcome<Val>;

enum Shape { A, AB, ABC, AK, KN, TEXT };

struct Op {
    const char* name;
    Shape shape;
    Ours (*ours)(Args&);
    Theirs (*model)(Args&);
};

Val M(const BigInt& b) { return model::Of(b); }

// clang-format off
#define OP(NAME, SHAPE, OURS, MODEL) \
    Op{NAME, SHAPE, [](Args& x) { return Ours{OURS, "", 0}; }, [](Args& x) { return Theirs{MODEL, "", 0}; }}
const Op OPS[] = {
    OP("add", AB, x.a + x.b, model::Add(M(x.a), M(x.b))),
    OP("sub", AB, x.a - x.b, model::Sub(M(x.a), M(x.b))),
    OP("mul", AB, x.a * x.b, model::Mul(M(x.a), M(x.b))),
    OP("shl", AK, x.a << static_cast<uint16_t>(x.k), model::Shl(M(x.a), static_cast<uint16_t>(x.k))),
    OP("shr", AK, x.a >> static_cast<uint16_t>(x.k), model::Shr(M(x.a), static_cast<uint16_t>(x.k))),
    OP("div", AB, x.a / x.b, model::Div(M(x.a), M(x.b))),
    OP("mod", AB, x.a % x.b, model::Mod(M(x.a), M(x.b))),
    // ==, !=, >, <, >=, <= as bits 0..5, and CompareMagnitude.
    OP("compare", AB, BigInt((x.a == x.b) | (x.a != x.b) << 1 | (x.a > x.b) << 2 | (x.a < x.b) << 3 |
                             (x.a >= x.b) << 4 | (x.a <= x.b) << 5),
       model::Int(model::Eq(M(x.a), M(x.b)) | !model::Eq(M(x.a), M(x.b)) << 1 | model::Gt(M(x.a), M(x.b)) << 2 |
                  model::Lt(M(x.a), M(x.b)) << 3 | !model::Lt(M(x.a), M(x.b)) << 4 |
                  !model::Gt(M(x.a), M(x.b)) << 5)),
    OP("cmpmag", AB, BigInt(x.a.CompareMagnitude(x.b)), model::Int(model::CompareMagnitude(M(x.a), M(x.b)))),
    OP("int", KN, BigInt(static_cast<int>(x.k)), model::Int(static_cast<int>(x.k))),
    // (limbs[1] & 0x7FFF) * 65536 + limbs[0], negated for sign 1; and the low 32 bits.
    OP("toint", A, BigInt(x.a.ToInt()),
       model::Int((x.a.sign == 1 ? -1 : 1) * static_cast<long>((x.a.limbs[1] & 0x7FFF) * 65536L + x.a.limbs[0]))),
    OP("low32", A, Mpz(static_cast<long>(x.a.Low32())).Big(),
       model::Int(static_cast<long>(mpz_fdiv_ui(model::Of(x.a).mag, 1UL << 32)))),
    // The object after ToString / FromString, with the text or the return code.
    Op{"format", AK,
       [](Args& x) {
           char t[BIGINT_TEXT_SIZE];
           const std::string text = x.a.ToString(t, static_cast<uint16_t>(x.k));
           return Ours{x.a, text, 0};
       },
       [](Args& x) {
           Val v = M(x.a);
           const std::string text = model::Format(&v, static_cast<unsigned>(x.k));
           return Theirs{v, text, 0};
       }},
    Op{"parse", TEXT,
       [](Args& x) {
           const int rc = x.a.FromString(x.text.c_str(), static_cast<uint16_t>(x.k));
           return Ours{x.a, "", rc};
       },
       [](Args& x) {
           Val v;
           const int rc = model::Parse(&v, x.text, static_cast<unsigned>(x.k));
           return Theirs{v, "", rc};
       }},
    OP("power", AB, x.a.Power(x.b), model::Power(M(x.a), M(x.b))),
    OP("powermod", ABC, x.a.PowerMod(x.b, x.c), model::PowerMod(M(x.a), M(x.b), M(x.c), false)),
    OP("powermodcached", ABC, x.a.PowerModCached(x.b, x.c), model::PowerMod(M(x.a), M(x.b), M(x.c), true)),
    OP("modcached", AB, x.a.ModCached(x.b), model::ModCached(M(x.a), M(x.b))),
    OP("inverse", AB, BigInt().ModInverse(x.a, x.b), model::ModInverse(M(x.a), M(x.b))),
    OP("gcd", AB, x.a.Gcd(x.b), model::Gcd(M(x.a), M(x.b))),
    OP("lcm", AB, x.a.Lcm(x.b), model::Lcm(M(x.a), M(x.b))),
    OP("factorial", A, x.a.Factorial(), model::Factorial(M(x.a))),
    OP("perm", KN, BigInt().Permutations(static_cast<int>(x.k), static_cast<int>(x.n)), model::Permutations(x.k, x.n)),
    OP("comb", KN, BigInt().Combinations(static_cast<int>(x.k), static_cast<int>(x.n)), model::Combinations(x.k, x.n)),
    OP("and", ABC, x.a.And(x.b, static_cast<int>(x.k)), model::And(M(x.a), M(x.b), static_cast<int>(x.k))),
    OP("or", ABC, x.a.Or(x.b, static_cast<int>(x.k)), model::Or(M(x.a), M(x.b), static_cast<int>(x.k))),
    OP("xor", ABC, x.a.Xor(x.b, static_cast<int>(x.k)), model::Xor(M(x.a), M(x.b), static_cast<int>(x.k))),
    OP("sqrt", A, x.a.Sqrt(), model::Sqrt(M(x.a))),
    OP("root", AK, x.a.Root(static_cast<int>(x.k)), model::Root(M(x.a), static_cast<int>(x.k))),
};
#undef OP
// clang-format on

const Op* FindOp(const std::string& name) {
    for (const Op& op : OPS) {
        if (name == op.name) return &op;
    }
    return nullptr;
}

std::string Describe(const BigInt& b) {
    BigInt magnitude = b;
    magnitude.sign = 0;
    std::ostringstream s;
    s << "{status " << b.status << ", sign " << b.sign << ", top " << int{b.top} << ", limbs 0x"
      << gmp::Text(Mpz(magnitude), 16) << "}";
    return s.str();
}

std::string Describe(const model::Output& o) {
    return "err=\"" + o.err + "\" out=\"" + o.out + "\" boxes=" + std::to_string(o.boxes.size());
}

/// Runs `op` on the product and on the model; the model's object
/// arguments (format, parse) start from the same fields.
::testing::AssertionResult SameAsModel(const Op& op, const Args& args, BigInt* result = nullptr) {
    Args mine = args, theirs = args;
    Ours got;
    const model::Output gotOut = Capture([&] { got = op.ours(mine); });
    model::Take();
    const Theirs want = op.model(theirs);
    const model::Output wantOut = model::Take();
    const BigInt wantBig = model::ToBig(want.value);
    if (result != nullptr) *result = got.value;
    const bool same = std::memcmp(&got.value.status, &wantBig.status, sizeof(int32_t) * 2) == 0 &&
                      got.value.top == wantBig.top &&
                      std::memcmp(got.value.limbs, wantBig.limbs, sizeof wantBig.limbs) == 0 &&
                      got.text == want.text && got.rc == want.rc && gotOut == wantOut;
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << op.name << "(" << Describe(args.a) << ", " << Describe(args.b) << ", "
                                         << Describe(args.c) << ", k=" << args.k << ", n=" << args.n << ", text \""
                                         << args.text.substr(0, 80) << "\")\n  ours:  " << Describe(got.value)
                                         << " text \"" << got.text.substr(0, 80) << "\" rc " << got.rc << " "
                                         << Describe(gotOut) << "\n  model: " << Describe(wantBig) << " text \""
                                         << want.text.substr(0, 80) << "\" rc " << want.rc << " "
                                         << Describe(wantOut);
}

// --- Operands ----------------------------------------------------------------------------

uint64_t Seed() {
    const char* s = std::getenv("KALVORA_SEED");
    return s != nullptr ? std::strtoull(s, nullptr, 10) : 20261206;
}

int Iterations(int n) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    n /= 8;
#endif
    if (const char* p = std::getenv("KALVORA_ITERATIONS_PERCENT")) n = static_cast<int>(long{n} * std::atoi(p) / 100);
    return n < 1 ? 1 : n;
}

long Uniform(Rng& rng, long lo, long hi) { return std::uniform_int_distribution<long>(lo, hi)(rng); }

/// A magnitude of exactly `bits` bits: random, all ones, a power of two, or
/// made of the boundary limbs 0, 1, 0x5555, 0x7FFF, 0x8000, 0xFFFF.
Mpz Magnitude(Rng& rng, long bits) {
    Mpz v;
    if (bits <= 0) return v;
    switch (Uniform(rng, 0, 5)) {
        case 0: v = gmp::Pow2(static_cast<unsigned>(bits)); mpz_sub_ui(v, v, 1); return v;
        case 1: return gmp::Pow2(static_cast<unsigned>(bits - 1));
        case 2:
            for (long i = 0; i < bits; i += 16) {
                static const unsigned long LIMBS[] = {0, 1, 0x5555, 0x7FFF, 0x8000, 0xFFFF};
                mpz_mul_2exp(v, v, 16);
                mpz_add_ui(v, v, LIMBS[Uniform(rng, 0, 5)]);
            }
            break;
        default:
            for (long i = 0; i < bits; i += 64) {
                mpz_mul_2exp(v, v, 64);
                mpz_add_ui(v, v, rng());
            }
    }
    mpz_tdiv_r_2exp(v, v, static_cast<unsigned long>(bits));
    mpz_setbit(v, static_cast<unsigned long>(bits - 1));
    return v;
}

/// A bit length near one of `edges` (within 2), or any from 0 to 1616.
long Bits(Rng& rng, std::initializer_list<long> edges) {
    if (edges.size() == 0 || Uniform(rng, 0, 2) == 0) return Uniform(rng, 0, 1616);
    const long e = edges.begin()[Uniform(rng, 0, static_cast<long>(edges.size()) - 1)] + Uniform(rng, -2, 2);
    return std::clamp(e, 0L, 1616L);
}

/// An operand of `bits` bits: mostly sign 0 or 1 (negative zeros included),
/// sometimes the sign field 2, sometimes status 1.
BigInt Operand(Rng& rng, long bits, bool signs = true) {
    BigInt b = Magnitude(rng, bits).Big();
    if (signs) b.sign = Uniform(rng, 0, 30) == 0 ? 2 : static_cast<int>(Uniform(rng, 0, 1));
    if (Uniform(rng, 0, 40) == 0) b.status = 1;
    return b;
}

std::initializer_list<long> LIMITS = {0, 1, 16, 17, 32, 64, 800, 807, 808, 1577, 1578, 1600, 1601, 1615, 1616};

/// Arguments for `op`; `last` is the previous result, sometimes fed back.
Args Generate(Rng& rng, const std::string& op, const BigInt& last) {
    Args x;
    x.a = Uniform(rng, 0, 6) == 0 ? last : Operand(rng, Bits(rng, LIMITS));
    x.b = Operand(rng, Bits(rng, LIMITS));
    if (op == "mul") x.b = Operand(rng, std::clamp(1617 - static_cast<long>(Mpz(x.a).Bits()) + Uniform(rng, -20, 20), 0L, 1616L));
    if (op == "div" || op == "mod" || op == "cmpmag" || op == "compare") {
        if (Uniform(rng, 0, 3) == 0) x.b = Operand(rng, Uniform(rng, 0, 2));  // 0, +-1, +-2
        if (Uniform(rng, 0, 3) == 0) x.b = x.a, x.b.sign = static_cast<int>(Uniform(rng, 0, 1));
    }
    if (op == "shl" || op == "shr") x.k = Uniform(rng, 0, 4) == 0 ? Uniform(rng, 1600, 65535) : Uniform(rng, 0, 1620);
    if (op == "int") x.k = static_cast<int>(rng());
    if (op == "format") x.k = Uniform(rng, 0, 17);
    if (op == "parse") {
        x.k = Uniform(rng, 0, 9) == 0 ? Uniform(rng, 0, 40) : Uniform(rng, 2, 16);
        const Mpz v = Magnitude(rng, Bits(rng, {1600, 1601, 1616, 64}));
        x.text = (Uniform(rng, 0, 3) == 0 ? "-" : "") + gmp::Text(v, static_cast<int>(x.k >= 2 && x.k <= 16 ? x.k : 16));
        if (Uniform(rng, 0, 3) == 0) x.text[static_cast<size_t>(Uniform(rng, 0, static_cast<long>(x.text.size()) - 1))] = "g Z9f\x80"[Uniform(rng, 0, 5)];
        if (Uniform(rng, 0, 5) == 0) x.text += x.text;
    }
    if (op == "power") x.b = Uniform(rng, 0, 5) == 0 ? Operand(rng, Bits(rng, {16, 17})) : BigInt(static_cast<int>(Uniform(rng, -3, 1700)));
    if (op == "powermod" || op == "powermodcached") {
        x.a = Operand(rng, Bits(rng, {1616, 800}), Uniform(rng, 0, 5) == 0);
        x.b = Operand(rng, Uniform(rng, 0, op == "powermod" ? 200 : 40), Uniform(rng, 0, 5) == 0);
        x.c = Operand(rng, Bits(rng, {2, 806, 807, 808, 809, 1616}), Uniform(rng, 0, 5) == 0);
    }
    if (op == "modcached") x.b = Operand(rng, Bits(rng, {2, 1576, 1577, 1578, 1590, 1600, 1601, 1616}));
    if (op == "inverse") x.b = Operand(rng, Bits(rng, {1, 2, 64, 65, 1599, 1600, 1601, 1616}));
    if (op == "gcd" || op == "lcm") x.b = Uniform(rng, 0, 3) == 0 ? x.a : Operand(rng, Bits(rng, {0, 1, 2, 1616}));
    if (op == "factorial") x.a = Operand(rng, Uniform(rng, 0, 9) == 0 ? Uniform(rng, 0, 20) : 8);
    if (op == "perm" || op == "comb") {
        x.k = Uniform(rng, 0, 3) == 0 ? INT_MAX - Uniform(rng, 0, 3) : Uniform(rng, -2, 300);
        x.n = Uniform(rng, 0, 3) == 0 ? x.k - Uniform(rng, -1, 3) : Uniform(rng, -2, 60);
    }
    if (op == "and" || op == "or" || op == "xor") x.k = Uniform(rng, 0, 3);
    if (op == "root") x.k = Uniform(rng, 0, 9) == 0 ? (Uniform(rng, 0, 1) ? INT_MAX : Uniform(rng, -1, 2)) : Uniform(rng, 3, 60);
    return x;
}

class EveryOperation : public ::testing::TestWithParam<Op> {};

TEST_P(EveryOperation, AgreesWithTheModel) {
    const Op& op = GetParam();
    const uint64_t seed = Seed() ^ std::hash<std::string>{}(op.name);
    SCOPED_TRACE("seed " + std::to_string(Seed()) + " (KALVORA_SEED)");
    Rng rng(seed);
    const bool slow = op.name == std::string("powermodcached") || op.name == std::string("inverse");
    BigInt last;
    for (int i = 0; i < Iterations(slow ? 300 : 1500); ++i) {
        Args args = Generate(rng, op.name, last);
        ASSERT_TRUE(SameAsModel(op, args, &last)) << "iteration " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(BigInt, EveryOperation, ::testing::ValuesIn(OPS),
                         [](const ::testing::TestParamInfo<Op>& info) { return std::string(info.param.name); });

// --- The hand-checked rows ----------------------------------------------------------

/// An operand: a value (gmp::Parse syntax), "-0" for a negative zero, with
/// "!" in front for status 1 and "~" for the sign field 2.
BigInt Operand(const std::string& token) {
    std::string t = token;
    BigInt b;
    const bool invalid = t[0] == '!';
    if (invalid) t.erase(0, 1);
    const bool sign2 = t[0] == '~';
    if (sign2) t.erase(0, 1);
    b = gmp::Parse(t).Big();
    if (t[0] == '-') b.sign = 1;
    if (sign2) b.sign = 2;
    b.status = invalid;
    return b;
}

/// One row: "op operands -> result [top=N] [sign=N] [rc=N] [text=T] [err=W,W] [out=1|2] [box]".
/// The result is an operand token (its limbs, sign and status); top is the
/// value's normal one unless given; err lists the perror lines in order.
void CheckRow(const std::string& line, int lineNumber) {
    std::istringstream in(line);
    std::string name, token;
    in >> name;
    const Op* op = FindOp(name);
    ASSERT_NE(op, nullptr) << "line " << lineNumber << ": no operation " << name;
    std::vector<std::string> operands;
    while (in >> token && token != "->") operands.push_back(token);
    Args args;
    size_t i = 0;
    auto next = [&] { return i < operands.size() ? operands[i++] : std::string("0"); };
    if (op->shape == TEXT) args.text = next() == "''" ? "" : operands[i - 1];
    if (op->shape == KN) args.k = std::stol(next()), args.n = std::stol(next());
    if (op->shape == A || op->shape == AB || op->shape == ABC || op->shape == AK) args.a = Operand(next());
    if (op->shape == AB || op->shape == ABC) args.b = Operand(next());
    if (op->shape == ABC && (name == "powermod" || name == "powermodcached")) args.c = Operand(next());
    if (op->shape == AK || op->shape == TEXT || (op->shape == ABC && i < operands.size())) args.k = std::stol(next());

    in >> token;
    BigInt want = Operand(token);
    model::Output wantOut;
    std::string wantText = "*";
    long wantRc = 0;
    bool checkOutput = true;
    while (in >> token) {
        const size_t eq = token.find('=');
        const std::string key = token.substr(0, eq), value = eq == std::string::npos ? "" : token.substr(eq + 1);
        if (key == "top") want.top = static_cast<int8_t>(std::stoi(value));
        if (key == "sign") want.sign = std::stoi(value);
        if (key == "rc") wantRc = std::stol(value);
        if (key == "text") wantText = value == "''" ? "" : value;
        if (key == "box") wantOut.boxes.push_back("[Kalvora] 0で除算しました.");
        if (key == "out") wantOut.out = "おっとこんなこともあるんだ(root). 要調査(" + value + ").\n";
        if (key == "err" && value == "*") checkOutput = false;
        for (size_t at = 0; key == "err" && value != "*" && at <= value.size();) {
            const size_t comma = std::min(value.find(',', at), value.size());
            wantOut.err += "Oops status == TRUE in " + value.substr(at, comma - at) + "\n: " + std::strerror(0) + "\n";
            at = comma + 1;
        }
    }
    Args mine = args;
    Ours got;
    const model::Output gotOut = Capture([&] { got = op->ours(mine); });
    const std::string where = "line " + std::to_string(lineNumber) + ": " + line;
    EXPECT_EQ(Describe(got.value), Describe(want)) << where;
    EXPECT_EQ(std::memcmp(got.value.limbs, want.limbs, sizeof want.limbs), 0) << where;
    EXPECT_EQ(got.value.status, want.status) << where;
    if (wantText != "*") {
        EXPECT_EQ(got.text, wantText) << where;
    }
    EXPECT_EQ(got.rc, wantRc) << where;
    if (checkOutput) {
        EXPECT_TRUE(gotOut == wantOut) << where << "\n  wrote " << Describe(gotOut);
    }
    // The model must tell the same story.
    EXPECT_TRUE(SameAsModel(*op, args)) << where;
}

TEST(BigInt, EdgeRows) {
    std::ifstream file(KALVORA_TEST_DATA "/edge.vec");
    ASSERT_TRUE(file.good());
    std::string line;
    int rows = 0;
    for (int n = 1; std::getline(file, line); ++n) {
        if (line.empty() || line[0] == '#') continue;
        CheckRow(line.substr(0, line.find(" #")), n);
        ++rows;
    }
    EXPECT_GT(rows, 100);
}

// --- What the table cannot say ------------------------------------------------------

TEST(BigInt, MillionCharacterTextsAndEveryByte) {
    std::vector<std::string> texts = {std::string(1000000, '0'), "-" + std::string(1000000, '0') + "7",
                                      std::string(1000000, 'f'), std::string(999999, '0') + "X",
                                      std::string(479, '9') + std::string(1000000, 'Z')};
    for (int byte = 1; byte < 256; ++byte) texts.push_back("1" + std::string(1, static_cast<char>(byte)) + "2");
    for (const std::string& text : texts) {
        Args args;
        args.text = text;
        args.k = 16;
        EXPECT_TRUE(SameAsModel(*FindOp("parse"), args)) << text.substr(0, 20);
    }
}

TEST(BigInt, DivisionByZeroWritesItsLineBeforeItsBox) {
    long errBytesAtBox = -1;
    const model::Output out = Capture([&] {
        BoxRecorder boxes;
        boxes.whileShown = [&](const std::string&) {
            struct stat st {};
            fstat(2, &st);
            errBytesAtBox = static_cast<long>(st.st_size);
        };
        (void)(BigInt(5) / 0);
    });
    EXPECT_EQ(errBytesAtBox, static_cast<long>(out.err.size()));
    EXPECT_FALSE(out.err.empty());
}

TEST(BigInt, TwoThreadsFormatAndReduceWithTheirOwnCaches) {
    // The radix powers and the table of 65536^i mod m are per thread: two
    // threads alternating radices and moduli get the single-threaded answers.
    Rng rng(Seed());
    std::vector<BigInt> values, moduli;
    for (int i = 0; i < 24; ++i) {
        values.push_back(Operand(rng, 1616, false));
        moduli.push_back(Operand(rng, 1578 + Uniform(rng, 0, 30), false));
    }
    auto work = [&](int parity, std::vector<std::string>* out) {
        char text[BIGINT_TEXT_SIZE];
        for (int round = 0; round < 3; ++round) {
            for (size_t i = 0; i < values.size(); ++i) {
                BigInt v = values[i];
                out->push_back(v.ToString(text, static_cast<uint16_t>(parity ? 3 + i % 2 : 10 + i % 3)));
                BigInt r = v.ModCached(moduli[(i + static_cast<size_t>(parity)) % moduli.size()]);
                out->push_back(r.ToString(text, 16));
            }
        }
    };
    std::vector<std::string> alone[2], together[2];
    Capture([&] {
        work(0, &alone[0]);
        work(1, &alone[1]);
        std::thread other(work, 1, &together[1]);
        work(0, &together[0]);
        other.join();
    });
    EXPECT_EQ(together[0], alone[0]);
    EXPECT_EQ(together[1], alone[1]);
}

}  // namespace
