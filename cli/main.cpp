// kalvora-cli: the calculator and the prime console without a window.
//
//   kalvora-cli keys [FILE]
//   kalvora-cli prime [FIELD=VALUE ...] [abort-after=MS]
//   kalvora-cli siqs N [threads=T]

#include <cstdio>
#include <cstring>

int RunKeysCommand(int argc, char** argv);
int RunPrimeCommand(int argc, char** argv);
int RunSiqsCommand(int argc, char** argv);

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "keys") == 0) return RunKeysCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "prime") == 0) return RunPrimeCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "siqs") == 0) return RunSiqsCommand(argc - 2, argv + 2);
    std::fprintf(stderr,
                 "usage: kalvora-cli keys [FILE]\n"
                 "       kalvora-cli prime [FIELD=VALUE ...] [abort-after=MS]\n"
                 "       kalvora-cli siqs N [threads=T]\n");
    return 2;
}
