#include "document/ui/media_history.h"

#include "document/ui/form_main.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_video_list.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

// The words the project document uses for a medium that does not open.
QString CouldNotOpen(const QString& fileName) {
    return QStringLiteral("Could not open media file \"") + fileName + QStringLiteral("\"!");
}

} // namespace

void TMediaHistory::Added(int32_t index) {
    TProjectChange change(TChangeKind::MediumAdd);
    change.Index = PlaceOf(index);
    change.Medium.FileName = m_form.VideoList().Window(index).FileName();
    m_form.Project().RecordMediaChange(std::move(change));
}

void TMediaHistory::Remove(int32_t index) {
    TProjectChange change(TChangeKind::MediumRemove);
    change.Index = PlaceOf(index);
    m_form.Project().ChangeMedia(std::move(change));
}

void TMediaHistory::SetCamera(int32_t index, int32_t camera) {
    if (m_form.VideoList().Window(index).Camera == camera)
        return;
    TProjectChange change(TChangeKind::MediumCamera);
    change.Index = PlaceOf(index);
    change.Medium.Camera = camera;
    m_form.Project().ChangeMedia(std::move(change));
}

void TMediaHistory::SetOffset(int32_t index, int32_t offsetMs) {
    if (m_form.VideoList().Window(index).Offset == offsetMs)
        return;
    TProjectChange change(TChangeKind::MediumOffset);
    change.Index = PlaceOf(index);
    change.Medium.Offset = offsetMs;
    m_form.Project().ChangeMedia(std::move(change));
}

std::size_t TMediaHistory::PlaceOf(int32_t index) const {
    auto place = static_cast<std::size_t>(index);
    for (const TLeftOut& leftOut : m_leftOut)
        if (leftOut.Place <= place)
            ++place;
    return place;
}

std::size_t TMediaHistory::PlaceCount() const {
    return static_cast<std::size_t>(m_form.VideoList().Count()) + m_leftOut.size();
}

TMediaHistory::TLeftOut* TMediaHistory::LeftOutAt(std::size_t place) {
    for (TLeftOut& leftOut : m_leftOut)
        if (leftOut.Place == place)
            return &leftOut;
    return nullptr;
}

int32_t TMediaHistory::IndexAt(std::size_t place) const {
    std::size_t before = 0;
    for (const TLeftOut& leftOut : m_leftOut)
        if (leftOut.Place < place)
            ++before;
    return static_cast<int32_t>(place - before);
}

void TMediaHistory::Shift(std::size_t from, int delta) {
    for (TLeftOut& leftOut : m_leftOut)
        if (leftOut.Place >= from)
            leftOut.Place = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(leftOut.Place) + delta);
}

void TMediaHistory::CheckMediaChange(const TProjectChange& change) const {
    if (change.Kind == TChangeKind::MediumAdd) {
        if (change.Medium.FileName.isEmpty())
            throw std::invalid_argument("medium without a file name");
        return;
    }
    if (change.Index >= PlaceCount())
        throw std::invalid_argument("medium index " + std::to_string(change.Index) + " out of range");
}

TMediumRecord TMediaHistory::Take(std::size_t place) {
    TMediumRecord medium;
    if (TLeftOut* leftOut = LeftOutAt(place)) {
        medium = std::move(leftOut->Medium);
        std::erase_if(m_leftOut, [place](const TLeftOut& kept) { return kept.Place == place; });
    } else {
        const int32_t index = IndexAt(place);
        const TFormVideo& window = m_form.VideoList().Window(index);
        medium = {window.FileName(), window.Camera, window.Offset};
        m_form.Clock().Stop(true);
        m_form.VideoList().Remove(index);
        m_form.Clock().MediumRemoved();
    }
    Shift(place + 1, -1);
    return medium;
}

// Opened as Add opens it, then moved to its place; the time unit is left as
// it is, since a switch it caused is a change of its own in the history.
void TMediaHistory::Bring(std::size_t place, const TMediumRecord& medium) {
    TFormVideoList& list = m_form.VideoList();
    const int32_t index = IndexAt(place);
    Shift(place, 1);
    const int32_t added = list.AddFile(medium.FileName);
    if (added < 0) {
        m_leftOut.push_back({place, medium});
        std::sort(m_leftOut.begin(), m_leftOut.end(),
                  [](const TLeftOut& a, const TLeftOut& b) { return a.Place < b.Place; });
        m_form.ShowMessage(CouldNotOpen(medium.FileName));
        return;
    }
    list.Move(added, index);
    list.Window(index).Camera = medium.Camera;
    list.Window(index).Offset = medium.Offset;
    m_form.Clock().UpdateTrackBarRange();
    m_form.SetEditingEnabled(true);
}

void TMediaHistory::SetValue(TProjectChange& change, bool isUndo) {
    const bool isCamera = change.Kind == TChangeKind::MediumCamera;
    int32_t* value = nullptr;
    if (TLeftOut* leftOut = LeftOutAt(change.Index)) {
        value = isCamera ? &leftOut->Medium.Camera : &leftOut->Medium.Offset;
    } else {
        TFormVideo& window = m_form.VideoList().Window(IndexAt(change.Index));
        value = isCamera ? &window.Camera : &window.Offset;
    }
    if (isUndo) {
        *value = change.Delta;
        return;
    }
    change.Delta = *value;
    *value = isCamera ? change.Medium.Camera : change.Medium.Offset;
}

void TMediaHistory::DoMediaChange(TProjectChange& change) {
    switch (change.Kind) {
    case TChangeKind::MediumAdd:
        change.Index = PlaceCount();
        Bring(change.Index, {change.Medium.FileName, -1, 0});
        break;
    case TChangeKind::MediumRemove:
        change.Medium = Take(change.Index);
        break;
    case TChangeKind::MediumCamera:
    case TChangeKind::MediumOffset:
        SetValue(change, false);
        break;
    default:
        break;
    }
}

void TMediaHistory::RevertMediaChange(TProjectChange& change) {
    switch (change.Kind) {
    case TChangeKind::MediumAdd:
        Take(change.Index);
        break;
    case TChangeKind::MediumRemove:
        Bring(change.Index, change.Medium);
        break;
    case TChangeKind::MediumCamera:
    case TChangeKind::MediumOffset:
        SetValue(change, true);
        break;
    default:
        break;
    }
}
