#include <cstdio>

int RunPrimeCommand(int, char**) {
    std::fprintf(stderr, "kalvora-cli prime: not built yet\n");
    return 2;
}
