#include "model/hot_keys.h"

#include "tests/model/qstring_printer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class KeyTextRoundTrip : public ::testing::TestWithParam<THotKey> {};

// Files store keys as text, so every named key must read back as itself.
TEST_P(KeyTextRoundTrip, EveryNamedKeyReadsBack) {
    const THotKey modifiers = GetParam();
    int namedKeys = 0;
    for (int key = 8; key <= 255; ++key) {
        const auto code = static_cast<THotKey>(key | modifiers);
        const QString text = KeyToText(code);
        SCOPED_TRACE(testing::Message() << "key " << key << " text " << text.toStdString());
        if (KeyToText(static_cast<THotKey>(key)).isEmpty()) {
            EXPECT_TRUE(text.isEmpty());
            continue;
        }
        ++namedKeys;
        const bool isKeypadDigit = key >= 0x60 && key <= 0x69;
        const auto expected = static_cast<THotKey>((isKeypadDigit ? key - 0x30 : key) | modifiers);
        EXPECT_EQ(TextToKey(text), expected);
        EXPECT_EQ(StandardTextToKey(text), expected);
        EXPECT_EQ(TextToKey(text.toLower()), expected);
    }
    // Letters, digits, keypad, F-keys, the fixed set and the layout's keys.
    EXPECT_GE(namedKeys, 150);
}

INSTANTIATE_TEST_SUITE_P(HotKeys, KeyTextRoundTrip,
                         ::testing::Values(0, HotKeyShift, HotKeyCtrl, HotKeyAlt, HotKeyShift | HotKeyCtrl,
                                           HotKeyShift | HotKeyAlt, HotKeyCtrl | HotKeyAlt, HotKeyModifiers));

struct TNamedKey {
    int Key;
    std::string Name;
};

// Every fixed name of the key text, transcribed from the published list.
std::vector<TNamedKey> PublishedKeyNames() {
    std::vector<TNamedKey> names = {{8, "BkSp"},  {9, "Tab"},    {13, "Enter"}, {27, "Esc"},  {32, "Space"},
                                    {33, "PgUp"}, {34, "PgDn"},  {35, "End"},   {36, "Home"}, {37, "Left"},
                                    {38, "Up"},   {39, "Right"}, {40, "Down"},  {45, "Ins"},  {46, "Del"}};
    for (int i = 0; i < 10; ++i) {
        names.push_back({48 + i, std::string(1, static_cast<char>('0' + i))});
        names.push_back({96 + i, std::string(1, static_cast<char>('0' + i))});
    }
    for (int i = 0; i < 26; ++i)
        names.push_back({65 + i, std::string(1, static_cast<char>('A' + i))});
    for (int i = 1; i <= 24; ++i)
        names.push_back({111 + i, "F" + std::to_string(i)});
    return names;
}

TEST(KeyToText, EveryFixedNameMatchesThePublishedList) {
    for (const TNamedKey& named : PublishedKeyNames()) {
        EXPECT_EQ(KeyToText(static_cast<THotKey>(named.Key)).toStdString(), named.Name)
            << "key " << named.Key;
        EXPECT_EQ(StandardTextToKey(QString::fromStdString(named.Name)),
                  named.Key >= 96 && named.Key <= 105 ? named.Key - 48 : named.Key)
            << named.Name;
    }
}

TEST(KeyToText, WritesModifiersInFixedOrder) {
    EXPECT_EQ(KeyToText(HotKeyCtrl | HotKeyShift | 'A'), "Shift+Ctrl+A");
    EXPECT_EQ(KeyToText(HotKeyAlt | HotKeyCtrl | HotKeyShift | 0x70), "Shift+Ctrl+Alt+F1");
    EXPECT_EQ(KeyToText(HotKeyAlt | 0x2E), "Alt+Del");
}

TEST(KeyToText, NamesKeypadDigitsLikeMainDigits) {
    EXPECT_EQ(KeyToText(HotKeyCtrl | 0x65), "Ctrl+5");
    EXPECT_EQ(TextToKey("Ctrl+5"), HotKeyCtrl | '5');
}

TEST(KeyToText, KeysWithoutNameGiveNoText) {
    EXPECT_EQ(KeyToText(0), "");
    EXPECT_EQ(KeyToText(HotKeyShift), "");
    EXPECT_EQ(KeyToText(HotKeyCtrl | 0x07), "");
    EXPECT_EQ(KeyToText(HotKeyCtrl | 0xE8), "");
}

TEST(TextToKey, AcceptsPrefixesInAnyOrderAndCase) {
    const THotKey expected = HotKeyShift | HotKeyCtrl | 'A';
    EXPECT_EQ(TextToKey("ctrl+shift+a"), expected);
    EXPECT_EQ(TextToKey("Shift+Ctrl+A"), expected);
    EXPECT_EQ(TextToKey("^Shift+A"), expected);
    EXPECT_EQ(TextToKey("Alt+alt+F24"), HotKeyAlt | 0x87);
    EXPECT_EQ(TextToKey("shift+pgdn"), HotKeyShift | 0x22);
}

TEST(TextToKey, TextWithoutKeyGivesZero) {
    EXPECT_EQ(TextToKey(""), 0);
    EXPECT_EQ(TextToKey("Ctrl+"), 0);
    EXPECT_EQ(TextToKey("Shift+Alt+"), 0);
    EXPECT_EQ(TextToKey("^"), 0);
    EXPECT_EQ(StandardTextToKey("Ctrl+"), 0);
}

TEST(TextToKey, FallsBackToTheKeyTypingTheLastCharacter) {
    // ":" and "?" are no key names; the layout types them with ";" and "/".
    EXPECT_EQ(TextToKey("Ctrl+:"), HotKeyCtrl | 0xBA);
    EXPECT_EQ(TextToKey("Shift+Ctrl+?"), HotKeyShift | HotKeyCtrl | 0xBF);
    EXPECT_EQ(TextToKey("Alt+\""), HotKeyAlt | 0xDE);
    EXPECT_EQ(TextToKey("Ctrl++"), HotKeyCtrl | 0xBB);
    EXPECT_EQ(StandardTextToKey("Ctrl+:"), 0);
}

TEST(TextToKey, FallbackKeepsModifiersOfEveryPrefixSpelling) {
    EXPECT_EQ(TextToKey("^:"), HotKeyCtrl | 0xBA);
    EXPECT_EQ(TextToKey("ctrl+alt+:"), HotKeyCtrl | HotKeyAlt | 0xBA);
}

TEST(TextToKey, FallbackGivesZeroForCharactersNoKeyTypes) {
    EXPECT_EQ(TextToKey(QString::fromUtf8("Ctrl+é")), 0);
    EXPECT_EQ(TextToKey(QString::fromUtf8("Ctrl+\xF0\x9F\x98\x80")), 0);
    EXPECT_EQ(TextToKey(QString(QChar(0xDC00))), 0);
}

} // namespace
