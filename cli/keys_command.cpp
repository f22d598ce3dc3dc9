#include <cstdio>

int RunKeysCommand(int, char**) {
    std::fprintf(stderr, "kalvora-cli keys: not built yet\n");
    return 2;
}
