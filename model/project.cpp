#include "model/project.h"

#include <algorithm>
#include <stdexcept>

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
    if (!EventTypes.IsValidIndex(event->EventType))
        throw std::invalid_argument("event type index " + std::to_string(event->EventType) + " out of range");
}

TEvent* TProject::InsertEvent(std::unique_ptr<TEvent> event) {
    CheckInsertable(event.get());
    TEvent* inserted = event.get();
    m_events.InsertEvent(std::move(event));
    Notify([inserted](TProjectListener& listener) { listener.EventInserted(inserted); });
    return inserted;
}

void TProject::InsertEvents(std::vector<std::unique_ptr<TEvent>> events) {
    for (const auto& event : events)
        CheckInsertable(event.get());
    std::vector<const TEvent*> inserted;
    inserted.reserve(events.size());
    for (const auto& event : events)
        inserted.push_back(event.get());
    m_events.InsertMany(std::move(events));
    for (const TEvent* event : inserted)
        Notify([event](TProjectListener& listener) { listener.EventInserted(event); });
}

bool TProject::DeleteEvent(const TEvent* event) {
    return TakeEvent(event) != nullptr;
}

std::unique_ptr<TEvent> TProject::TakeEvent(const TEvent* event) {
    const auto index = m_events.IndexOf(event);
    if (index < 0)
        return nullptr;
    Notify([event](TProjectListener& listener) { listener.EventRemoving(event); });
    return m_events.TakeAt(static_cast<std::size_t>(index));
}

std::ptrdiff_t TProject::MoveEventToTime(const TEvent* event, int32_t time) {
    if (m_events.IndexOf(event) < 0)
        return -1;
    Notify([event](TProjectListener& listener) { listener.EventRemoving(event); });
    const auto index = m_events.MoveToTime(event, time);
    Notify([event](TProjectListener& listener) { listener.EventInserted(event); });
    return index;
}

bool TProject::ChangeEvent(const TEvent* event, int32_t type, QString text, TParameters parameters) {
    const auto index = m_events.IndexOf(event);
    if (index < 0)
        return false;
    if (!EventTypes.IsValidIndex(type))
        throw std::invalid_argument("event type index " + std::to_string(type) + " out of range");
    Notify([event](TProjectListener& listener) { listener.EventRemoving(event); });
    TEvent& changed = *m_events[static_cast<std::size_t>(index)];
    changed.EventType = type;
    changed.Text = std::move(text);
    changed.Parameters = std::move(parameters);
    Notify([event](TProjectListener& listener) { listener.EventInserted(event); });
    return true;
}

void TProject::ClearEvents() {
    Notify([](TProjectListener& listener) { listener.EventsClearing(); });
    m_events.ClearEvents();
}

void TProject::ConvertTimes(const std::function<int32_t(int32_t)>& convert) {
    m_events.ConvertTimes(convert);
    Titles.ConvertTimes(convert);
    // Type time shifts are in the same unit: left alone, a shift of -2000 ms
    // would become -2000 frames.
    for (int32_t index = 0; index < EventTypes.Count(); ++index) {
        TEventType& type = EventTypes[index];
        type.Offset = convert(type.Offset);
        for (TSecondaryKey& key : type.SecondaryKeys)
            key.Offset = convert(key.Offset);
    }
}

bool TProject::DeleteEventType(int32_t index) {
    if (!EventTypes.IsValidIndex(index))
        return false;
    // Listeners hear of every leaving event while types and events are still
    // as they were, not halfway through the renumbering.
    for (const auto& event : m_events) {
        if (event->EventType == index) {
            const TEvent* leaving = event.get();
            Notify([leaving](TProjectListener& listener) { listener.EventRemoving(leaving); });
        }
    }
    EventTypes.RemoveAt(index);
    m_events.RemoveIf([index](TEvent& event) {
        if (event.EventType == index)
            return true;
        if (event.EventType > index)
            --event.EventType;
        return false;
    });
    std::set<int32_t> filtered;
    for (const int32_t type : FilteredTypes) {
        const int32_t renumbered = type > index ? type - 1 : type;
        if (type != index && EventTypes.IsValidIndex(renumbered))
            filtered.insert(renumbered);
    }
    FilteredTypes = std::move(filtered);
    NotifyTypesChanged();
    return true;
}

bool TProject::DeleteGroup(int32_t index) {
    if (!Groups.IsValidIndex(index))
        return false;
    Groups.RemoveAt(index);
    for (int32_t type = 0; type < EventTypes.Count(); ++type) {
        int32_t& group = EventTypes[type].Group;
        if (group == index)
            group = -1;
        else if (group > index)
            --group;
    }
    NotifyGroupsChanged();
    NotifyTypesChanged();
    return true;
}

int32_t TProject::AddEventType(const TEventType& type) {
    const int32_t index = EventTypes.AddEventType(type);
    NotifyTypesChanged();
    return index;
}

int32_t TProject::EnsureEventType(const QString& name) {
    const int32_t count = EventTypes.Count();
    const int32_t index = EventTypes.EnsureEventType(name);
    if (EventTypes.Count() != count)
        NotifyTypesChanged();
    return index;
}

int32_t TProject::EnsureBuiltInType(int32_t row) {
    const int32_t typeCount = EventTypes.Count();
    const int32_t groupCount = Groups.Count();
    const int32_t index = EventTypes.EnsureBuiltInType(row, Groups);
    if (Groups.Count() != groupCount)
        NotifyGroupsChanged();
    if (EventTypes.Count() != typeCount)
        NotifyTypesChanged();
    return index;
}

int32_t TProject::AddGroup(const TEventTypeGroup& group) {
    const int32_t index = Groups.AddGroup(group);
    NotifyGroupsChanged();
    return index;
}

int32_t TProject::EnsureGroup(const QString& name) {
    const int32_t count = Groups.Count();
    const int32_t index = Groups.EnsureGroup(name);
    if (Groups.Count() != count)
        NotifyGroupsChanged();
    return index;
}

void TProject::NotifyTypesChanged() {
    Notify([](TProjectListener& listener) { listener.TypesChanged(); });
}

void TProject::NotifyGroupsChanged() {
    Notify([](TProjectListener& listener) { listener.GroupsChanged(); });
}

void TProject::Reset() {
    ClearEvents();
    Titles.ClearTitles();
    FilteredTypes.clear();
    EventTypes.Clear();
    Groups.Clear();
    TimeFormat = TTimeFormat::Milliseconds;
    NotifyGroupsChanged();
    NotifyTypesChanged();
}
