#include "foundation/UXProcessMemory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <memory>
#include <string>
#include <vector>

// A freed result list stays with the process: building it again must not fault its pages in anew.
TEST(ProcessMemory, FreedListIsKeptForTheNextOne) {
#if defined(__GLIBC__)
    KeepFreedMemory();
    using TList = std::vector<std::vector<std::string>>;
    auto build = [] {
        TList rows(30000);
        for (auto& row : rows)
            for (int k = 0; k < 8; ++k)
                row.emplace_back(30, 'x');
        return rows;
    };
    TList list = build();
    const size_t held = mallinfo2().arena;
    list = TList();
    // A large block freed last, as a list's record array is, makes glibc gather the small ones and
    // decide whether to hand the heap's top back.
    auto big = std::make_unique<char[]>(100 * 1024);
    big[0] = 1;
    big.reset();
    EXPECT_GE(mallinfo2().arena, held) << "the freed list was handed back";
    list = build();
    EXPECT_LE(mallinfo2().arena, held + held / 10) << "the second list did not reuse the first one's memory";
#else
    GTEST_SKIP() << "glibc only";
#endif
}
