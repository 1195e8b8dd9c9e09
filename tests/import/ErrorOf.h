// The message of the ImportError that a call throws.
#pragma once

#include <string>

#include "tools/import/ImportError.h"

namespace norv::test {

// Empty when `f` throws none.
template <typename F>
std::string ErrorOf(F f) {
    try {
        f();
    } catch (const import::ImportError& e) {
        return e.what();
    }
    return "";
}

}  // namespace norv::test
