#include "playback/ui/form_video_list.h"

TFormVideoList::TFormVideoList(QWidget* owner, TVideoHost* host, TFormVideo::TMediaOpener opener)
    : m_owner(owner), m_host(host), m_opener(std::move(opener)) {}

TFormVideoList::~TFormVideoList() = default;

int32_t TFormVideoList::AddFile(const QString& fileName) {
    auto window = std::make_unique<TFormVideo>(m_owner, m_host, m_opener);
    window->hide();
    if (!window->OpenFile(fileName))
        return -1;
    // Should the append throw, the window goes with the unique_ptr.
    m_items.push_back(std::make_unique<TItem>(std::move(window)));
    return Count() - 1;
}

void TFormVideoList::Remove(int32_t index) {
    m_items.erase(m_items.begin() + index);
}

void TFormVideoList::Move(int32_t from, int32_t to) {
    auto item = std::move(m_items[static_cast<size_t>(from)]);
    m_items.erase(m_items.begin() + from);
    m_items.insert(m_items.begin() + to, std::move(item));
}

void TFormVideoList::RemoveUnopened(int32_t index) {
    if (index >= 0 && index < static_cast<int32_t>(m_unopened.size()))
        m_unopened.erase(m_unopened.begin() + index);
}

void TFormVideoList::Clear() {
    m_items.clear();
    m_unopened.clear();
}

void TFormVideoList::RepaintAll() {
    for (const auto& item : m_items)
        item->Window->Paint();
}

void TFormVideoList::SetDoubleBuffering(bool flag) {
    for (const auto& item : m_items)
        item->Window->SetDoubleBuffered(flag);
}

void TFormVideoList::ClearOverlays() {
    for (const auto& item : m_items)
        item->Window->ClearOverlays();
}
