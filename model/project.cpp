#include "model/project.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <utility>

namespace {

// Saturating so that a large offset cannot wrap a late time around to an
// early one and break the order of the list.
int32_t OffsetTime(int32_t time, int32_t delta) {
    const int64_t shifted = static_cast<int64_t>(time) + delta;
    if (shifted < 0)
        return 0;
    if (shifted > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(shifted);
}

void CheckIndex(std::size_t index, std::size_t count, const char* what) {
    if (index >= count)
        throw std::invalid_argument(std::string(what) + " index " + std::to_string(index) + " out of range");
}

std::size_t StoredTimeCount(const TEventTypes& types) {
    std::size_t count = 0;
    for (const TEventType& type : types)
        count += 1 + type.SecondaryKeys.size();
    return count;
}

template <typename TList> void OffsetList(TList& list, TProjectChange& change) {
    change.Times.resize(list.Count());
    for (std::size_t index = 0; index < list.Count(); ++index) {
        auto* item = list.MutableAt(index);
        change.Times[index] = item->Time;
        item->Time = OffsetTime(item->Time, change.Delta);
    }
}

template <typename TList> void RestoreTimes(TList& list, TProjectChange& change) {
    for (std::size_t index = 0; index < list.Count() && index < change.Times.size(); ++index)
        list.MutableAt(index)->Time = change.Times[index];
    change.Times.clear();
}

} // namespace

template <typename F> void TProject::Notify(F&& call) {
    // A listener may remove itself (or others) while being told.
    const auto listeners = m_listeners;
    for (TProjectListener* listener : listeners)
        if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end())
            call(*listener);
}

