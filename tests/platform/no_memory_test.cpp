// Running out of memory, as a process under an address-space limit does
// (ulimit -v): the Win32 functions fail the way Windows documents (NULL or
// FALSE, ERROR_NOT_ENOUGH_MEMORY), leave nothing half made, and the layer
// goes on working once memory is there again. Each case runs in a forked
// child under its own limit.
#include <windows.h>

#include "support/headless.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#if defined(__SANITIZE_ADDRESS__)
// A failed allocation under the limit is what these tests are about:
// AddressSanitizer is told to hand back null (as malloc does) rather than
// end the process.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}
#endif

namespace {

// The process's address space now, in bytes.
std::size_t addressSpaceInUse() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (f) {
        if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Runs `body` in a forked child whose address space may grow by `headroom`
// bytes from here; its exit code, kExceptionEscaped when an exception left
// the layer, or -1 when it did not exit. The allocations meant to fail are
// larger than 64 MB: malloc may place up to that much in space the process
// holds already (a finished thread's arena).
constexpr int kExceptionEscaped = 99;
int withinHeadroom(std::size_t headroom, const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        const rlimit limit{addressSpaceInUse() + headroom, RLIM_INFINITY};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(100);
        int code = kExceptionEscaped;
        try {
            code = body();
        } catch (...) {
        }
        std::fflush(nullptr);
        _exit(code);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

constexpr std::size_t kMegabyte = std::size_t{1} << 20;

bool failedForMemory() { return GetLastError() == ERROR_NOT_ENOUGH_MEMORY; }

TEST(NoMemory, BitmapsThatDoNotFitAreNullAndSmallerOnesStillCome) {
    test_support::installHeadless();
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(withinHeadroom(64 * kMegabyte, [screen] {
                  // 8192 x 8192 is a size the layer makes (256 MB).
                  SetLastError(0);
                  if (CreateCompatibleBitmap(screen, 8192, 8192) || !failedForMemory()) return 1;
                  SetLastError(0);
                  if (CreateBitmap(8192, 8192, 1, 32, nullptr) || !failedForMemory()) return 2;
                  if (CreateBitmap(8192, 8192, 1, 1, nullptr) == nullptr) return 3;  // 8 MB: fits
                  HBITMAP frame = CreateCompatibleBitmap(screen, 640, 480);
                  if (!frame) return 4;
                  HDC memory = CreateCompatibleDC(screen);
                  return SelectObject(memory, frame) && Rectangle(memory, 0, 0, 640, 480) ? 0 : 5;
              }),
              0);
    ReleaseDC(nullptr, screen);
}

TEST(NoMemory, ABlitWithinOneBitmapThatCannotCopyItsSourceFails) {
    test_support::installHeadless();
    EXPECT_EQ(withinHeadroom(160 * kMegabyte, [] {
                  // 128 MB fits; an overlapping copy within it needs as much
                  // again for the source, which does not.
                  HDC screen = GetDC(nullptr);
                  HBITMAP big = CreateCompatibleBitmap(screen, 8192, 4096);
                  HDC dc = CreateCompatibleDC(screen);
                  if (!big || !SelectObject(dc, big)) return 1;
                  SetLastError(0);
                  if (BitBlt(dc, 1, 1, 8192, 4096, dc, 0, 0, SRCCOPY) || !failedForMemory()) return 2;
                  if (StretchBlt(dc, 0, 0, 8192, 4096, dc, 8191, 0, -8192, 4096, SRCCOPY)) return 3;
                  // Without the overlap no copy is needed.
                  return BitBlt(dc, 0, 0, 1024, 1024, dc, 4096, 2048, SRCCOPY) ? 0 : 4;
              }),
              0);
}

LRESULT CALLBACK plainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST(NoMemory, AWindowWhoseFrameDoesNotFitIsNotMadeOrResized) {
    platform::backend::HeadlessBackend* backend = test_support::installHeadless();
    WNDCLASSA wc{};
    wc.lpfnWndProc = plainProc;
    wc.lpszClassName = "NoMemoryWindow";
    ASSERT_NE(RegisterClassA(&wc), 0);
    EXPECT_EQ(withinHeadroom(64 * kMegabyte, [backend] {
                  // A 16384 x 16384 frame is 1 GB.
                  SetLastError(0);
                  if (CreateWindowExA(0, "NoMemoryWindow", "huge", WS_POPUP, 0, 0, 16384, 16384, nullptr, nullptr,
                                      nullptr, nullptr) ||
                      !failedForMemory())
                      return 1;
                  if (backend->window(1)) return 2;  // no window was left on the screen
                  HWND w = CreateWindowExA(0, "NoMemoryWindow", "small", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480,
                                           nullptr, nullptr, nullptr, nullptr);
                  if (!w) return 3;
                  SetLastError(0);
                  if (SetWindowPos(w, nullptr, 0, 0, 16384, 16384, SWP_NOMOVE | SWP_NOZORDER) || !failedForMemory())
                      return 4;
                  RECT client{};
                  GetClientRect(w, &client);
                  if (client.right != 640 || client.bottom != 480) return 5;
                  HDC dc = GetDC(w);
                  if (!dc || !Rectangle(dc, 0, 0, 640, 480)) return 6;
                  ReleaseDC(w, dc);
                  return DestroyWindow(w) && !IsWindow(w) ? 0 : 7;
              }),
              0);
}

}  // namespace
