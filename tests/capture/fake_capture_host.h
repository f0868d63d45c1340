#pragma once
// A capture host that also keeps a timeline of its own from the project's
// notifications, as the real timeline does, so tests can check that every
// change reaches it: each event is kept with the type, text and parameters
// it had when it was announced.

#include "capture/recording.h"

#include <map>
#include <tuple>

class TFakeCaptureHost : public TCaptureHost, public TProjectListener {
public:
    explicit TFakeCaptureHost(TProject& project) : m_project(project) { m_project.AddListener(this); }
    ~TFakeCaptureHost() override { m_project.RemoveListener(this); }
    TFakeCaptureHost(const TFakeCaptureHost&) = delete;
    TFakeCaptureHost& operator=(const TFakeCaptureHost&) = delete;

    void EventListChanged() override { ++EventListRefreshes; }
    void TitleListChanged() override { ++TitleListRefreshes; }
    void RepaintTimeline() override { ++TimelineRepaints; }
    bool IsDrawOn() const override { return IsDraw; }
    void RepaintAll() override { ++VideoRepaints; }

    void EventInserted(const TEvent* event) override { Timeline[event] = Shown(*event); }
    void EventRemoving(const TEvent* event) override {
        if (Timeline.erase(event) == 0)
            ++RemovalsOfUnknownEvents;
    }
    void EventsClearing() override { Timeline.clear(); }

    // The project's events, all of them and nothing else, each as it is now.
    bool TimelineMatches(const TEvents& events) const {
        if (Timeline.size() != events.Count())
            return false;
        for (const auto& event : events) {
            const auto found = Timeline.find(event.get());
            if (found == Timeline.end() || found->second != Shown(*event))
                return false;
        }
        return true;
    }

    bool IsDraw = true;
    int EventListRefreshes = 0;
    int TitleListRefreshes = 0;
    int TimelineRepaints = 0;
    int VideoRepaints = 0;
    int RemovalsOfUnknownEvents = 0;
    // Type name (indexes are renumbered when a type goes), text, parameters.
    using TShown = std::tuple<QString, QString, QString>;
    std::map<const TEvent*, TShown> Timeline;

private:
    TShown Shown(const TEvent& event) const {
        const QString type = m_project.EventTypes.IsValidIndex(event.EventType)
                                 ? m_project.EventTypes[event.EventType].Name
                                 : "?";
        return {type, event.Text, event.Parameters.ParametersToText()};
    }
    TProject& m_project;
};
