#include <cstdio>

int main() {
    std::printf("%s %s\n", TAVO_TITLE_TEXT, TAVO_VERSION_TEXT);
    return 0;
}
