#include "model/project.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

// Everything undo must restore, in one comparable text.
std::string Snapshot(const TProject& p) {
    std::string out = p.TimeFormat == TTimeFormat::Frames ? "F|" : "M|";
    for (const TEventTypeGroup& g : p.Groups)
        out += g.Name.toStdString() + (g.Enabled ? "+" : "-") + ",";
    out += "|";
    for (const TEventType& t : p.EventTypes)
        out += t.Name.toStdString() + "@" + std::to_string(t.Group) + ":" + std::to_string(t.Offset) + ",";
    out += "|";
    for (const int32_t f : p.FilteredTypes)
        out += std::to_string(f) + ",";
    out += "|";
    for (const auto& e : p.Events())
        out += std::to_string(e->EventType) + "/" + std::to_string(e->Time) + "/" + e->Text.toStdString() +
               "/" + e->Parameters.ParametersToText().toStdString() + ",";
    out += "|";
    for (const auto& t : p.Titles)
        out += std::to_string(t->Time) + "/" + t->Text.toStdString() + ",";
    return out;
}

void Fill(TProject& p) {
    p.AddGroup({QStringLiteral("People"), QStringLiteral("State"), true});
    p.AddGroup({QStringLiteral("Things"), QStringLiteral("State"), true});
    for (const char* name : {"Walk", "Look", "Talk"}) {
        TEventType type{QString::fromLatin1(name)};
        type.Group = name[0] == 'L' ? 1 : 0;
        type.Offset = -40;
        p.AddEventType(type);
    }
    for (int32_t i = 0; i < 9; ++i)
        p.InsertEvent(std::make_unique<TEvent>(i % 3, (i % 4) * 100, QString::number(i),
                                               TParameters{{"Person", QString::number(i % 2)}}));
    p.InsertTitle(std::make_unique<TTitle>(QStringLiteral("a"), 50));
    p.InsertTitle(std::make_unique<TTitle>(QStringLiteral("b"), 50));
    p.SetFilteredTypes({2});
    p.ClearHistory();
}

// A media set as the layer above the model keeps it: path, camera, offset.
class TFakeMedia final : public TMediaChangeHandler {
public:
    std::vector<TMediumRecord> Media{{"a.avi", 1, 0}, {"b.avi", -1, 40}};

    std::string Text() const {
        std::string out;
        for (const TMediumRecord& m : Media)
            out += m.FileName.toStdString() + "#" + std::to_string(m.Camera) + "@" +
                   std::to_string(m.Offset) + ",";
        return out;
    }
    void CheckMediaChange(const TProjectChange& change) const override {
        if (change.Kind != TChangeKind::MediumAdd && change.Index >= Media.size())
            throw std::invalid_argument("medium");
    }
    void DoMediaChange(TProjectChange& change) override {
        switch (change.Kind) {
        case TChangeKind::MediumAdd:
            change.Index = Media.size();
            Media.push_back({change.Medium.FileName, -1, 0});
            break;
        case TChangeKind::MediumRemove:
            change.Medium = Media[change.Index];
            Media.erase(Media.begin() + static_cast<std::ptrdiff_t>(change.Index));
            break;
        default:
            change.Delta =
                std::exchange(Value(change), change.Kind == TChangeKind::MediumCamera ? change.Medium.Camera
                                                                                      : change.Medium.Offset);
            break;
        }
    }
    void RevertMediaChange(TProjectChange& change) override {
        switch (change.Kind) {
        case TChangeKind::MediumAdd:
            Media.pop_back();
            break;
        case TChangeKind::MediumRemove:
            Media.insert(Media.begin() + static_cast<std::ptrdiff_t>(change.Index), change.Medium);
            break;
        default:
            Value(change) = change.Delta;
            break;
        }
    }

private:
    int32_t& Value(const TProjectChange& change) {
        TMediumRecord& m = Media[change.Index];
        return change.Kind == TChangeKind::MediumCamera ? m.Camera : m.Offset;
    }
};

TProjectChange MediaChange(TChangeKind kind, std::size_t index, int32_t value = 0) {
    TProjectChange change(kind);
    change.Index = index;
    change.Medium = {"c.avi", value, value};
    return change;
}

struct TChangeCase {
    const char* Name;
    std::function<void(TProject&)> Change;
};

class ProjectHistory : public testing::TestWithParam<TChangeCase> {};

// Undo restores the snapshot before, Redo the one after, and again: also
// times, the order among equal times and renumbered indexes.
TEST_P(ProjectHistory, UndoRedoUndoMatchesTheSnapshots) {
    TProject project;
    TFakeMedia media;
    project.SetMediaHandler(&media);
    Fill(project);
    const auto snapshot = [&] { return Snapshot(project) + "|" + media.Text(); };
    const std::string before = snapshot();
    GetParam().Change(project);
    const std::string after = snapshot();
    ASSERT_NE(before, after) << "the case changes nothing";
    ASSERT_TRUE(project.CanUndo());
    ASSERT_TRUE(project.Undo());
    EXPECT_EQ(snapshot(), before);
    ASSERT_TRUE(project.Redo());
    EXPECT_EQ(snapshot(), after);
    ASSERT_TRUE(project.Undo());
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(project.CanUndo()) << "one change, one step";
}

