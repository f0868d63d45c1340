#pragma once
// Media for the video window tests: BMP sequences written with the BMP
// backend, a scripted TAVFile that records what the window asks of it, and
// a main-window stand-in that records what the window reports.

#include "media/av_file.h"
#include "views/form_video.h"
#include "views/video_host.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Solid colour (0xRRGGBB) of frame `frame` in the generated sequences.
uint32_t SequenceColour(int32_t frame);

// Writes `count` frames of width x height, each filled with
// SequenceColour(frame), and returns the name of the first file.
std::string WriteSequence(const std::string& folder, int32_t width, int32_t height, int32_t count);

// Opens files with the BMP backend only, whatever other backends are built.
TFormVideo::TMediaOpener BMPOpener();

// A media file that is "open for reading" from construction with the given
// streams, flags and formats; frames are solid SequenceColour(index).
class TScriptedMedia : public TAVFile {
public:
    struct TLog {
        std::vector<std::string> Calls; // "GetFrameAt 0", "Seek 0", "SkipFrames 1", "Close"
        bool Destroyed = false;
    };

    TScriptedMedia(std::shared_ptr<TLog> log, int32_t streams, int32_t flags = 0, int32_t width = 16,
                   int32_t height = 8);
    ~TScriptedMedia() override;

    uint8_t* GetFrameAt(int32_t index) override;
    void Seek(int32_t index) override;
    int32_t SkipFrames(int32_t count) override;
    void Close() override;
    int32_t GetVideoLength() override { return 100; }

    void SetVideoRate(uint32_t rate, uint32_t scale);
    void SetAudio(int32_t channels, int32_t samplesPerSecond);
    void SetDescription(const std::string& text) { m_description = text; }
    void SetMode(int32_t mode) { m_mode = mode; }
    // Frame index from which GetFrameAt raises AVFileErrorGetVideo.
    int32_t FailFrom = 1 << 30;

private:
    std::shared_ptr<TLog> m_log;
    std::vector<uint8_t> m_frame;
};

// A main window that answers from its fields and records the calls.
class TFakeVideoHost : public TVideoHost {
public:
    struct TRecorded {
        int32_t TypeIndex;
        QString Text;
        TParameterNames Ignored;
        bool HadIgnored;
        bool ReplaceSameTime;
        QString Parameters;
    };

    bool IsInserting() const override { return Inserting; }
    bool IsMouseMode() const override { return MouseMode; }
    int32_t MouseTemplateType() const override { return TemplateType; }
    QString MouseTemplateText() const override { return TemplateText; }
    TParameters MouseTemplateParameters() const override { return TemplateParameters; }
    QString EventTypeName(int32_t typeIndex) const override;
    void RecordEventNow(int32_t typeIndex, const QString& text, const TParameterNames* ignoredNames,
                        bool replaceSameTime, const TParameters& parameters) override;
    void ChangeEventParameters(const TEvent* event, const TParameters& parameters) override;
    void FillEventGrid(bool moveCursor) override;

    bool Inserting = true;
    bool MouseMode = false;
    int32_t TemplateType = 1;
    QString TemplateText = QStringLiteral("note");
    TParameters TemplateParameters{{"Width", "64"}, {"Height", "64"}};
    std::vector<QString> TypeNames{QStringLiteral("Walk"), QStringLiteral("Look")};

    std::vector<TRecorded> Recorded;
    std::vector<bool> GridRefills; // moveCursor of each FillEventGrid
    // When set, ChangeEventParameters gives the event its list there, as
    // the main window does.
    TProject* Project = nullptr;
    // Each ChangeEventParameters: the event and the list in text form.
    std::vector<std::pair<const TEvent*, QString>> ChangedParameters;
    // Run inside RecordEventNow / FillEventGrid, as the real main window may
    // rebuild the overlays there.
    std::function<void()> OnRecord;
    std::function<void()> OnFillGrid;
};
