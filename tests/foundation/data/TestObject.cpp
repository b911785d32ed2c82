#include "foundation/UXObject.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace {

class TXTestAlpha : public TXObject {
public:
    TXTestAlpha() : TXObject("TXTestAlpha") {}
};

class TXTestBeta : public TXObject {
public:
    TXTestBeta() : TXObject("TXTestBeta") {}
};

TEST(TXObject, ReportListsLiveInstancesPerClass) {
    const std::string before = ObjectRegistryReport();
    {
        TXTestBeta b1;
        TXTestAlpha a1, a2;
        auto a3 = std::make_unique<TXTestAlpha>();
        TXTestAlpha copy(a1);
        copy = a2;
        EXPECT_EQ(copy.ClassName(), std::string("TXTestAlpha"));
        EXPECT_EQ(LiveObjectCount("TXTestAlpha"), 4u);
        EXPECT_EQ(ObjectRegistryReport(), before + "TXTestAlpha:4\nTXTestBeta:1\n");
        a3.reset();
        EXPECT_EQ(ObjectRegistryReport(), before + "TXTestAlpha:3\nTXTestBeta:1\n");
        EXPECT_TRUE(IsLiveObject(&b1));
    }
    EXPECT_EQ(ObjectRegistryReport(), before);
    EXPECT_EQ(LiveObjectCount("TXTestAlpha"), 0u);
}

TEST(TXObject, WriteReportGoesToStderr) {
    TXTestBeta b;
    testing::internal::CaptureStderr();
    WriteObjectRegistryReport();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("TXTestBeta:1\n"), std::string::npos);
}

TEST(TXObject, RegistryIsSafeAcrossThreads) {
    const size_t before = LiveObjectCount();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 2000; ++i) {
                std::vector<std::unique_ptr<TXTestAlpha>> v(5);
                for (auto& p : v) {
                    p = std::make_unique<TXTestAlpha>();
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(LiveObjectCount(), before);
}

} // namespace
