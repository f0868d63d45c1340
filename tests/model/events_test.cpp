#include "model/events.h"
#include "model/titles.h"

#include "tests/model/qstring_printer.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

// Events carry their insertion number as text so that the order among equal
// times can be checked.
class EventList : public ::testing::Test {
protected:
    TEvent* Insert(int32_t time) {
        auto event = std::make_unique<TEvent>(0, time, QString::number(m_sequence++), TParameters());
        TEvent* raw = event.get();
        events.InsertEvent(std::move(event));
        return raw;
    }

    std::vector<int32_t> Times() const {
        std::vector<int32_t> times;
        for (const auto& event : events)
            times.push_back(event->Time);
        return times;
    }

    // Sorted by time, equal times in insertion order, every event findable.
    void ExpectOrdered() const {
        for (std::size_t i = 0; i < events.Count(); ++i) {
            EXPECT_EQ(events.IndexOf(events[i]), static_cast<std::ptrdiff_t>(i));
            if (i == 0)
                continue;
            const TEvent* before = events[i - 1];
            const TEvent* after = events[i];
            ASSERT_LE(before->Time, after->Time) << "at " << i;
            if (before->Time == after->Time) {
                ASSERT_LT(before->Text.toInt(), after->Text.toInt()) << "at " << i;
            }
        }
    }

    TEvents events;
    int m_sequence = 0;
};

TEST_F(EventList, KeepsEqualTimesInInsertionOrder) {
    TEvent* first5 = Insert(5);
    Insert(3);
    TEvent* second5 = Insert(5);
    Insert(1);
    EXPECT_EQ(Times(), (std::vector<int32_t>{1, 3, 5, 5}));
    EXPECT_EQ(events[2], first5);
    EXPECT_EQ(events[3], second5);
}

TEST_F(EventList, AcceptsNegativeTimes) {
    Insert(0);
    Insert(INT32_MAX);
    Insert(-40);
    Insert(INT32_MIN);
    EXPECT_EQ(Times(), (std::vector<int32_t>{INT32_MIN, -40, 0, INT32_MAX}));
}

TEST_F(EventList, BoundsAndIdentity) {
    for (int32_t time : {10, 20, 20, 20, 30})
        Insert(time);
    EXPECT_EQ(events.LowerBound(20), 1u);
    EXPECT_EQ(events.UpperBound(20), 4u);
    EXPECT_EQ(events.UpperBound(5), 0u);
    EXPECT_EQ(events.LowerBound(31), 5u);

    TEvent stranger(0, 20);
    EXPECT_EQ(events.IndexOf(&stranger), -1);
    EXPECT_EQ(events.IndexOf(nullptr), -1);
    EXPECT_EQ(events.Take(&stranger), nullptr);
    EXPECT_FALSE(events.Delete(&stranger));
    EXPECT_EQ(events.Count(), 5u);

    const TEvent* middle = events[2];
    auto taken = events.Take(middle);
    EXPECT_EQ(taken.get(), middle);
    EXPECT_EQ(events.Count(), 4u);
    EXPECT_EQ(events.IndexOf(middle), -1);
    EXPECT_THROW(events.InsertEvent(nullptr), std::invalid_argument);
}

TEST_F(EventList, MoveToTimeGoesAfterEventsOfTheNewTime) {
    TEvent* moving = Insert(1);
    Insert(5);
    Insert(5);
    EXPECT_EQ(events.MoveToTime(moving, 5), 2);
    EXPECT_EQ(events[2], moving);
    EXPECT_EQ(moving->Time, 5);
    TEvent stranger(0, 5);
    EXPECT_EQ(events.MoveToTime(&stranger, 1), -1);
}

TEST_F(EventList, StaysOrderedUnderRandomOperations) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int32_t> time(-20, 20);
    std::set<int> present;
    for (int step = 0; step < 2000; ++step) {
        const int operation = static_cast<int>(random() % 10);
        if (operation < 5 || events.IsEmpty()) {
            present.insert(Insert(time(random))->Text.toInt());
        } else if (operation < 7) {
            const std::size_t index = random() % events.Count();
            present.erase(events[index]->Text.toInt());
            events.DeleteAt(index);
        } else if (operation < 8) {
            TEvent* event = events.MutableAt(random() % events.Count());
            present.erase(event->Text.toInt());
            event->Text = QString::number(m_sequence++);
            present.insert(event->Text.toInt());
            events.MoveToTime(event, time(random));
        } else {
            std::vector<std::unique_ptr<TEvent>> batch;
            for (int i = 0; i < 5; ++i) {
                batch.push_back(
                    std::make_unique<TEvent>(0, time(random), QString::number(m_sequence++), TParameters()));
                present.insert(batch.back()->Text.toInt());
            }
            events.InsertMany(std::move(batch));
        }
        ExpectOrdered();
        ASSERT_EQ(events.Count(), present.size()) << "step " << step;
        if (HasFatalFailure())
            return;
    }
    std::set<int> listed;
    for (const auto& event : events)
        listed.insert(event->Text.toInt());
    EXPECT_EQ(listed, present);
}

