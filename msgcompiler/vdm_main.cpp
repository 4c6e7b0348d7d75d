#include <cstdio>

int main(int argc, char** argv) {
    (void)argv;
    if (argc < 2) {
        std::fprintf(stderr, "usage: vdm -a <prefix> -m <diagnostics file> [-p] [options]\n");
        return 8;
    }
    return 8;
}
