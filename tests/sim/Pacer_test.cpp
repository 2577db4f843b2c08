#include "Pacer.h"

#include <gtest/gtest.h>

#include <string>

#include "LineFaults.h"

namespace {

TEST(Pacer, AllowsBaudOverTenBytesPerSecond) {
    TPacer pacer;
    pacer.SetBaud(230400, 0);
    EXPECT_EQ(pacer.Allowance(0), 0u);
    EXPECT_GT(pacer.Wait(), 0);
    size_t sent = 0;
    for (int ms = 1; ms <= 1000; ++ms) {
        const size_t n = pacer.Allowance(ms / 1000.0);
        pacer.Spent(n);
        sent += n;
    }
    EXPECT_NEAR(static_cast<double>(sent), 23040, 2);
}

// A reader that stopped reading for a second gets no second's worth at once.
TEST(Pacer, CreditIsCapped) {
    TPacer pacer;
    pacer.SetBaud(115200, 0);
    EXPECT_EQ(pacer.Allowance(1.0), static_cast<size_t>(11520 * TPacer::kMaxCreditSeconds));
}

TEST(LineFaults, RatesAndSeedsHold) {
    const std::string clean(100000, 'A');
    EXPECT_EQ(TLineFaults(0, 0, 1).Apply(clean), clean);

    const std::string flipped = TLineFaults(0.01, 0, 1).Apply(clean);
    ASSERT_EQ(flipped.size(), clean.size());
    int changed = 0;
    for (char c : flipped) {
        if (c != 'A') {
            ++changed;
            EXPECT_EQ(__builtin_popcount(static_cast<unsigned char>(c ^ 'A')), 1);
        }
    }
    EXPECT_NEAR(changed, 1000, 150);

    const std::string stray = TLineFaults(0, 0.05, 1).Apply(clean);
    EXPECT_NEAR(static_cast<double>(stray.size() - clean.size()), 5000, 400);
    EXPECT_EQ(stray, TLineFaults(0, 0.05, 1).Apply(clean));
    EXPECT_NE(stray, TLineFaults(0, 0.05, 2).Apply(clean));
}

}  // namespace
