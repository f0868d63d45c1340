#pragma once
// TFormVideoList: the media set, an owning ordered list of video windows, one
// per opened medium. A window's position in the list is its medium's index;
// removing an entry destroys the window together with its media file. The
// list is what the playback clock plays (TPlaybackMediaList).
//
// Ownership: the list owns its windows; their Qt parent is the owner given
// at construction (the main window), which must outlive the list.
//
// Threads: the UI thread. Stop playback before removing a window.

#include "playback/playback_medium.h"
#include "views/form_video.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QWidget;
class TVideoHost;

class TFormVideoList : public TPlaybackMediaList {
public:
    // owner and host are handed to every window the list creates; opener
    // (empty: the backend registry) opens their files.
    TFormVideoList(QWidget* owner, TVideoHost* host, TFormVideo::TMediaOpener opener = {});
    ~TFormVideoList() override;
    TFormVideoList(const TFormVideoList&) = delete;
    TFormVideoList& operator=(const TFormVideoList&) = delete;

    // Opens fileName in a new hidden window and appends it; returns its
    // index, or -1 (the window destroyed, nothing reported) when the file
    // does not open.
    int32_t AddFile(const QString& fileName);
    // Destroys window `index` with its medium; later windows move down.
    void Remove(int32_t index);
    // Moves window `from` to index `to` (both within the list); the windows
    // between shift by one.
    void Move(int32_t from, int32_t to);
    // Destroys every window and forgets the unopened media.
    void Clear();

    // A medium of the project that did not open: it has no window and is not
    // played, but the project keeps it (path, camera, offset in ms) until the
    // next Clear.
    struct TUnopenedMedium {
        QString FileName;
        int32_t Camera = -1;
        int32_t Offset = 0;
    };
    void KeepUnopened(TUnopenedMedium medium) { m_unopened.push_back(std::move(medium)); }
    const std::vector<TUnopenedMedium>& Unopened() const { return m_unopened; }
    // Forgets unopened medium `index` (in Unopened() order), so the project
    // no longer lists it; an index out of range does nothing.
    void RemoveUnopened(int32_t index);

    int32_t Count() const { return static_cast<int32_t>(m_items.size()); }
    TFormVideo& Window(int32_t index) const { return *m_items[static_cast<size_t>(index)]->Window; }

    void RepaintAll();
    void SetDoubleBuffering(bool flag);
    void ClearOverlays();

    // TPlaybackMediaList
    int32_t MediumCount() const override { return Count(); }
    TPlaybackMedium& Medium(int32_t index) override { return *m_items[static_cast<size_t>(index)]; }

private:
    // The clock's view of one window.
    class TItem : public TPlaybackMedium {
    public:
        explicit TItem(std::unique_ptr<TFormVideo> window) : Window(std::move(window)) {}
        TAVFile* MediaFile() override { return Window->MediaFile(); }
        int32_t Offset() const override { return Window->Offset; }
        void FetchFrame(int32_t frame) override { Window->FetchFrame(frame); }
        void PreviewFrame(int32_t frame) override { Window->PreviewFrame(frame); }
        TSeekWorker* SeekWorker() override { return Window->SeekWorker(); }
        TPreviewRenderer PreviewRenderer() override { return Window->PreviewRenderer(); }
        void Paint() override { Window->Paint(); }
        void CommitMouseRegion() override { Window->CommitMouseRegion(); }
        bool IsAudioEnabled() const override { return Window->IsAudioTicked(); }
        void ShowPlaybackRate(double fps, int32_t dropped) override {
            Window->ShowPlaybackRate(fps, dropped);
        }

        std::unique_ptr<TFormVideo> Window;
    };

    QWidget* m_owner;
    TVideoHost* m_host;
    TFormVideo::TMediaOpener m_opener;
    std::vector<std::unique_ptr<TItem>> m_items;
    std::vector<TUnopenedMedium> m_unopened;
};
