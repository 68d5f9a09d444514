// Running out of memory at the Win32 boundary. Inside the layer, C++
// containers and allocations report it by throwing; a Win32 function
// reports it by its failure result (NULL, 0, FALSE) with
// ERROR_NOT_ENOUGH_MEMORY as the last error, and its caller, plain C that
// knows no exceptions, carries on. So no allocation failure may leave the
// layer as an exception.
#pragma once

#include <windows.h>

#include <new>
#include <stdexcept>

namespace platform::kernel {

// What `body` returns, or `failed` with ERROR_NOT_ENOUGH_MEMORY as the last
// error when it runs out of memory on the way: std::bad_alloc, or
// std::length_error from a container asked to grow past what it can hold.
template <class R, class Body>
R failOnNoMemory(R failed, Body&& body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return failed;
}

}  // namespace platform::kernel
