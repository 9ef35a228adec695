// moutil: copies mail kept by other programs into the client's Import folder.

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("moutil %s\n", CORVINA_VERSION);
        return 0;
    }
    std::printf("Usage: moutil --version\n");
    return argc == 2 && std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
}
