#include "tests/bigint/test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>

#include "bigint/message_box.h"

namespace bigint_test {

// ---------------------------------------------------------------------------
// Conversions

std::string Mpz::Hex() const {
    char* s = mpz_get_str(nullptr, 16, v_);
    std::string out(s);
    void (*freeFn)(void*, size_t);
    mp_get_memory_functions(nullptr, nullptr, &freeFn);
    freeFn(s, strlen(s) + 1);
    return out;
}

namespace {

template <class T>
Mpz LimbsToMpz(const T& x) {
    Mpz v;
    mpz_import(v, 101, -1, sizeof(uint16_t), 0, 0, x.limbs);
    if (x.sign != 0) mpz_neg(v, v);
    return v;
}

template <class T>
T LimbsFromMpz(const Mpz& v) {
    T r;
    if (mpz_sizeinbase(v, 2) > 1616) {
        ADD_FAILURE() << "operand too large for a BigInt: " << v.Hex();
        return r;
    }
    size_t count = 0;
    mpz_export(r.limbs, &count, -1, sizeof(uint16_t), 0, 0, v);
    int t = count == 0 ? 0 : static_cast<int>(count) - 1;
    r.top = static_cast<int8_t>(t);
    r.sign = mpz_sgn(v) < 0 ? 1 : 0;
    r.status = 0;
    return r;
}

template <class T>
std::string DescribeFields(const T& x) {
    std::ostringstream s;
    s << "status=" << x.status << " sign=" << x.sign << " top=" << static_cast<int>(x.top) << " |x|=0x";
    Mpz v;
    mpz_import(v, 101, -1, sizeof(uint16_t), 0, 0, x.limbs);
    s << v.Hex();
    return s.str();
}

}  // namespace

Mpz ToMpz(const BigInt& x) { return LimbsToMpz(x); }
Mpz ToMpz(const RefBigInt& x) { return LimbsToMpz(x); }
BigInt BigFromMpz(const Mpz& v) { return LimbsFromMpz<BigInt>(v); }
RefBigInt RefFromMpz(const Mpz& v) { return LimbsFromMpz<RefBigInt>(v); }

std::string GmpText(const Mpz& v, int radix) {
    std::string s(mpz_sizeinbase(v, radix) + 2, '\0');
    mpz_get_str(s.data(), radix, v);
    s.resize(strlen(s.c_str()));
    for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

Mpz Pow2(unsigned k) {
    Mpz v;
    mpz_setbit(v, k);
    return v;
}

BigInt ToBig(const RefBigInt& r) {
    BigInt b;
    b.status = r.status;
    b.sign = r.sign;
    b.top = r.top;
    memcpy(b.limbs, r.limbs, sizeof b.limbs);
    return b;
}

RefBigInt ToRef(const BigInt& b) {
    RefBigInt r;
    r.status = b.status;
    r.sign = b.sign;
    r.top = b.top;
    memcpy(r.limbs, b.limbs, sizeof r.limbs);
    return r;
}

std::string Describe(const BigInt& x) { return DescribeFields(x); }
std::string Describe(const RefBigInt& x) { return DescribeFields(x); }

bool SameFields(const BigInt& a, const RefBigInt& r) {
    return a.status == r.status && a.sign == r.sign && a.top == r.top &&
           memcmp(a.limbs, r.limbs, sizeof a.limbs) == 0;
}

bool IsNormal(const BigInt& x) {
    if (x.top < 0 || x.top > 100) return false;
    for (int i = x.top + 1; i <= 100; ++i)
        if (x.limbs[i] != 0) return false;
    return x.top == 0 || x.limbs[x.top] != 0;
}

// ---------------------------------------------------------------------------
// Seeds and iteration counts

uint64_t BaseSeed() {
    if (const char* s = getenv("KALVORA_SEED")) return strtoull(s, nullptr, 10);
    return 20261206;
}

uint64_t TestSeed() {
    uint64_t h = 1469598103934665603ull ^ BaseSeed();
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        for (unsigned char c : name) h = (h ^ c) * 1099511628211ull;
    }
    return h;
}

std::string SeedNote(uint64_t seed) {
    std::ostringstream s;
    s << "seed " << seed << " (rerun with KALVORA_SEED=" << BaseSeed() << ")";
    return s.str();
}

int Iterations(int n) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    n = n / 6;
#endif
    if (const char* p = getenv("KALVORA_ITERATIONS_PERCENT")) n = static_cast<int>(int64_t{n} * atoi(p) / 100);
    return n < 1 ? 1 : n;
}

