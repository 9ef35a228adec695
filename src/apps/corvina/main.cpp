// corvina: the mail client. Until the windows exist it offers only the
// options below.

#include <cstdio>
#include <cstring>

namespace {

void PrintHelp() {
    std::printf(
        "Usage: corvina [OPTION]\n"
        "  --version   print the version and exit\n"
        "  --help      print this help and exit\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("corvina %s\n", CORVINA_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        PrintHelp();
        return 0;
    }
    PrintHelp();
    return 2;
}
