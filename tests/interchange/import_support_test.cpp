#include "interchange/import_support.h"
#include "interchange/prolog_import.h"
#include "interchange/text_imports.h"
#include "tests/interchange/import_fixture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

// The scanner must read numbers as the C conversion functions do in the "C"
// locale (the test process never sets another): same value, same end.
void ExpectReadAsStrtof(const std::string& text) {
    const char* end = nullptr;
    const float expected = std::strtof(text.c_str(), const_cast<char**>(&end));
    TCScanner in(text);
    const std::optional<float> value = in.ReadFloat();
    if (end == text.c_str()) {
        EXPECT_FALSE(value) << text;
        return;
    }
    ASSERT_TRUE(value) << text;
    EXPECT_EQ(std::memcmp(&*value, &expected, sizeof expected), 0)
        << text << ": " << *value << " " << expected;
    EXPECT_EQ(in.Position(), static_cast<std::size_t>(end - text.c_str())) << text;
}

void ExpectReadAsStrtol(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long long expected = std::strtoll(text.c_str(), &end, 10);
    TCScanner in(text);
    const std::optional<int32_t> value = in.ReadInt();
    if (end == text.c_str() || errno == ERANGE || expected < INT32_MIN || expected > INT32_MAX) {
        EXPECT_FALSE(value) << text;
        return;
    }
    ASSERT_TRUE(value) << text;
    EXPECT_EQ(*value, expected) << text;
    EXPECT_EQ(in.Position(), static_cast<std::size_t>(end - text.c_str())) << text;
}

TEST(CScannerTest, NumbersReadAsTheCConversionFunctionsReadThem) {
    for (const char* text : {"0",
                             "7",
                             "  42x",
                             "-3",
                             "+5",
                             "\n\t 8.25,",
                             "123456789",
                             "1234567890",
                             "4444444444",
                             "2147483647",
                             "2147483648",
                             "-2147483648",
                             "-2147483649",
                             "0000000000012",
                             "0.5",
                             ".5",
                             "1.",
                             ".",
                             "-.",
                             "-0",
                             "1.5.2",
                             "16777216",
                             "16777217",
                             "9999999.5",
                             "0.1",
                             "0.0000000001",
                             "0.00000000001",
                             "1e3",
                             "1.5e",
                             "1.5e+",
                             "2.5E-1",
                             "123456.789",
                             "3.4028235e38",
                             "1e39",
                             "1e-50",
                             "x"}) {
        ExpectReadAsStrtof(text);
        ExpectReadAsStrtol(text);
    }
    // Short decimals with up to twelve digits and the point anywhere, as
    // tracking results write them; the rounding of every one must agree.
    std::mt19937 random(20240611);
    for (int i = 0; i < 50000; ++i) {
        std::string text;
        const int length = 1 + static_cast<int>(random() % 12);
        const int point = static_cast<int>(random() % (length + 2)) - 1;
        for (int j = 0; j < length; ++j) {
            if (j == point)
                text += '.';
            text += static_cast<char>('0' + random() % 10);
        }
        ExpectReadAsStrtof(text);
        ExpectReadAsStrtol(text);
    }
}

struct TBatchCase {
    const char* Name;
    const char* Text;
    void (*Import)(const std::string& fileName, const TImportTarget& target);
};

class ImportAsOneChangeTest : public ImportTest, public ::testing::WithParamInterface<TBatchCase> {};

// A file of a million records must not leave a million steps to take back
// (nor a journal record each); the types it added stay as steps of their own.
TEST_P(ImportAsOneChangeTest, OneUndoTakesEveryImportedEventBack) {
    const int32_t type = Project.EnsureEventType(QStringLiteral("pre"));
    Project.InsertEvent(std::make_unique<TEvent>(type, 30));
    const std::size_t stepsBefore = Project.UndoCount();
    GetParam().Import(WriteFile("in.txt", GetParam().Text), Target());
    ASSERT_EQ(Project.Events().Count(), 4u);
    const int32_t typeCount = Project.EventTypes.Count();
    ASSERT_EQ(Project.UndoCount(), stepsBefore + 2) << "one type added, one batch of events";
    ASSERT_TRUE(Project.Undo());
    EXPECT_EQ(EventRows(), (std::vector<std::string>{"30|pre||"}));
    EXPECT_EQ(Project.EventTypes.Count(), typeCount);
}

INSTANTIATE_TEST_SUITE_P(
    Importers, ImportAsOneChangeTest,
    ::testing::Values(
        TBatchCase{"Prolog", "event_a(10, []). event_a(40, []). event_a(20, [(n, 1)]).\n", &ImportProlog},
        TBatchCase{"Objects", "a(10,0,1,1,1,0,0,2,2,x)\na(40,0,1,1,1,0,0,2,2,x)\na(20,0,1,1,1,0,0,2,2,x)\n",
                   &ImportObjects}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