// ---------------------------------------------------------------------------
// Generators

int64_t Uniform(Rng& rng, int64_t lo, int64_t hi) {
    return std::uniform_int_distribution<int64_t>(lo, hi)(rng);
}

namespace {

constexpr uint16_t kBoundaryLimbs[] = {0, 1, 0x5555, 0x7FFF, 0x8000, 0xFFFF};

uint16_t BoundaryLimb(Rng& rng) {
    return kBoundaryLimbs[Uniform(rng, 0, std::size(kBoundaryLimbs) - 1)];
}

Mpz FromLimbs(const std::vector<uint16_t>& limbs) {
    Mpz v;
    if (!limbs.empty()) mpz_import(v, limbs.size(), -1, sizeof(uint16_t), 0, 0, limbs.data());
    return v;
}

// Random bits up to `bits` long (the top bit set).
Mpz RandomBits(Rng& rng, unsigned bits, bool boundaryLimbs) {
    std::vector<uint16_t> limbs((bits + 15) / 16);
    for (auto& l : limbs) l = boundaryLimbs && Uniform(rng, 0, 3) != 0 ? BoundaryLimb(rng) : static_cast<uint16_t>(rng());
    Mpz v = FromLimbs(limbs);
    mpz_tdiv_r_2exp(v, v, bits);
    if (bits > 0) mpz_setbit(v, bits - 1);
    return v;
}

}  // namespace

Mpz RandomMagnitude(Rng& rng, unsigned maxBits) {
    Mpz v;
    switch (Uniform(rng, 0, 12)) {
        case 0:
            break;  // zero
        case 1:
            mpz_set_ui(v, Uniform(rng, 0, 1) ? BoundaryLimb(rng) : static_cast<uint16_t>(rng()));
            break;
        case 2:
        case 3:
        case 4:
            v = RandomBits(rng, static_cast<unsigned>(Uniform(rng, 1, maxBits)), false);
            break;
        case 5:
        case 6:
            v = RandomBits(rng, static_cast<unsigned>(Uniform(rng, 1, maxBits)), true);
            break;
        case 7:
            v = Pow2(static_cast<unsigned>(Uniform(rng, 0, maxBits - 1)));
            break;
        case 8: {
            static constexpr unsigned kEdges[] = {16, 32, 64, 800, 807, 808, 809, 1599, 1600, 1601, 1615, 1616};
            unsigned k = kEdges[Uniform(rng, 0, std::size(kEdges) - 1)];
            v = Pow2(k);
            long delta = static_cast<long>(Uniform(rng, -3, 3));
            if (delta >= 0)
                mpz_add_ui(v, v, delta);
            else
                mpz_sub_ui(v, v, -delta);
            break;
        }
        case 9: {
            int radix = static_cast<int>(Uniform(rng, 2, 16));
            mpz_ui_pow_ui(v, radix, RADIX_MAX_EXPONENT[radix]);
            mpz_add_ui(v, v, Uniform(rng, 0, 2));
            if (Uniform(rng, 0, 1)) mpz_sub_ui(v, v, Uniform(rng, 0, 4));
            break;
        }
        case 10:
            mpz_set_ui(v, Uniform(rng, 0, 1) ? 65535 : 65536);
            mpz_add_ui(v, v, Uniform(rng, 0, 2));
            break;
        case 11:
            mpz_set_ui(v, static_cast<uint32_t>(rng()) >> Uniform(rng, 0, 31));
            break;
        default:
            v = Pow2(maxBits);
            mpz_sub_ui(v, v, 1 + Uniform(rng, 0, 3));
            break;
    }
    mpz_abs(v, v);
    if (mpz_sizeinbase(v, 2) > maxBits) mpz_tdiv_r_2exp(v, v, maxBits);
    return v;
}

Mpz RandomSigned(Rng& rng, unsigned maxBits, bool* negativeZero) {
    Mpz v = RandomMagnitude(rng, maxBits);
    bool negative = Uniform(rng, 0, 1) == 1;
    if (negative) mpz_neg(v, v);
    if (negativeZero) *negativeZero = negative && mpz_sgn(v) == 0;
    return v;
}

