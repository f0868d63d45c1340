#include "model/parameters.h"

#include "base/exception.h"
#include "model/text_compare.h"
#include "tests/model/qstring_printer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TParameters Pairs(std::initializer_list<TParameter> pairs) {
    return TParameters(pairs);
}

TEST(FindParameter, IgnoresLetterCaseAndTakesTheFirstOfDuplicates) {
    const auto list = Pairs({{"Camera", "1"}, {"CenterX", "10"}, {"centerx", "20"}});
    ASSERT_NE(list.FindParameter("centerx"), nullptr);
    EXPECT_EQ(list.FindParameter("centerx")->Value, "10");
    EXPECT_EQ(list.FindParameter("CENTERX")->Value, "10");
    EXPECT_EQ(list.FindParameter("Center"), nullptr);
}

TEST(FindParameter, FoldsCaseBeyondAscii) {
    const auto list = Pairs({{QString::fromUtf8("Ärger"), "1"}, {QString::fromUtf8("ΣΟΦΙΑ"), "2"}});
    ASSERT_NE(list.FindParameter(QString::fromUtf8("äRGER")), nullptr);
    ASSERT_NE(list.FindParameter(QString::fromUtf8("σοφια")), nullptr);
    EXPECT_EQ(list.FindParameter(QString::fromUtf8("σοφια"))->Value, "2");
}

TEST(FindParameter, FoldsCaseOutsideTheBasicPlane) {
    // Deseret capital and small long I.
    const auto list = Pairs({{QString::fromUtf8("\xF0\x90\x90\x80x"), "1"}});
    EXPECT_NE(list.FindParameter(QString::fromUtf8("\xF0\x90\x90\xA8X")), nullptr);
}

// Name lookups reject names of another length without folding them; that is
// only exact while no character folds into the other plane.
TEST(SameTextIgnoringCase, FoldingNeverChangesTheUtf16Length) {
    for (char32_t c = 0; c < 0x110000; ++c) {
        if (c >= 0xD800 && c < 0xE000)
            continue;
        const char32_t folded = QChar::toCaseFolded(c);
        ASSERT_EQ(c > 0xFFFF, folded > 0xFFFF) << std::hex << static_cast<uint32_t>(c);
    }
    EXPECT_TRUE(SameTextIgnoringCase(QString::fromUtf8("Ärger"), QString::fromUtf8("äRGER")));
    EXPECT_FALSE(SameTextIgnoringCase(QString::fromUtf8("straße"), "STRASSE"));
}

class IntParameter : public ::testing::Test {
protected:
    TParameters list = Pairs({{"a", "12.9"},
                              {"b", "-12.9"},
                              {"c", "7"},
                              {"big", "16777217"},
                              {"bad", "x1"},
                              {"huge", "3e10"},
                              {"edge", "-2147483648"},
                              {"max", "2147483647"},
                              {"over", "2147483648"},
                              {"under", "-2147483649"}});
};

TEST_F(IntParameter, TruncatesTowardZero) {
    int32_t value = 0;
    ASSERT_TRUE(list.GetIntParameter("a", value));
    EXPECT_EQ(value, 12);
    ASSERT_TRUE(list.GetIntParameter("b", value));
    EXPECT_EQ(value, -12);
    ASSERT_TRUE(list.GetIntParameter("c", value));
    EXPECT_EQ(value, 7);
    ASSERT_TRUE(list.GetIntParameter("edge", value));
    EXPECT_EQ(value, INT32_MIN);
    ASSERT_TRUE(list.GetIntParameter("max", value));
    EXPECT_EQ(value, INT32_MAX);
}

TEST_F(IntParameter, PassesThroughSinglePrecision) {
    int32_t value = 0;
    ASSERT_TRUE(list.GetIntParameter("big", value));
    EXPECT_EQ(value, 16777216);
}

TEST_F(IntParameter, MissingNameFailsAndLeavesTheOutputAlone) {
    int32_t value = 99;
    EXPECT_FALSE(list.GetIntParameter("missing", value));
    EXPECT_EQ(value, 99);
}

TEST_F(IntParameter, NonNumbersAndOutOfRangeValuesRaiseConversionErrors) {
    int32_t value = 99;
    EXPECT_THROW(list.GetIntParameter("bad", value), TConvertError);
    EXPECT_THROW(list.GetIntParameter("huge", value), TConvertError);
    EXPECT_THROW(list.GetIntParameter("over", value), TConvertError);
    EXPECT_THROW(list.GetIntParameter("under", value), TConvertError);
    EXPECT_EQ(value, 99);
    try {
        list.GetIntParameter("bad", value);
    } catch (const TConvertError& error) {
        EXPECT_STREQ(error.what(), "'x1' is not a valid number!");
    }
}

struct TNumberCase {
    const char* Text;
    float Expected;
};

void PrintTo(const TNumberCase& c, std::ostream* out) {
    *out << '"' << c.Text << '"';
}

class DecimalSeparators : public ::testing::TestWithParam<TNumberCase> {};

