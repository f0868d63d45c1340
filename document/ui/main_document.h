#pragma once
// The project document on the main window: once installed, Open, Import,
// Save and Save As read and write the project through it. The window layout
// (panels, columns, tool windows, video windows) comes from and goes to the
// main window; the media come from the media set given with SetMedia.
//
// Owned by whoever created the main window; must not outlive it.
// Threads: the UI thread.

#include "document/project_document.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class TFormMain;

class TMainDocument {
public:
    // Installs the reader and writer on the form.
    explicit TMainDocument(TFormMain& form);
    // Uninstalls them.
    ~TMainDocument();
    TMainDocument(const TMainDocument&) = delete;
    TMainDocument& operator=(const TMainDocument&) = delete;

    // The media set documents list and open; null for the main window's own
    // (the default).
    void SetMedia(TDocumentMedia* media);
    // Asks for the import offset in the project's time unit; nullopt when
    // the user cancels. The default asks with the number dialog
    // (TFormOffset::AskInteger) titled "Offset".
    void SetImportOffsetQuestion(std::function<std::optional<int32_t>()> ask);
    // Seeks and refreshes every view after a document was read. The default
    // fits the slider to the media read and refreshes everything at its
    // position.
    void SetRefreshAtPosition(std::function<void()> refresh);

    // What the File commands run: ReadDocument with the main window's
    // project, layout and media, then the caption (Open) and the refresh;
    // WriteDocument to the (temporary) path.
    void Read(const std::string& path, bool asImport);
    void Write(const std::string& path);

private:
    class TLayout;

    TFormMain& m_form;
    std::unique_ptr<TLayout> m_layout;
    std::unique_ptr<TDocumentMedia> m_videoListMedia;
    TDocumentMedia* m_media;
    std::function<std::optional<int32_t>()> m_askImportOffset;
    std::function<void()> m_refreshAtPosition;
};
