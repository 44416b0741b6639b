#pragma once
// A check of a caller's promise that stays on in release builds: a broken promise here is a bug
// in the calling code, and going on would read or write the wrong option.

#include <cstdio>
#include <cstdlib>

namespace tessel::settings {

inline void expectCaller(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "settings: caller bug: %s\n", what);
        std::abort();
    }
}

}  // namespace tessel::settings