TEST_P(DecimalSeparators, ReadAlike) {
    const auto list = Pairs({{"v", GetParam().Text}});
    float value = -1;
    ASSERT_TRUE(list.GetFloatParameter("v", value));
    EXPECT_FLOAT_EQ(value, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Parameters, DecimalSeparators,
    ::testing::Values(TNumberCase{"2.5", 2.5f}, TNumberCase{"2,5", 2.5f}, TNumberCase{" 2,5 ", 2.5f},
                      TNumberCase{"-0.25", -0.25f}, TNumberCase{"+3", 3.0f}, TNumberCase{"1E2", 100.0f},
                      TNumberCase{"1,5e-1", 0.15f}, TNumberCase{"-2.5E+1", -25.0f}, TNumberCase{",5", 0.5f},
                      TNumberCase{"5.", 5.0f}, TNumberCase{"1e-60", 0.0f},
                      TNumberCase{"0.000000000000000000000000000000000000000000000000001", 0.0f}));

class NotNumbers : public ::testing::TestWithParam<const char*> {};

TEST_P(NotNumbers, RaiseConversionErrors) {
    const auto list = Pairs({{"v", GetParam()}});
    float value = 42;
    EXPECT_THROW(list.GetFloatParameter("v", value), TConvertError);
    EXPECT_EQ(value, 42);
}

INSTANTIATE_TEST_SUITE_P(Parameters, NotNumbers,
                         ::testing::Values("", " ", "abc", "1.2.3", "1,2.3", "inf", "nan", "0x10", "1e", "e5",
                                           "--1", "+", ".", "1 2", "1e39", "١٢"));

TEST(ParametersFromLines, KeepsOnlyLinesWithNameAndValue) {
    TParameters list = Pairs({{"old", "1"}});
    list.ParametersFromLines({"a=b=c", "=x", "y=", "no equals", ""});
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list[0].Name, "a");
    EXPECT_EQ(list[0].Value, "b=c");
}

TEST(ParametersFromLines, TrimsNothing) {
    TParameters list;
    list.ParametersFromLines({" a = 1 "});
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list[0].Name, " a ");
    EXPECT_EQ(list[0].Value, " 1 ");
}

TEST(ParametersText, JoinsPairsWithSingleSpaces) {
    EXPECT_EQ(Pairs({{"a", "1"}, {"b", "2"}}).ParametersToText(), "a=1 b=2");
    EXPECT_EQ(TParameters().ParametersToText(), "");
}

TEST(ParametersText, LinesRoundTrip) {
    const auto list = Pairs({{"Person", "Ann"}, {"CenterX", "0,5"}, {"Person", "Bob"}});
    QStringList lines{"stale"};
    list.ParametersToLines(lines);
    EXPECT_EQ(lines, QStringList({"Person=Ann", "CenterX=0,5", "Person=Bob"}));
    TParameters back;
    back.ParametersFromLines(lines);
    EXPECT_TRUE(ParametersEqual(back, list));
}

TEST(ParametersCompare, EqualityIsOrderAndCaseSensitive) {
    EXPECT_TRUE(ParametersEqual(Pairs({{"a", "1"}, {"b", "2"}}), Pairs({{"a", "1"}, {"b", "2"}})));
    EXPECT_FALSE(ParametersEqual(Pairs({{"a", "1"}, {"b", "2"}}), Pairs({{"b", "2"}, {"a", "1"}})));
    EXPECT_FALSE(ParametersEqual(Pairs({{"A", "1"}}), Pairs({{"a", "1"}})));
    EXPECT_FALSE(ParametersEqual(Pairs({{"a", "1"}}), Pairs({{"a", "1"}, {"b", "2"}})));
    EXPECT_TRUE(ParametersEqual(TParameters(), TParameters()));
}

TEST(ParametersCompare, LessFollowsTheTextForm) {
    // The space between pairs takes part: "a=1 b=2" sorts before "a=1b".
    EXPECT_TRUE(ParametersLess(Pairs({{"a", "1"}, {"b", "2"}}), Pairs({{"a", "1b"}})));
    EXPECT_TRUE(ParametersLess(TParameters(), Pairs({{"a", "1"}})));
    EXPECT_FALSE(ParametersLess(Pairs({{"a", "1"}}), Pairs({{"a", "1"}})));
    EXPECT_TRUE(ParametersLess(Pairs({{"A", "1"}}), Pairs({{"a", "1"}})));
}

TEST(ParametersCompare, LessIsUtf8ByteOrderNotUtf16Order) {
    // U+FF5E is EF BD 9E in UTF-8 and U+1F600 is F0 9F 98 80: the emoji sorts
    // last in bytes although its first UTF-16 unit (D83D) is smaller.
    const auto fullwidth = Pairs({{"a", QString(QChar(0xFF5E))}});
    const auto emoji = Pairs({{"a", QString::fromUtf8("\xF0\x9F\x98\x80")}});
    EXPECT_TRUE(ParametersLess(fullwidth, emoji));
    EXPECT_FALSE(ParametersLess(emoji, fullwidth));
    EXPECT_EQ(ParametersLess(fullwidth, emoji),
              fullwidth.ParametersToText().toUtf8() < emoji.ParametersToText().toUtf8());
}

TEST(ParametersCompare, EqualExceptLeavesOutNamesCaseSensitively) {
    const TParameterNames except{"x"};
    EXPECT_TRUE(
        ParametersEqualExcept(Pairs({{"x", "1"}, {"y", "2"}}), Pairs({{"x", "5"}, {"y", "2"}}), &except));
    EXPECT_FALSE(ParametersEqualExcept(Pairs({{"X", "1"}, {"y", "2"}}), Pairs({{"y", "2"}}), &except));
    EXPECT_TRUE(ParametersEqualExcept(Pairs({{"y", "2"}, {"x", "1"}, {"z", "3"}}),
                                      Pairs({{"y", "2"}, {"z", "3"}}), &except));
    EXPECT_FALSE(
        ParametersEqualExcept(Pairs({{"x", "1"}, {"y", "2"}}), Pairs({{"x", "5"}, {"y", "2"}}), nullptr));
    EXPECT_TRUE(ParametersEqualExcept(Pairs({{"x", "1"}}), TParameters(), &except));
}

} // namespace
