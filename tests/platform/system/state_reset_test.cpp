// The reset registry runs every registered reset once, top layer first, whatever the order in
// which the files registered.
#include "platform/state_reset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string>& calls() {
    static std::vector<std::string> list;
    return list;
}

void reset_lens_part() {
    calls().push_back("lens");
}
void reset_feature_part() {
    calls().push_back("feature");
}
void reset_runtime_part() {
    calls().push_back("runtime");
}

// Registered out of layer order on purpose.
const platform::StateReset lens_part_state_reset{"test/lens_part", reset_lens_part,
                                                 platform::ResetLayer::lens};
const platform::StateReset runtime_part_state_reset{"test/runtime_part", reset_runtime_part,
                                                    platform::ResetLayer::runtime};
const platform::StateReset feature_part_state_reset{"test/feature_part", reset_feature_part,
                                                    platform::ResetLayer::feature};

TEST(StateReset, RunsEveryResetOnceFromTheTopLayerDown) {
    calls().clear();
    platform::reset_all_state();
    EXPECT_EQ(calls(), (std::vector<std::string>{"feature", "lens", "runtime"}));

    const std::vector<std::string> names = platform::registered_state_resets();
    const auto at = [&](const std::string& name) {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == name) return static_cast<int>(i);
        return -1;
    };
    ASSERT_GE(at("test/feature_part"), 0);
    EXPECT_LT(at("test/feature_part"), at("test/lens_part"));
    EXPECT_LT(at("test/lens_part"), at("test/runtime_part"));
}

}  // namespace
