// The headless backend, installed in-process for a test.
#pragma once

#include "backend/headless/headless.h"

#include <memory>

namespace test_support {

// Makes this process's backend a fresh headless one; returns it for the
// test to read (it stays owned by the layer).
inline platform::backend::HeadlessBackend* installHeadless(const platform::backend::HeadlessConfig& config = {}) {
    auto backend = platform::backend::makeHeadlessBackend(config);
    platform::backend::HeadlessBackend* raw = backend.get();
    platform::backend::install(std::move(backend));
    return raw;
}

// One poll that finds no input: the virtual clock moves on by its step, as
// on every pass of a message loop that finds nothing to do.
inline void idlePoll(platform::backend::HeadlessBackend* backend) {
    platform::backend::Event e;
    backend->pollEvent(e);
}

}  // namespace test_support
