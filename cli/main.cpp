// kalvora-cli: the calculator and the prime console without a window.
//
//   kalvora-cli keys [FILE]
//   kalvora-cli prime [FIELD=VALUE ...] [abort-after=MS]
//   kalvora-cli ecm N [b1=B1] [b2=B2] [curves=C] [seed=S] [threads=T]
//   kalvora-cli isprime [N ...]
//   kalvora-cli nextprime N | prevprime N
//   kalvora-cli siqs N [threads=T]

#include <cstdio>
#include <cstring>

int RunKeysCommand(int argc, char** argv);
int RunPrimeCommand(int argc, char** argv);
int RunEcmCommand(int argc, char** argv);
int RunIsPrimeCommand(int argc, char** argv);
int RunNextPrimeCommand(int argc, char** argv);
int RunPrevPrimeCommand(int argc, char** argv);
int RunSiqsCommand(int argc, char** argv);

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "keys") == 0) return RunKeysCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "prime") == 0) return RunPrimeCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "ecm") == 0) return RunEcmCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "isprime") == 0) return RunIsPrimeCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "nextprime") == 0) return RunNextPrimeCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "prevprime") == 0) return RunPrevPrimeCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "siqs") == 0) return RunSiqsCommand(argc - 2, argv + 2);
    std::fprintf(stderr,
                 "usage: kalvora-cli keys [FILE]\n"
                 "       kalvora-cli prime [FIELD=VALUE ...] [abort-after=MS]\n"
                 "       kalvora-cli isprime [N ...]   (numbers from standard input when none)\n"
                 "       kalvora-cli nextprime N\n"
                 "       kalvora-cli prevprime N\n"
                 "       kalvora-cli ecm N [b1=B1] [b2=B2] [curves=C] [seed=S] [threads=T]\n"
                 "       kalvora-cli siqs N [threads=T]\n");
    return 2;
}
