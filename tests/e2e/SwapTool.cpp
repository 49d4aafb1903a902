// e2e_swap A B: exchanges the two entries A and B (renameat2 RENAME_EXCHANGE) over and over, as fast as it
// can, until it is killed: the other user of the hostile-folder tests.
#include <cstdio>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: e2e_swap A B\n");
        return 2;
    }
    for (;;) {
        renameat2(AT_FDCWD, argv[1], AT_FDCWD, argv[2], RENAME_EXCHANGE);
    }
}
