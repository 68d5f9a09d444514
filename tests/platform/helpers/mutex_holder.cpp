// A second process for the named-mutex tests.
//
//   kernel_mutex_holder NAME    creates the mutex NAME and prints "created",
//                               "exists" or "failed";
//   kernel_mutex_holder --wait  prints "waiting" and holds nothing.
//
// Either way it then stays alive until its standard input reaches end of
// file (or it is killed), so it never outlives the test that started it.
#include <windows.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    if (std::strcmp(argv[1], "--wait") == 0) {
        std::puts("waiting");
    } else if (!CreateMutexA(nullptr, FALSE, argv[1])) {
        std::puts("failed");
    } else {
        std::puts(GetLastError() == ERROR_ALREADY_EXISTS ? "exists" : "created");
    }
    std::fflush(stdout);
    char c;
    while (read(STDIN_FILENO, &c, 1) > 0) {
    }
    return 0;
}
