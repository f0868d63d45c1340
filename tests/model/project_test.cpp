#include "model/project.h"

#include "tests/model/qstring_printer.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <vector>

namespace {

// Records what the project told it; an event announced as removing must still
// be intact at that moment (ASan would catch a late call).
class TRecordingListener : public TProjectListener {
public:
    void EventInserted(const TEvent* event) override { Inserted.push_back(event); }
    void EventRemoving(const TEvent* event) override {
        Removing.push_back(event);
        RemovingTexts.push_back(event->Text);
    }
    void EventsClearing() override { ++Clearings; }
    void TypesChanged() override { ++TypeChanges; }
    void GroupsChanged() override { ++GroupChanges; }

    std::vector<const TEvent*> Inserted;
    std::vector<const TEvent*> Removing;
    QStringList RemovingTexts;
    int Clearings = 0;
    int TypeChanges = 0;
    int GroupChanges = 0;
};

// Five types T0-T4, two events of each; every event's text names its type.
class ProjectWithFiveTypes : public ::testing::Test {
protected:
    void SetUp() override {
        for (int type = 0; type < 5; ++type)
            project.AddEventType(TEventType(QString("T%1").arg(type)));
        for (int round = 0; round < 2; ++round)
            for (int type = 4; type >= 0; --type)
                project.InsertEvent(
                    std::make_unique<TEvent>(type, (type * 7) % 5, QString("T%1").arg(type), TParameters()));
        project.AddListener(&listener);
    }

    QStringList EventTexts() const {
        QStringList texts;
        for (const auto& event : project.Events())
            texts.append(event->Text);
        return texts;
    }

    void ExpectEventsNameTheirTypes() const {
        for (const auto& event : project.Events()) {
            ASSERT_TRUE(project.EventTypes.IsValidIndex(event->EventType));
            EXPECT_EQ(project.EventTypes[event->EventType].Name, event->Text);
        }
    }

