#include "ProgressBar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

int Redraws(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '%'));
}

TEST(ProgressBar, RedrawsOnlyWhenThePercentChanges) {
    std::ostringstream out;
    ProgressBar bar(out, true);
    bar.Start(1000);
    bar.Update(5);
    bar.Update(10);
    bar.Update(10);
    bar.Update(2000);  // more than announced: a file that grew while read
    EXPECT_EQ(Redraws(out.str()), 3);
    EXPECT_NE(out.str().find("] 0%"), std::string::npos);
    EXPECT_NE(out.str().find("] 1%"), std::string::npos);
    EXPECT_NE(out.str().find("[########################################] 100%"), std::string::npos);
    bar.Finish();
    EXPECT_EQ(out.str().substr(out.str().size() - 4), "\r\033[K");
}

TEST(ProgressBar, SilentWhenDisabledOrWithoutATotal) {
    for (const bool enabled : {false, true}) {
        std::ostringstream out;
        ProgressBar bar(out, enabled);
        bar.Start(enabled ? 0 : 100);
        bar.Update(50);
        bar.Finish();
        EXPECT_EQ(out.str(), "") << enabled;
    }
}

}  // namespace