const TChangeCase Cases[] = {
    {"Insert", [](TProject& p) { p.InsertEvent(std::make_unique<TEvent>(1, 100, "new", TParameters())); }},
    {"InsertBatch",
     [](TProject& p) {
         std::vector<std::unique_ptr<TEvent>> batch;
         for (int32_t t : {300, 0, 100, 100})
             batch.push_back(std::make_unique<TEvent>(0, t, "b" + QString::number(t), TParameters()));
         p.InsertEvents(std::move(batch));
     }},
    {"Delete", [](TProject& p) { p.DeleteEvent(p.Events()[3]); }},
    {"Move", [](TProject& p) { p.MoveEventToTime(p.Events()[1], 200); }},
    {"Change",
     [](TProject& p) {
         p.ChangeEvent(p.Events()[2], 2, "changed", TParameters{{"X", "1"}});
     }},
    {"Clear", [](TProject& p) { p.ClearEvents(); }},
    {"OffsetSaturating", [](TProject& p) { p.OffsetEvents(-150); }},
    {"DeleteTypeRenumbers", [](TProject& p) { p.DeleteEventType(1); }},
    {"DeleteGroupRenumbers", [](TProject& p) { p.DeleteGroup(0); }},
    {"AddType", [](TProject& p) { p.AddEventType(TEventType(QStringLiteral("New"))); }},
    {"EditType", [](TProject& p) { p.EditEventType(0, [](TEventType& t) { t.Name = "Run"; }); }},
    {"EditGroup", [](TProject& p) { p.EditGroup(1, [](TEventTypeGroup& g) { g.Enabled = false; }); }},
    {"BuiltInTypeWithItsGroup", [](TProject& p) { p.EnsureBuiltInType(BuiltInStartSpeaking); }},
    {"Filter",
     [](TProject& p) {
         p.SetFilteredTypes({0, 1});
     }},
    {"TitleMove", [](TProject& p) { p.MoveTitleToTime(p.Titles[1], 10); }},
    {"TitleText", [](TProject& p) { p.ChangeTitleText(p.Titles[0], "z"); }},
    {"TitlesClear", [](TProject& p) { p.ClearTitles(); }},
    {"TitlesOffset", [](TProject& p) { p.OffsetTitles(-100); }},
    {"TimeFormat",
     [](TProject& p) { p.SwitchTimeFormat(TTimeFormat::Frames, [](int32_t t) { return t / 40; }); }},
    {"Scope",
     [](TProject& p) {
         const TProject::TChangeScope scope(p);
         p.DeleteEvent(p.Events()[0]);
         p.DeleteEventType(0);
         p.InsertTitle(std::make_unique<TTitle>(QStringLiteral("c"), 50));
     }},
    // The moves of one drag, each applied at once.
    {"JoinedStep",
     [](TProject& p) {
         p.BeginJoinedStep();
         for (const char* x : {"1", "2", "3"})
             p.ChangeEvent(p.Events()[4], 1, "moved", TParameters{{"X", x}});
         p.InsertEvent(std::make_unique<TEvent>(0, 250, "drawn", TParameters()));
         p.EndJoinedStep();
     }},
    {"MediumAdd", [](TProject& p) { p.ChangeMedia(MediaChange(TChangeKind::MediumAdd, 0)); }},
    {"MediumRemove", [](TProject& p) { p.ChangeMedia(MediaChange(TChangeKind::MediumRemove, 0)); }},
    {"MediumCamera", [](TProject& p) { p.ChangeMedia(MediaChange(TChangeKind::MediumCamera, 1, 7)); }},
    {"MediumOffset", [](TProject& p) { p.ChangeMedia(MediaChange(TChangeKind::MediumOffset, 0, -300)); }},
    // An Add that switched the time unit: one step, taken back in reverse.
    {"MediumAddWithTimeUnit",
     [](TProject& p) {
         const TProject::TChangeScope scope(p);
         p.ChangeMedia(MediaChange(TChangeKind::MediumAdd, 0));
         p.ChangeMedia(MediaChange(TChangeKind::MediumCamera, 2, 3));
         p.SwitchTimeFormat(TTimeFormat::Frames, [](int32_t t) { return t / 40; });
     }},
};

INSTANTIATE_TEST_SUITE_P(EveryKind, ProjectHistory, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<TChangeCase>& info) { return info.param.Name; });

} // namespace