    TProject project;
    TRecordingListener listener;
};

TEST_F(ProjectWithFiveTypes, DeletingTypeTwoRemovesItsEventsAndRenumbersLaterOnes) {
    const QStringList before = EventTexts();
    ASSERT_TRUE(project.DeleteEventType(2));

    ASSERT_EQ(project.EventTypes.Count(), 4);
    EXPECT_EQ(project.EventTypes[2].Name, "T3");
    EXPECT_EQ(project.Events().Count(), 8u);
    ExpectEventsNameTheirTypes();
    QStringList expected = before;
    expected.removeAll("T2");
    EXPECT_EQ(EventTexts(), expected);

    EXPECT_EQ(listener.RemovingTexts, QStringList({"T2", "T2"}));
    EXPECT_EQ(listener.TypeChanges, 1);
}

TEST_F(ProjectWithFiveTypes, DeletingATypeRenumbersTheFilter) {
    project.SetFilteredTypes({1, 2, 4});
    project.DeleteEventType(2);
    EXPECT_EQ(project.FilteredTypes, (std::set<int32_t>{1, 3}));
    EXPECT_EQ(project.EventTypes[3].Name, "T4");
}

TEST_F(ProjectWithFiveTypes, FilterEntriesOutsideTheListAreDropped) {
    project.SetFilteredTypes({-1, 0, 4, 9});
    project.DeleteEventType(4);
    EXPECT_EQ(project.FilteredTypes, (std::set<int32_t>{0}));
}

TEST_F(ProjectWithFiveTypes, DeletingAMissingTypeChangesNothing) {
    project.SetFilteredTypes({4});
    EXPECT_FALSE(project.DeleteEventType(5));
    EXPECT_FALSE(project.DeleteEventType(-1));
    EXPECT_EQ(project.EventTypes.Count(), 5);
    EXPECT_EQ(project.Events().Count(), 10u);
    EXPECT_EQ(project.FilteredTypes, (std::set<int32_t>{4}));
    EXPECT_EQ(listener.TypeChanges, 0);
}

TEST_F(ProjectWithFiveTypes, EventsOfUnknownTypesAreRefused) {
    EXPECT_THROW(project.InsertEvent(std::make_unique<TEvent>(5, 0)), std::invalid_argument);
    EXPECT_THROW(project.InsertEvent(nullptr), std::invalid_argument);
    std::vector<std::unique_ptr<TEvent>> batch;
    batch.push_back(std::make_unique<TEvent>(0, 0));
    batch.push_back(std::make_unique<TEvent>(-1, 0));
    EXPECT_THROW(project.InsertEvents(std::move(batch)), std::invalid_argument);
    EXPECT_EQ(project.Events().Count(), 10u);
    EXPECT_TRUE(listener.Inserted.empty());
}

TEST_F(ProjectWithFiveTypes, EventChangesReachTheListeners) {
    const TEvent* event = project.InsertEvent(std::make_unique<TEvent>(1, 3, "new", TParameters()));
    ASSERT_EQ(listener.Inserted, std::vector<const TEvent*>{event});

    EXPECT_EQ(project.MoveEventToTime(event, -1), 0);
    EXPECT_EQ(listener.Removing, std::vector<const TEvent*>{event});
    EXPECT_EQ(listener.Inserted.size(), 2u);

    EXPECT_TRUE(project.DeleteEvent(event));
    const TEvent stranger(1, -1);
    EXPECT_FALSE(project.DeleteEvent(&stranger));
    EXPECT_FALSE(project.DeleteTitle(nullptr));
    EXPECT_EQ(project.MoveEventToTime(&stranger, 0), -1);
    EXPECT_EQ(listener.Removing.size(), 2u);

    project.ClearEvents();
    EXPECT_EQ(listener.Clearings, 1);
    EXPECT_TRUE(project.Events().IsEmpty());
}

TEST_F(ProjectWithFiveTypes, ChangeEventShowsTheOldStateLeavingAndTheNewOneEntering) {
    const TEvent* event = project.Events()[3];
    const QString oldText = event->Text;
    const TEvent stranger(1, 0);
    EXPECT_FALSE(project.ChangeEvent(&stranger, 1, "x", TParameters()));
    EXPECT_THROW(project.ChangeEvent(event, 5, "x", TParameters()), std::invalid_argument);
    EXPECT_TRUE(listener.Removing.empty());
    EXPECT_EQ(event->Text, oldText);

    TParameters parameters;
    parameters.ParametersFromLines({QStringLiteral("Person=A")});
    ASSERT_TRUE(project.ChangeEvent(event, 4, "changed", parameters));
    EXPECT_EQ(listener.RemovingTexts, QStringList({oldText}));
    EXPECT_EQ(listener.Inserted, std::vector<const TEvent*>{event});
    EXPECT_EQ(project.Events()[3], event);
    EXPECT_EQ(event->EventType, 4);
    EXPECT_EQ(event->Text, "changed");
    EXPECT_EQ(event->Parameters.ParametersToText(), "Person=A");
}

// Each leaving event is announced while the lists are still whole: its type
// still exists and names it, and no later event was renumbered yet.
TEST_F(ProjectWithFiveTypes, ATypesEventsAreAnnouncedBeforeAnythingIsRenumbered) {
    class TChecking : public TProjectListener {
    public:
        explicit TChecking(const TProject& project) : m_project(project) {}
        void EventRemoving(const TEvent* event) override {
            ++Calls;
            for (const auto& each : m_project.Events())
                if (!m_project.EventTypes.IsValidIndex(each->EventType) ||
                    m_project.EventTypes[each->EventType].Name != each->Text)
                    ++Inconsistent;
            if (m_project.Events().IndexOf(event) < 0)
                ++Inconsistent;
        }
        int Calls = 0;
        int Inconsistent = 0;

    private:
        const TProject& m_project;
    } checking(project);
    project.AddListener(&checking);
    ASSERT_TRUE(project.DeleteEventType(1));
    project.RemoveListener(&checking);
    EXPECT_EQ(checking.Calls, 2);
    EXPECT_EQ(checking.Inconsistent, 0);
}

TEST_F(ProjectWithFiveTypes, ListenersMayLeaveWhileBeingTold) {
    class TLeaving : public TProjectListener {
    public:
        explicit TLeaving(TProject& project) : m_project(project) {}
        void TypesChanged() override {
            ++Calls;
            m_project.RemoveListener(this);
        }
        int Calls = 0;

    private:
        TProject& m_project;
    } leaving(project);
    project.AddListener(&leaving);
    project.DeleteEventType(0);
    project.DeleteEventType(0);
    EXPECT_EQ(leaving.Calls, 1);
    EXPECT_EQ(listener.TypeChanges, 2);
}

TEST_F(ProjectWithFiveTypes, ResetEmptiesEverything) {
    project.EnsureGroup("G");
    project.SetFilteredTypes({1});
    project.InsertTitle(std::make_unique<TTitle>("hello", 0));
    project.SetTimeFormat(TTimeFormat::Frames);
    project.Reset();
    EXPECT_TRUE(project.Events().IsEmpty());
    EXPECT_TRUE(project.Titles.IsEmpty());
    EXPECT_TRUE(project.FilteredTypes.empty());
    EXPECT_EQ(project.EventTypes.Count(), 0);
    EXPECT_EQ(project.Groups.Count(), 0);
    EXPECT_EQ(project.TimeFormat, TTimeFormat::Milliseconds);
    EXPECT_EQ(listener.Clearings, 1);
    EXPECT_GE(listener.TypeChanges, 1);
    EXPECT_GE(listener.GroupChanges, 1);
}

class ProjectGroups : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"A", "B", "C"})
            project.EnsureGroup(name);
        const int32_t groups[] = {0, 1, 2, 1, -1};
        for (int32_t group : groups) {
            TEventType type(QString("T%1").arg(project.EventTypes.Count()));
            type.Group = group;
            type.GroupIndex = 3;
            project.AddEventType(type);
        }
        project.AddListener(&listener);
    }

    std::vector<int32_t> TypeGroups() const {
        std::vector<int32_t> groups;
        for (const auto& type : project.EventTypes)
            groups.push_back(type.Group);
        return groups;
    }

    TProject project;
    TRecordingListener listener;
};

