// Scratch paths that no earlier run can have left behind: the scratch folder is named by
// process id, and Wine hands out the same ids run after run.
#pragma once

#include <chrono>
#include <string>

#include "tests/support/test_support.h"

inline std::u16string unique_scratch_path(const std::string& name) {
    static const std::string run =
        std::to_string(std::chrono::system_clock::now().time_since_epoch().count());
    return scratch_path(run + "-" + name);
}
