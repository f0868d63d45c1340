#include "platform/keyboard_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

TEST(KeyboardLayout, NamesAreUniqueIgnoringCase) {
    std::map<std::string, int> seen;
    for (int key = 8; key <= 255; ++key) {
        const std::string name = VirtualKeyName(key);
        if (name.empty())
            continue;
        const auto [where, isNew] = seen.emplace(Lower(name), key);
        EXPECT_TRUE(isNew) << name << " names " << where->second << " and " << key;
    }
}

TEST(KeyboardLayout, NamesTheKeysHotKeysNeed) {
    const int keys[] = {0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE,
                        0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F, 0x13, 0x14, 0x2C, 0x90, 0x91,
                        0x5B, 0x5C, 0x5D, 0xA6, 0xAD, 0xAE, 0xAF, 0xB0, 0xB1, 0xB2, 0xB3};
    for (int key : keys)
        EXPECT_FALSE(VirtualKeyName(key).empty()) << key;
    EXPECT_TRUE(VirtualKeyName(0).empty());
    EXPECT_TRUE(VirtualKeyName(0xE8).empty());
    EXPECT_TRUE(VirtualKeyName(256).empty());
    EXPECT_TRUE(VirtualKeyName(-1).empty());
}

// A key named by one character must be the key that types it, or text
// written from the name could not be read back through the character.
TEST(KeyboardLayout, SingleCharacterNamesAreTypedByTheirKey) {
    int checked = 0;
    for (int key = 8; key <= 255; ++key) {
        const std::string name = VirtualKeyName(key);
        if (name.size() != 1)
            continue;
        ++checked;
        EXPECT_EQ(VirtualKeyForChar(static_cast<unsigned char>(name[0])), key) << name;
    }
    EXPECT_EQ(checked, 10 + 26 + 11);
}

} // namespace