TEST_F(ProjectGroups, DeletingAGroupUngroupsItsTypesAndRenumbersLaterOnes) {
    ASSERT_TRUE(project.DeleteGroup(1));
    EXPECT_EQ(project.Groups.Count(), 2);
    EXPECT_EQ(project.Groups.GroupName(1), "C");
    EXPECT_EQ(TypeGroups(), (std::vector<int32_t>{0, -1, 1, -1, -1}));
    EXPECT_EQ(project.EventTypes.Count(), 5);
    EXPECT_EQ(listener.GroupChanges, 1);
    EXPECT_EQ(listener.TypeChanges, 1);
}

TEST_F(ProjectGroups, DeletingAMissingGroupChangesNothing) {
    EXPECT_FALSE(project.DeleteGroup(3));
    EXPECT_EQ(TypeGroups(), (std::vector<int32_t>{0, 1, 2, 1, -1}));
    EXPECT_EQ(listener.GroupChanges, 0);
}

TEST(Project, EnsureBuiltInTypeNotifiesOnlyWhenItAppends) {
    TProject project;
    TRecordingListener listener;
    project.AddListener(&listener);
    const int32_t index = project.EnsureBuiltInType(BuiltInStopSpeaking);
    EXPECT_EQ(listener.GroupChanges, 1);
    EXPECT_EQ(listener.TypeChanges, 1);
    EXPECT_EQ(project.EnsureBuiltInType(BuiltInStopSpeaking), index);
    EXPECT_EQ(project.EnsureBuiltInType(BuiltInStartSpeaking), 1);
    EXPECT_EQ(project.Groups.Count(), 1);
    EXPECT_EQ(listener.GroupChanges, 1);
    EXPECT_EQ(listener.TypeChanges, 2);
}

} // namespace
