// kalvora-cli: the calculator and the prime console without a window. One
// table names every subcommand, its entry point and its help text; "--help"
// alone or after a subcommand prints the help.

#include <cstdio>
#include <cstring>

int RunKeysCommand(int argc, char** argv);
int RunPrimeCommand(int argc, char** argv);
int RunEcmCommand(int argc, char** argv);
int RunIsPrimeCommand(int argc, char** argv);
int RunNextPrimeCommand(int argc, char** argv);
int RunPrevPrimeCommand(int argc, char** argv);
int RunSiqsCommand(int argc, char** argv);
int RunFactorCommand(int argc, char** argv);

namespace {

struct Subcommand {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* usage;
    const char* help;
};

constexpr Subcommand SUBCOMMANDS[] = {
    {"keys", RunKeysCommand, "keys [FILE]",
     "Feeds a script of the calculator window's command ids and events (from FILE or standard\n"
     "input) to the calculator engine and prints what the window would show: \"box[CAPTION]: TEXT\"\n"
     "per message box, \"clip<-TEXT\" per clipboard write and the state line. Tokens: command ids,\n"
     "radix=N, modulus=T, modulus-cancel=T, clip=T, clip-none, display=T, show; '#' comments.\n"},
    {"prime", RunPrimeCommand, "prime [FIELD=VALUE ...] [abort-after=MS]",
     "Runs what the prime console's start button runs, with the console's settings given as\n"
     "FIELD=VALUE (target, mrTrials, action, method, trialDivBound, trialDivFirst, rhoX0,\n"
     "rhoExponent, rhoAddend, rhoTrials, pm1SmallExponent, pm1Bound, pm1LargeExponent,\n"
     "ecmSmoothness, ecmTrials, mpqsThreads, lowerPriority), on a worker thread; abort-after=MS\n"
     "presses the abort button after MS milliseconds. Prints each message box as \"box: TEXT\",\n"
     "then \"seconds: S\"; what a long run is doing goes to standard error as \"progress: TEXT\".\n"},
    {"isprime", RunIsPrimeCommand, "isprime [N ...]",
     "Proves each decimal N prime or composite and prints \"N: prime\" or \"N: composite\".\n"
     "Reads one number per line from standard input when none is given. Exit status 2 when a\n"
     "number is not valid (the others are still tested).\n"},
    {"nextprime", RunNextPrimeCommand, "nextprime N", "Prints the least probable prime above N.\n"},
    {"prevprime", RunPrevPrimeCommand, "prevprime N",
     "Prints the greatest probable prime below N; exit status 1 when there is none.\n"},
    {"ecm", RunEcmCommand, "ecm N [b1=B1] [b2=B2] [curves=C] [seed=S] [threads=T]",
     "Runs up to C elliptic curves with bounds B1 and B2 on N and prints \"found: F\" (or\n"
     "\"found: none\"), \"curves: K\" and \"seconds: S\". The seed makes a run repeatable.\n"},
    {"siqs", RunSiqsCommand, "siqs N [threads=T]",
     "Factors N (up to 100 digits) completely with the quadratic sieve and prints\n"
     "\"factors: p1 p2 ...\" and \"seconds: S\".\n"},
    {"factor", RunFactorCommand, "factor [--time-limit=S] [--threads=T] [-v] [N ...]",
     "Factors each N completely into proven primes and prints \"N: p1 p2 p2 p3\" (ascending, with\n"
     "multiplicity; -1 first for a negative N; \"0:\" and \"1:\" for 0 and 1). Reads one number per\n"
     "line from standard input when none is given.\n"
     "  --time-limit=S  stop a number after S seconds; its unsplit part is printed as [C]\n"
     "  --threads=T     threads for the curves, the sieve and the proofs (default: one per core)\n"
     "  -v              progress lines on standard error\n"
     "Exit status: 0 every number factored completely, 1 one was not, 2 a bad argument.\n"},
};

void PrintUsage(FILE* out) {
    std::fprintf(out, "usage:");
    const char* lead = " ";
    for (const Subcommand& s : SUBCOMMANDS) {
        std::fprintf(out, "%skalvora-cli %s\n", lead, s.usage);
        lead = "       ";
    }
    std::fprintf(out, "       kalvora-cli [SUBCOMMAND] --help\n");
}

bool IsHelp(const char* arg) { return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0; }

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && IsHelp(argv[1])) {
        PrintUsage(stdout);
        std::printf("\n");
        for (const Subcommand& s : SUBCOMMANDS) std::printf("%s\n%s\n", s.usage, s.help);
        return 0;
    }
    for (const Subcommand& s : SUBCOMMANDS) {
        if (argc < 2 || std::strcmp(argv[1], s.name) != 0) continue;
        if (argc == 3 && IsHelp(argv[2])) {
            std::printf("usage: kalvora-cli %s\n\n%s", s.usage, s.help);
            return 0;
        }
        return s.run(argc - 2, argv + 2);
    }
    PrintUsage(stderr);
    return 2;
}
