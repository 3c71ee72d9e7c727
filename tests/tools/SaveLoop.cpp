// Saves a file over and over, alternating two contents, until it is killed: the other side of
// the test that kills a saving process at random moments.
//
//   pk_save_loop FILE

#include "AtomicFile.h"

#include <cstdio>
#include <string>

std::string Content(char letter) {
    return std::string(1, letter) + "\n" + std::string(300000, letter) + "\nend\n";
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pk_save_loop FILE\n");
        return 2;
    }
    const std::string contents[2] = {Content('a'), Content('b')};
    for (unsigned i = 0;; ++i)
        if (!ReplaceFileDurably(argv[1], contents[i % 2])) {
            std::perror(argv[1]);
            return 1;
        }
}
