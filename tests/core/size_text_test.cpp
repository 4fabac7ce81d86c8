#include "core/size_text.h"

#include <gtest/gtest.h>

namespace {

TEST(SizeText, SizesAreReadWithTheirUnitAndTextsThatNameNoSizeHaveNone)
{
    const struct {
        const char* text;
        std::optional<double> bytes;
    } cases[] = {
        {"512K", 512.0 * 1024},
        {"3.5M", 3.5 * 1024 * 1024},
        {"1.2G", 1.2 * 1024 * 1024 * 1024},
        {" 700 KB", 700.0 * 1024},
        {"4.0m", 4.0 * 1024 * 1024},
        {"1,024", 1024.0},
        {"99", 99.0},
        {"", std::nullopt},
        {"M", std::nullopt},
        {"1.2.3M", std::nullopt},
        {"12X", std::nullopt},
        {"\xce\xb4\xd6\xaa", std::nullopt}, // 未知 in GBK
    };
    for (const auto& c : cases) {
        const std::optional<double> bytes = core::sizeTextBytes(c.text);
        ASSERT_EQ(bytes.has_value(), c.bytes.has_value()) << c.text;
        if (bytes) {
            EXPECT_DOUBLE_EQ(*bytes, *c.bytes) << c.text;
        }
    }
    // What sorting relies on: a larger unit outweighs a larger number.
    EXPECT_LT(*core::sizeTextBytes("900K"), *core::sizeTextBytes("1.0M"));
}

} // namespace