void TProject::AddListener(TProjectListener* listener) {
    if (listener && std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void TProject::RemoveListener(TProjectListener* listener) {
    std::erase(m_listeners, listener);
}

void TProject::CheckInsertable(const TEvent* event) const {
    if (!event)
        throw std::invalid_argument("null event");
    // Type deletion renumbers events by index; an event of no type would
    // break that and every view that names its type.
    if (!m_types.IsValidIndex(event->EventType))
        throw std::invalid_argument("event type index " + std::to_string(event->EventType) + " out of range");
}

// A change read back from a journal is checked like one made by a caller:
// applying it must never leave an index pointing outside a list.
void TProject::CheckApplicable(const TProjectChange& change) const {
    const auto typeCount = static_cast<std::size_t>(m_types.Count());
    const auto groupCount = static_cast<std::size_t>(m_groups.Count());
    switch (change.Kind) {
    case TChangeKind::EventInsert:
        CheckInsertable(change.Event.get());
        break;
    case TChangeKind::EventsInsert:
        for (const auto& event : change.Events)
            CheckInsertable(event.get());
        break;
    case TChangeKind::EventDelete:
    case TChangeKind::EventMove:
        CheckIndex(change.Index, m_events.Count(), "event");
        break;
    case TChangeKind::EventChange:
        CheckIndex(change.Index, m_events.Count(), "event");
        CheckInsertable(change.Event.get());
        break;
    case TChangeKind::TypeEdit:
    case TChangeKind::TypeDelete:
        CheckIndex(change.Index, typeCount, "event type");
        break;
    case TChangeKind::GroupEdit:
    case TChangeKind::GroupDelete:
        CheckIndex(change.Index, groupCount, "group");
        break;
    case TChangeKind::TitleInsert:
        if (!change.Title)
            throw std::invalid_argument("null title");
        break;
    case TChangeKind::TitlesInsert:
        for (const auto& title : change.Titles)
            if (!title)
                throw std::invalid_argument("null title");
        break;
    case TChangeKind::TitleDelete:
    case TChangeKind::TitleMove:
        CheckIndex(change.Index, m_titles.Count(), "title");
        break;
    case TChangeKind::TitleText:
        CheckIndex(change.Index, m_titles.Count(), "title");
        if (!change.Title)
            throw std::invalid_argument("null title");
        break;
    case TChangeKind::TimeFormat:
        if (change.Times.size() != m_events.Count() + m_titles.Count() + StoredTimeCount(m_types))
            throw std::invalid_argument("time unit change of another project");
        break;
    case TChangeKind::EventsClear:
    case TChangeKind::EventsOffset:
    case TChangeKind::TypeAdd:
    case TChangeKind::GroupAdd:
    case TChangeKind::Filter:
    case TChangeKind::TitlesClear:
    case TChangeKind::TitlesOffset:
    case TChangeKind::Compound:
        break;
    case TChangeKind::MediumAdd:
    case TChangeKind::MediumRemove:
    case TChangeKind::MediumCamera:
    case TChangeKind::MediumOffset:
        if (!m_mediaHandler)
            throw std::invalid_argument("media change without a media set");
        m_mediaHandler->CheckMediaChange(change);
        break;
    }
}

std::size_t TProject::Commit(TProjectChange change) {
    CheckApplicable(change);
    if (m_observer)
        m_observer->ChangeMade(change);
    Do(change);
    const bool isMove = change.Kind == TChangeKind::EventMove || change.Kind == TChangeKind::TitleMove;
    const std::size_t index = isMove ? change.OtherIndex : change.Index;
    Push(std::move(change));
    return index;
}

void TProject::Push(TProjectChange change) {
    if (m_openScopes > 0) {
        m_scopeChanges.push_back(std::move(change));
        return;
    }
    if (m_isJoining && m_hasJoinedStep && !m_undo.empty()) {
        TProjectChange& step = m_undo.back();
        if (step.Kind != TChangeKind::Compound) {
            TProjectChange compound(TChangeKind::Compound);
            compound.Children.push_back(std::move(step));
            step = std::move(compound);
        }
        step.Children.push_back(std::move(change));
        return;
    }
    m_hasJoinedStep = m_isJoining;
    m_undo.push_back(std::move(change));
    if (m_undo.size() > UndoLevels)
        m_undo.pop_front();
    m_redo.clear();
    Notify([](TProjectListener& listener) { listener.HistoryChanged(); });
}

TProject::TChangeScope::TChangeScope(TProject& project) : m_project(project) {
    if (m_project.m_openScopes++ == 0 && m_project.m_observer)
        m_project.m_observer->ScopeOpened();
}

TProject::TChangeScope::~TChangeScope() {
    m_project.CloseScope();
}

void TProject::CloseScope() {
    if (--m_openScopes > 0)
        return;
    if (m_observer)
        m_observer->ScopeClosed();
    auto changes = std::exchange(m_scopeChanges, {});
    if (changes.empty())
        return;
    if (changes.size() == 1) {
        Push(std::move(changes.front()));
        return;
    }
    TProjectChange compound(TChangeKind::Compound);
    compound.Children = std::move(changes);
    Push(std::move(compound));
}

void TProject::BeginJoinedStep() {
    if (m_isJoining)
        return;
    m_isJoining = true;
    m_hasJoinedStep = false;
    if (m_observer)
        m_observer->JoinOpened();
    Notify([](TProjectListener& listener) { listener.HistoryChanged(); });
}

void TProject::EndJoinedStep() {
    if (!m_isJoining)
        return;
    m_isJoining = false;
    m_hasJoinedStep = false;
    if (m_observer)
        m_observer->JoinClosed();
    Notify([](TProjectListener& listener) { listener.HistoryChanged(); });
}

void TProject::ReplayJoined(TProjectChange change) {
    const bool wasJoining = std::exchange(m_isJoining, true);
    m_hasJoinedStep = !m_undo.empty();
    try {
        Commit(std::move(change));
    } catch (...) {
        m_isJoining = wasJoining;
        throw;
    }
    m_isJoining = wasJoining;
    m_hasJoinedStep = false;
}

bool TProject::Undo() {
    if (!CanUndo())
        return false;
    TProjectChange change = std::move(m_undo.back());
    m_undo.pop_back();
    if (m_observer)
        m_observer->Undone();
    Revert(change);
    m_redo.push_back(std::move(change));
    Notify([](TProjectListener& listener) { listener.HistoryChanged(); });
    return true;
}

bool TProject::Redo() {
    if (!CanRedo())
        return false;
    TProjectChange change = std::move(m_redo.back());
    m_redo.pop_back();
    if (m_observer)
        m_observer->Redone();
    Do(change);
    m_undo.push_back(std::move(change));
    if (m_undo.size() > UndoLevels)
        m_undo.pop_front();
    Notify([](TProjectListener& listener) { listener.HistoryChanged(); });
    return true;
}

void TProject::ClearHistory() {
    m_hasJoinedStep = false;
    m_undo.clear();
    m_redo.clear();
    Notify([](TProjectListener& listener) { listener.HistoryChanged(); });
}

void TProject::Replay(TProjectChange change) {
    Commit(std::move(change));
}

void TProject::Do(TProjectChange& change) {
    switch (change.Kind) {
    case TChangeKind::Compound:
        for (std::size_t done = 0; done < change.Children.size(); ++done) {
            try {
                CheckApplicable(change.Children[done]);
                Do(change.Children[done]);
            } catch (...) {
                while (done-- > 0)
                    Revert(change.Children[done]);
                throw;
            }
        }
        return;
    case TChangeKind::TimeFormat:
        SwapTimeFormat(change);
        return;
    case TChangeKind::Filter:
        std::swap(m_filteredTypes, change.Filter);
        return;
    default:
        break;
    }
    if (IsMediaChange(change.Kind)) {
        if (m_mediaHandler)
            m_mediaHandler->DoMediaChange(change);
        return;
    }
    DoEvents(change);
    DoTypes(change);
    DoTitles(change);
}

void TProject::Revert(TProjectChange& change) {
    switch (change.Kind) {
    case TChangeKind::Compound:
        for (auto child = change.Children.rbegin(); child != change.Children.rend(); ++child)
            Revert(*child);
        return;
    case TChangeKind::TimeFormat:
        SwapTimeFormat(change);
        return;
    case TChangeKind::Filter:
        std::swap(m_filteredTypes, change.Filter);
        return;
    default:
        break;
    }
    if (IsMediaChange(change.Kind)) {
        if (m_mediaHandler)
            m_mediaHandler->RevertMediaChange(change);
        return;
    }
    RevertEvents(change);
    RevertTypes(change);
    RevertTitles(change);
}

void TProject::NotifyInsertedAll() {
    for (const auto& event : m_events) {
        const TEvent* inserted = event.get();
        Notify([inserted](TProjectListener& listener) { listener.EventInserted(inserted); });
    }
}

void TProject::DoEvents(TProjectChange& change) {
    auto removing = [this](const TEvent* event) {
        Notify([event](TProjectListener& listener) { listener.EventRemoving(event); });
    };
    auto inserted = [this](const TEvent* event) {
        Notify([event](TProjectListener& listener) { listener.EventInserted(event); });
    };
    switch (change.Kind) {
    case TChangeKind::EventInsert:
        change.Index = m_events.InsertEvent(std::move(change.Event));
        inserted(m_events[change.Index]);
        break;
    case TChangeKind::EventsInsert: {
        change.Inserted.resize(change.Events.size());
        for (std::size_t i = 0; i < change.Events.size(); ++i)
            change.Inserted[i] = change.Events[i].get();
        m_events.InsertMany(std::exchange(change.Events, {}));
        for (const void* event : change.Inserted)
            inserted(static_cast<const TEvent*>(event));
        break;
    }
    case TChangeKind::EventDelete:
        removing(m_events[change.Index]);
        change.Event = m_events.TakeAt(change.Index);
        break;
    case TChangeKind::EventMove: {
        removing(m_events[change.Index]);
        auto event = m_events.TakeAt(change.Index);
        std::swap(event->Time, change.Time);
        change.OtherIndex = m_events.InsertEvent(std::move(event));
        inserted(m_events[change.OtherIndex]);
        break;
    }
    case TChangeKind::EventChange: {
        TEvent* event = m_events.MutableAt(change.Index);
        removing(event);
        std::swap(event->EventType, change.Event->EventType);
        std::swap(event->Text, change.Event->Text);
        std::swap(event->Parameters, change.Event->Parameters);
        inserted(event);
        break;
    }
    case TChangeKind::EventsClear:
        Notify([](TProjectListener& listener) { listener.EventsClearing(); });
        change.Events = m_events.TakeAll();
        break;
    case TChangeKind::EventsOffset:
        OffsetList(m_events, change);
        Notify([](TProjectListener& listener) { listener.EventsRetimed(); });
        break;
    default:
        break;
    }
}

void TProject::RevertEvents(TProjectChange& change) {
    auto removing = [this](const TEvent* event) {
        Notify([event](TProjectListener& listener) { listener.EventRemoving(event); });
    };
    auto inserted = [this](const TEvent* event) {
        Notify([event](TProjectListener& listener) { listener.EventInserted(event); });
    };
    switch (change.Kind) {
    case TChangeKind::EventInsert:
        removing(m_events[change.Index]);
        change.Event = m_events.TakeAt(change.Index);
        break;
    case TChangeKind::EventsInsert: {
        const std::unordered_set<const void*> batch(change.Inserted.begin(), change.Inserted.end());
        for (const auto& event : m_events)
            if (batch.contains(event.get()))
                removing(event.get());
        auto taken = m_events.TakeIf([&batch](const TEvent& event) { return batch.contains(&event); });
        change.Events.clear();
        change.Events.reserve(taken.size());
        for (auto& item : taken)
            change.Events.push_back(std::move(item.Item));
        change.Inserted.clear();
        break;
    }
    case TChangeKind::EventDelete:
        m_events.InsertAt(change.Index, std::move(change.Event));
        inserted(m_events[change.Index]);
        break;
    case TChangeKind::EventMove: {
        removing(m_events[change.OtherIndex]);
        auto event = m_events.TakeAt(change.OtherIndex);
        std::swap(event->Time, change.Time);
        m_events.InsertAt(change.Index, std::move(event));
        inserted(m_events[change.Index]);
        break;
    }
    case TChangeKind::EventChange:
        DoEvents(change);
        break;
    case TChangeKind::EventsClear:
        m_events.AdoptAll(std::exchange(change.Events, {}));
        NotifyInsertedAll();
        break;
    case TChangeKind::EventsOffset:
        RestoreTimes(m_events, change);
        Notify([](TProjectListener& listener) { listener.EventsRetimed(); });
        break;
    default:
        break;
    }
}

void TProject::DoTypes(TProjectChange& change) {
    switch (change.Kind) {
    case TChangeKind::TypeAdd:
        m_types.AddEventType(change.Type);
        NotifyTypesChanged();
        break;
    case TChangeKind::TypeEdit:
        std::swap(m_types[static_cast<int32_t>(change.Index)], change.Type);
        NotifyTypesChanged();
        break;
    case TChangeKind::TypeDelete: {
        const auto index = static_cast<int32_t>(change.Index);
        // Listeners hear of every leaving event while types and events are
        // still as they were, not halfway through the renumbering.
        for (const auto& event : m_events) {
            if (event->EventType == index) {
                const TEvent* leaving = event.get();
                Notify([leaving](TProjectListener& listener) { listener.EventRemoving(leaving); });
            }
        }
        change.Type = std::move(m_types[index]);
        m_types.RemoveAt(index);
        change.Taken = m_events.TakeIf([index](TEvent& event) {
            if (event.EventType == index)
                return true;
            if (event.EventType > index)
                --event.EventType;
            return false;
        });
        change.Filter = m_filteredTypes;
        std::set<int32_t> filtered;
        for (const int32_t type : m_filteredTypes) {
            const int32_t renumbered = type > index ? type - 1 : type;
            if (type != index && m_types.IsValidIndex(renumbered))
                filtered.insert(renumbered);
        }
        m_filteredTypes = std::move(filtered);
        NotifyTypesChanged();
        break;
    }
    case TChangeKind::GroupAdd:
        m_groups.AddGroup(change.Group);
        NotifyGroupsChanged();
        break;
    case TChangeKind::GroupEdit:
        std::swap(m_groups[static_cast<int32_t>(change.Index)], change.Group);
        NotifyGroupsChanged();
        break;
    case TChangeKind::GroupDelete: {
        const auto index = static_cast<int32_t>(change.Index);
        change.Group = std::move(m_groups[index]);
        m_groups.RemoveAt(index);
        change.TypeIndexes.clear();
        for (int32_t type = 0; type < m_types.Count(); ++type) {
            int32_t& group = m_types[type].Group;
            if (group == index) {
                group = -1;
                change.TypeIndexes.push_back(type);
            } else if (group > index) {
                --group;
            }
        }
        NotifyGroupsChanged();
        NotifyTypesChanged();
        break;
    }
    default:
        break;
    }
}

void TProject::RevertTypes(TProjectChange& change) {
    switch (change.Kind) {
    case TChangeKind::TypeAdd:
        change.Type = m_types[m_types.Count() - 1];
        m_types.RemoveAt(m_types.Count() - 1);
        NotifyTypesChanged();
        break;
    case TChangeKind::TypeEdit:
    case TChangeKind::GroupEdit:
        DoTypes(change);
        break;
    case TChangeKind::TypeDelete: {
        const auto index = static_cast<int32_t>(change.Index);
        m_types.InsertAt(index, std::move(change.Type));
        for (std::size_t at = 0; at < m_events.Count(); ++at) {
            TEvent* event = m_events.MutableAt(at);
            if (event->EventType >= index)
                ++event->EventType;
        }
        std::vector<const TEvent*> back;
        back.reserve(change.Taken.size());
        for (const auto& taken : change.Taken)
            back.push_back(taken.Item.get());
        m_events.RestoreTaken(std::exchange(change.Taken, {}));
        m_filteredTypes = std::exchange(change.Filter, {});
        NotifyTypesChanged();
        for (const TEvent* event : back)
            Notify([event](TProjectListener& listener) { listener.EventInserted(event); });
        break;
    }
    case TChangeKind::GroupAdd:
        change.Group = m_groups[m_groups.Count() - 1];
        m_groups.RemoveAt(m_groups.Count() - 1);
        NotifyGroupsChanged();
        break;
    case TChangeKind::GroupDelete: {
        const auto index = static_cast<int32_t>(change.Index);
        m_groups.InsertAt(index, std::move(change.Group));
        for (int32_t type = 0; type < m_types.Count(); ++type)
            if (m_types[type].Group >= index)
                ++m_types[type].Group;
        for (const int32_t type : change.TypeIndexes)
            m_types[type].Group = index;
        change.TypeIndexes.clear();
        NotifyGroupsChanged();
        NotifyTypesChanged();
        break;
    }
    default:
        break;
    }
}

void TProject::DoTitles(TProjectChange& change) {
    switch (change.Kind) {
    case TChangeKind::TitleInsert:
        change.Index = m_titles.InsertTitle(std::move(change.Title));
        break;
    case TChangeKind::TitlesInsert:
        change.Inserted.resize(change.Titles.size());
        for (std::size_t i = 0; i < change.Titles.size(); ++i)
            change.Inserted[i] = change.Titles[i].get();
        m_titles.InsertMany(std::exchange(change.Titles, {}));
        break;
    case TChangeKind::TitleDelete:
        change.Title = m_titles.TakeAt(change.Index);
        break;
    case TChangeKind::TitleMove: {
        auto title = m_titles.TakeAt(change.Index);
        std::swap(title->Time, change.Time);
        change.OtherIndex = m_titles.InsertTitle(std::move(title));
        break;
    }
    case TChangeKind::TitleText:
        std::swap(m_titles.MutableAt(change.Index)->Text, change.Title->Text);
        break;
    case TChangeKind::TitlesClear:
        change.Titles = m_titles.TakeAll();
        break;
    case TChangeKind::TitlesOffset:
        OffsetList(m_titles, change);
        break;
    default:
        break;
    }
}

void TProject::RevertTitles(TProjectChange& change) {
    switch (change.Kind) {
    case TChangeKind::TitleInsert:
        change.Title = m_titles.TakeAt(change.Index);
        break;
    case TChangeKind::TitlesInsert: {
        const std::unordered_set<const void*> batch(change.Inserted.begin(), change.Inserted.end());
        auto taken = m_titles.TakeIf([&batch](const TTitle& title) { return batch.contains(&title); });
        change.Titles.clear();
        for (auto& item : taken)
            change.Titles.push_back(std::move(item.Item));
        change.Inserted.clear();
        break;
    }
    case TChangeKind::TitleDelete:
        m_titles.InsertAt(change.Index, std::move(change.Title));
        break;
    case TChangeKind::TitleMove: {
        auto title = m_titles.TakeAt(change.OtherIndex);
        std::swap(title->Time, change.Time);
        m_titles.InsertAt(change.Index, std::move(title));
        break;
    }
    case TChangeKind::TitleText:
        DoTitles(change);
        break;
    case TChangeKind::TitlesClear:
        m_titles.AdoptAll(std::exchange(change.Titles, {}));
        break;
    case TChangeKind::TitlesOffset:
        RestoreTimes(m_titles, change);
        break;
    default:
        break;
    }
}

void TProject::SwapTimeFormat(TProjectChange& change) {
    std::swap(m_timeFormat, change.Format);
    std::size_t next = 0;
    for (std::size_t index = 0; index < m_events.Count(); ++index)
        std::swap(m_events.MutableAt(index)->Time, change.Times[next++]);
    for (std::size_t index = 0; index < m_titles.Count(); ++index)
        std::swap(m_titles.MutableAt(index)->Time, change.Times[next++]);
    // Type time shifts are in the same unit: left alone, a shift of -2000 ms
    // would become -2000 frames.
    for (int32_t index = 0; index < m_types.Count(); ++index) {
        TEventType& type = m_types[index];
        std::swap(type.Offset, change.Times[next++]);
        for (TSecondaryKey& key : type.SecondaryKeys)
            std::swap(key.Offset, change.Times[next++]);
    }
    Notify([](TProjectListener& listener) { listener.EventsRetimed(); });
    NotifyTypesChanged();
}

// --- The operations callers use ------------------------------------------

const TEvent* TProject::InsertEvent(std::unique_ptr<TEvent> event) {
    CheckInsertable(event.get());
    TProjectChange change(TChangeKind::EventInsert);
    change.Event = std::move(event);
    return m_events[Commit(std::move(change))];
}

void TProject::InsertEvents(std::vector<std::unique_ptr<TEvent>> events) {
    if (events.empty())
        return;
    TProjectChange change(TChangeKind::EventsInsert);
    change.Events = std::move(events);
    Commit(std::move(change));
}

bool TProject::DeleteEvent(const TEvent* event) {
    const auto index = m_events.IndexOf(event);
    if (index < 0)
        return false;
    TProjectChange change(TChangeKind::EventDelete);
    change.Index = static_cast<std::size_t>(index);
    Commit(std::move(change));
    return true;
}

std::ptrdiff_t TProject::MoveEventToTime(const TEvent* event, int32_t time) {
    const auto index = m_events.IndexOf(event);
    if (index < 0)
        return -1;
    TProjectChange change(TChangeKind::EventMove);
    change.Index = static_cast<std::size_t>(index);
    change.Time = time;
    return static_cast<std::ptrdiff_t>(Commit(std::move(change)));
}

bool TProject::ChangeEvent(const TEvent* event, int32_t type, QString text, TParameters parameters) {
    const auto index = m_events.IndexOf(event);
    if (index < 0)
        return false;
    TProjectChange change(TChangeKind::EventChange);
    change.Index = static_cast<std::size_t>(index);
    change.Event = std::make_unique<TEvent>(type, event->Time, std::move(text), std::move(parameters));
    Commit(std::move(change));
    return true;
}

void TProject::ClearEvents() {
    if (!m_events.IsEmpty())
        Commit(TProjectChange(TChangeKind::EventsClear));
}

void TProject::OffsetEvents(int32_t delta) {
    TProjectChange change(TChangeKind::EventsOffset);
    change.Delta = delta;
    Commit(std::move(change));
}

const TTitle* TProject::InsertTitle(std::unique_ptr<TTitle> title) {
    TProjectChange change(TChangeKind::TitleInsert);
    change.Title = std::move(title);
    return m_titles[Commit(std::move(change))];
}

void TProject::InsertTitles(std::vector<std::unique_ptr<TTitle>> titles) {
    std::erase(titles, nullptr);
    if (titles.empty())
        return;
    TProjectChange change(TChangeKind::TitlesInsert);
    change.Titles = std::move(titles);
    Commit(std::move(change));
}

bool TProject::DeleteTitle(const TTitle* title) {
    const auto index = m_titles.IndexOf(title);
    if (index < 0)
        return false;
    TProjectChange change(TChangeKind::TitleDelete);
    change.Index = static_cast<std::size_t>(index);
    Commit(std::move(change));
    return true;
}

std::ptrdiff_t TProject::MoveTitleToTime(const TTitle* title, int32_t time) {
    const auto index = m_titles.IndexOf(title);
    if (index < 0)
        return -1;
    TProjectChange change(TChangeKind::TitleMove);
    change.Index = static_cast<std::size_t>(index);
    change.Time = time;
    return static_cast<std::ptrdiff_t>(Commit(std::move(change)));
}

bool TProject::ChangeTitleText(const TTitle* title, QString text) {
    const auto index = m_titles.IndexOf(title);
    if (index < 0)
        return false;
    TProjectChange change(TChangeKind::TitleText);
    change.Index = static_cast<std::size_t>(index);
    change.Title = std::make_unique<TTitle>(std::move(text), title->Time);
    Commit(std::move(change));
    return true;
}

void TProject::ClearTitles() {
    if (!m_titles.IsEmpty())
        Commit(TProjectChange(TChangeKind::TitlesClear));
}

void TProject::OffsetTitles(int32_t delta) {
    TProjectChange change(TChangeKind::TitlesOffset);
    change.Delta = delta;
    Commit(std::move(change));
}

void TProject::SwitchTimeFormat(TTimeFormat format, const std::function<int32_t(int32_t)>& convert) {
    TProjectChange change(TChangeKind::TimeFormat);
    change.Format = format;
    change.Times.reserve(m_events.Count() + m_titles.Count() + StoredTimeCount(m_types));
    for (const auto& event : m_events)
        change.Times.push_back(convert(event->Time));
    for (const auto& title : m_titles)
        change.Times.push_back(convert(title->Time));
    for (const TEventType& type : m_types) {
        change.Times.push_back(convert(type.Offset));
        for (const TSecondaryKey& key : type.SecondaryKeys)
            change.Times.push_back(convert(key.Offset));
    }
    Commit(std::move(change));
}

void TProject::ChangeMedia(TProjectChange change) {
    if (!IsMediaChange(change.Kind))
        throw std::invalid_argument("not a media change");
    Commit(std::move(change));
}

void TProject::RecordMediaChange(TProjectChange change) {
    if (!IsMediaChange(change.Kind))
        throw std::invalid_argument("not a media change");
    if (m_observer)
        m_observer->ChangeMade(change);
    Push(std::move(change));
}

bool TProject::DeleteEventType(int32_t index) {
    if (!m_types.IsValidIndex(index))
        return false;
    TProjectChange change(TChangeKind::TypeDelete);
    change.Index = static_cast<std::size_t>(index);
    Commit(std::move(change));
    return true;
}

bool TProject::DeleteGroup(int32_t index) {
    if (!m_groups.IsValidIndex(index))
        return false;
    TProjectChange change(TChangeKind::GroupDelete);
    change.Index = static_cast<std::size_t>(index);
    Commit(std::move(change));
    return true;
}

bool TProject::ChangeEventType(int32_t index, TEventType type) {
    if (!m_types.IsValidIndex(index))
        return false;
    if (type.Group != -1 && !m_groups.IsValidIndex(type.Group))
        throw std::invalid_argument("group index " + std::to_string(type.Group) + " out of range");
    TProjectChange change(TChangeKind::TypeEdit);
    change.Index = static_cast<std::size_t>(index);
    change.Type = std::move(type);
    Commit(std::move(change));
    return true;
}

bool TProject::ChangeGroup(int32_t index, TEventTypeGroup group) {
    if (!m_groups.IsValidIndex(index))
        return false;
    TProjectChange change(TChangeKind::GroupEdit);
    change.Index = static_cast<std::size_t>(index);
    change.Group = std::move(group);
    Commit(std::move(change));
    return true;
}

int32_t TProject::AddEventType(const TEventType& type) {
    TProjectChange change(TChangeKind::TypeAdd);
    change.Type = type;
    Commit(std::move(change));
    return m_types.Count() - 1;
}

int32_t TProject::EnsureEventType(const QString& name) {
    const int32_t index = m_types.FindEventType(name);
    return index >= 0 ? index : AddEventType(TEventType(name));
}

int32_t TProject::EnsureBuiltInType(int32_t row) {
    if (row < 0 || row >= static_cast<int32_t>(BuiltInEventTypes.size()))
        throw std::out_of_range("built-in event type row " + std::to_string(row));
    if (const int32_t index = m_types.FindBuiltInType(row); index >= 0)
        return index;
    const TBuiltInEventType& builtIn = BuiltInEventTypes[static_cast<std::size_t>(row)];
    const TChangeScope scope(*this);
    TEventType type(QString::fromUtf8(builtIn.Name));
    if (builtIn.KeyText)
        type.Key = StandardTextToKey(QString::fromUtf8(builtIn.KeyText));
    if (builtIn.GroupName)
        type.Group = EnsureGroup(QString::fromUtf8(builtIn.GroupName));
    type.GroupIndex = builtIn.GroupIndex;
    return AddEventType(type);
}

int32_t TProject::AddGroup(const TEventTypeGroup& group) {
    TProjectChange change(TChangeKind::GroupAdd);
    change.Group = group;
    Commit(std::move(change));
    return m_groups.Count() - 1;
}

int32_t TProject::EnsureGroup(const QString& name) {
    const int32_t index = m_groups.FindGroup(name);
    if (index >= 0)
        return index;
    TEventTypeGroup group;
    group.Name = name;
    return AddGroup(group);
}

void TProject::SetFilteredTypes(std::set<int32_t> filtered) {
    std::erase_if(filtered, [this](int32_t type) { return !m_types.IsValidIndex(type); });
    if (filtered == m_filteredTypes)
        return;
    TProjectChange change(TChangeKind::Filter);
    change.Filter = std::move(filtered);
    Commit(std::move(change));
}

void TProject::NotifyTypesChanged() {
    Notify([](TProjectListener& listener) { listener.TypesChanged(); });
}

void TProject::NotifyGroupsChanged() {
    Notify([](TProjectListener& listener) { listener.GroupsChanged(); });
}

void TProject::Reset() {
    Notify([](TProjectListener& listener) { listener.EventsClearing(); });
    m_events.ClearEvents();
    m_titles.ClearTitles();
    m_filteredTypes.clear();
    m_types.Clear();
    m_groups.Clear();
    m_timeFormat = TTimeFormat::Milliseconds;
    ClearHistory();
    NotifyGroupsChanged();
    NotifyTypesChanged();
}
