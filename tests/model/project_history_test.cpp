#include "model/project.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

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

struct TChangeCase {
    const char* Name;
    std::function<void(TProject&)> Change;
};

class ProjectHistory : public testing::TestWithParam<TChangeCase> {};

// Undo restores the snapshot before, Redo the one after, and again: also
// times, the order among equal times and renumbered indexes.
TEST_P(ProjectHistory, UndoRedoUndoMatchesTheSnapshots) {
    TProject project;
    Fill(project);
    const std::string before = Snapshot(project);
    GetParam().Change(project);
    const std::string after = Snapshot(project);
    ASSERT_NE(before, after) << "the case changes nothing";
    ASSERT_TRUE(project.CanUndo());
    ASSERT_TRUE(project.Undo());
    EXPECT_EQ(Snapshot(project), before);
    ASSERT_TRUE(project.Redo());
    EXPECT_EQ(Snapshot(project), after);
    ASSERT_TRUE(project.Undo());
    EXPECT_EQ(Snapshot(project), before);
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
};

INSTANTIATE_TEST_SUITE_P(EveryKind, ProjectHistory, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<TChangeCase>& info) { return info.param.Name; });

} // namespace
