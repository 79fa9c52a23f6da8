// Console program: runs a master file without a window.
#include <cstdio>

int main(int argc, char** argv) {
    (void)argv;
    if (argc < 2) std::puts("usage: velmorantis [--master FILE]");
    return 0;
}