BigInt RandomBig(Rng& rng, unsigned maxBits) {
    bool negZero = false;
    Mpz v = RandomSigned(rng, maxBits, &negZero);
    BigInt b = BigFromMpz(v);
    if (negZero) b.sign = 1;
    return b;
}

// ---------------------------------------------------------------------------
// Capture

namespace {

class Recorder : public MessageBoxPresenter {
public:
    void ShowMessageBox(const std::string& text, const std::string& caption) override {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back({text, caption});
    }
    std::vector<Box> Take() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Box> out;
        out.swap(boxes_);
        return out;
    }

private:
    std::mutex mutex_;
    std::vector<Box> boxes_;
};

Recorder g_recorder;

struct Redirect {
    int file = -1;
    int saved = -1;
};

// Everything written to the scratch file since it was last emptied; empties it again.
std::string TakeAll(int fd) {
    std::string s;
    const off_t size = lseek(fd, 0, SEEK_END);
    if (size <= 0) return s;
    s.resize(static_cast<size_t>(size));
    off_t at = 0;
    while (at < size) {
        ssize_t n = pread(fd, s.data() + at, static_cast<size_t>(size - at), at);
        if (n <= 0) break;
        at += n;
    }
    s.resize(static_cast<size_t>(at));
    if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) abort();
    return s;
}

int OpenScratch() {
    FILE* f = tmpfile();
    if (!f) abort();
    return dup(fileno(f));  // the FILE stays open for the life of the program
}

std::string Printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c == '\n')
            out += "\\n";
        else
            out += static_cast<char>(c);
    }
    return out;
}

}  // namespace

std::string Output::Describe() const {
    std::string s = "out=\"" + Printable(out) + "\" err=\"" + Printable(err) + "\" boxes=[";
    for (const auto& b : boxes) s += "(" + b.text + " | " + b.caption + ")";
    return s + "]";
}

Output Capture(const std::function<void()>& f) {
    static Redirect out;
    static Redirect err;
    if (out.file < 0) {
        out.file = OpenScratch();
        err.file = OpenScratch();
        out.saved = dup(1);
        err.saved = dup(2);
    }
    fflush(stdout);
    fflush(stderr);
    MessageBoxPresenter* previous = InstalledMessageBoxPresenter();
    InstallMessageBoxPresenter(&g_recorder);
    g_recorder.Take();
    dup2(out.file, 1);
    dup2(err.file, 2);
    errno = 0;
    f();
    fflush(stdout);
    fflush(stderr);
    dup2(out.saved, 1);
    dup2(err.saved, 2);
    InstallMessageBoxPresenter(previous);
    Output o;
    o.out = TakeAll(out.file);
    o.err = TakeAll(err.file);
    o.boxes = g_recorder.Take();
    return o;
}

std::string OopsLine(const char* where) {
    return std::string("Oops status == TRUE in ") + where + "\n: " + strerror(0) + "\n";
}

::testing::AssertionResult SameOutcome(const BigInt& ours, const Output& ourOut, const RefBigInt& ref,
                                       const Output& refOut, bool fullWhenInvalid) {
    bool valuesAgree = SameFields(ours, ref) || (!fullWhenInvalid && ours.status == 1 && ref.status == 1);
    if (valuesAgree && ourOut == refOut) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\n  ours:      " << Describe(ours) << "\n             "
                                         << ourOut.Describe() << "\n  reference: " << Describe(ref)
                                         << "\n             " << refOut.Describe();
}

}  // namespace bigint_test

namespace bigint_test {

::testing::AssertionResult HasValue(const BigInt& x, const Mpz& v) {
    if (x.status != 0) return ::testing::AssertionFailure() << "status 1, expected " << v.Hex();
    if (!IsNormal(x)) return ::testing::AssertionFailure() << "not in normal form: " << Describe(x);
    Mpz got = ToMpz(x);
    if (mpz_cmp(got, v) != 0)
        return ::testing::AssertionFailure() << "got " << got.Hex() << ", expected " << v.Hex();
    if (mpz_sgn(v) == 0 && x.sign != 0) return ::testing::AssertionFailure() << "zero with sign " << x.sign;
    return ::testing::AssertionSuccess();
}

}  // namespace bigint_test