TEST_F(EventList, BatchInsertionMatchesOneByOne) {
    TEvents oneByOne;
    std::mt19937 random(7);
    for (int i = 0; i < 50; ++i) {
        const int32_t time = static_cast<int32_t>(random() % 10);
        oneByOne.InsertEvent(std::make_unique<TEvent>(0, time, QString::number(i), TParameters()));
        events.InsertEvent(std::make_unique<TEvent>(0, time, QString::number(i), TParameters()));
    }
    std::vector<std::unique_ptr<TEvent>> batch;
    for (int i = 50; i < 200; ++i) {
        const int32_t time = static_cast<int32_t>(random() % 12) - 1;
        oneByOne.InsertEvent(std::make_unique<TEvent>(0, time, QString::number(i), TParameters()));
        batch.push_back(std::make_unique<TEvent>(0, time, QString::number(i), TParameters()));
    }
    batch.push_back(nullptr);
    events.InsertMany(std::move(batch));
    ASSERT_EQ(events.Count(), oneByOne.Count());
    for (std::size_t i = 0; i < events.Count(); ++i) {
        EXPECT_EQ(events[i]->Time, oneByOne[i]->Time) << i;
        EXPECT_EQ(events[i]->Text, oneByOne[i]->Text) << i;
    }
}

// Batches that need no sort or no merge (the usual import) take a shorter
// way; the order must still be that of inserting one by one.
TEST_F(EventList, BatchesInOrderMatchOneByOne) {
    const std::pair<std::vector<int32_t>, std::vector<int32_t>> cases[] = {
        {{}, {1, 1, 2}},        {{1, 5}, {5, 6, 9}}, {{1, 5}, {6, 6}},
        {{1, 5, 9}, {2, 5, 7}}, {{5}, {7, 3, 5, 5}}, {{3, 8}, {}}};
    for (const auto& [existing, batchTimes] : cases) {
        TEvents oneByOne;
        events.ClearEvents();
        for (const int32_t time : existing) {
            oneByOne.InsertEvent(
                std::make_unique<TEvent>(0, time, QString::number(m_sequence), TParameters()));
            Insert(time);
        }
        std::vector<std::unique_ptr<TEvent>> batch;
        for (const int32_t time : batchTimes) {
            oneByOne.InsertEvent(
                std::make_unique<TEvent>(0, time, QString::number(m_sequence), TParameters()));
            batch.push_back(std::make_unique<TEvent>(0, time, QString::number(m_sequence++), TParameters()));
        }
        events.InsertMany(std::move(batch));
        ASSERT_EQ(events.Count(), oneByOne.Count());
        for (std::size_t i = 0; i < events.Count(); ++i)
            EXPECT_EQ(events[i]->Text, oneByOne[i]->Text)
                << "case " << existing.size() << "+" << batchTimes.size() << " at " << i;
    }
}

TEST_F(EventList, ClearLeavesItEmpty) {
    Insert(1);
    Insert(2);
    events.ClearEvents();
    EXPECT_TRUE(events.IsEmpty());
    EXPECT_EQ(events.UpperBound(0), 0u);
}

class EventRows : public ::testing::Test {
protected:
    void SetUp() override {
        types.AddEventType(TEventType("Walk"));
        types.AddEventType(TEventType("Speaker"));
    }
    TEventTypes types;
};

TEST_F(EventRows, ShowTimeTypeTextAndParameters) {
    const TEvent event(1, 1200, "hello", TParameters{{"Person", "Ann"}});
    EXPECT_EQ(EventToRow(event, types), QStringList({"1200", "Speaker", "hello", "Person=Ann"}));
}

TEST_F(EventRows, EmptyParametersLeaveTheLastCellEmpty) {
    EXPECT_EQ(EventToRow(TEvent(0, -5), types), QStringList({"-5", "Walk", "", ""}));
}

TEST_F(EventRows, TypeIndexOutsideTheListGivesNoName) {
    EXPECT_EQ(EventToRow(TEvent(2, 0), types).at(1), "");
    EXPECT_EQ(EventToRow(TEvent(-1, 0), types).at(1), "");
}

TEST(Titles, SortLikeEventsAndShowTimeAndText) {
    TTitles titles;
    titles.InsertTitle(std::make_unique<TTitle>("b", 5));
    titles.InsertTitle(std::make_unique<TTitle>("a", 3));
    titles.InsertTitle(std::make_unique<TTitle>("c", 5));
    ASSERT_EQ(titles.Count(), 3u);
    EXPECT_EQ(titles[0]->Text, "a");
    EXPECT_EQ(titles[1]->Text, "b");
    EXPECT_EQ(titles[2]->Text, "c");
    EXPECT_EQ(TitleToRow(*titles[1]), QStringList({"5", "b"}));
    titles.ClearTitles();
    EXPECT_TRUE(titles.IsEmpty());
}

} // namespace
