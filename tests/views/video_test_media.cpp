#include "tests/views/video_test_media.h"

#include "media/bmp/bmp_file.h"
#include "tests/support/bmp_bytes.h"

#include <filesystem>
#include <stdexcept>

uint32_t SequenceColour(int32_t frame) {
    return 0x203040u + static_cast<uint32_t>(frame) * 0x101010u;
}

std::string WriteSequence(const std::string& folder, int32_t width, int32_t height, int32_t count) {
    const std::string name = (std::filesystem::path(folder) / "clip.bmp").string();
    TBMPFile writer;
    writer.SetVideoFormat(width, height, 25, 1);
    writer.Open(name, TAVFile::ModeWrite, TAVFile::StreamVideo, true);
    for (int32_t frame = 0; frame < count; ++frame) {
        const uint32_t colour = SequenceColour(frame);
        writer.PutFrame(MakeFrame(width, height, [=](int32_t, int32_t) { return colour; }).data());
    }
    writer.Close();
    return (std::filesystem::path(folder) / "clip000000000.bmp").string();
}

TFormVideo::TMediaOpener BMPOpener() {
    return [](const std::string& fileName, int32_t streams) -> std::unique_ptr<TAVFile> {
        auto file = std::make_unique<TBMPFile>();
        file->Open(fileName, TAVFile::ModeRead, streams, false);
        if (file->GetMode() != TAVFile::ModeRead)
            return nullptr;
        return file;
    };
}

TScriptedMedia::TScriptedMedia(std::shared_ptr<TLog> log, int32_t streams, int32_t flags, int32_t width,
                               int32_t height)
    : m_log(std::move(log)) {
    m_mode = ModeRead;
    m_streams = streams;
    m_flags = flags;
    m_width = width;
    m_height = height;
    m_rate = 25;
    m_scale = 1;
    m_frame.resize(static_cast<size_t>(width) * 4 * height);
}

TScriptedMedia::~TScriptedMedia() {
    m_log->Destroyed = true;
}

uint8_t* TScriptedMedia::GetFrameAt(int32_t index) {
    m_log->Calls.push_back("GetFrameAt " + std::to_string(index));
    if (index >= FailFrom)
        throw AVFileErrorGetVideo();
    const uint32_t colour = SequenceColour(index);
    for (size_t i = 0; i < m_frame.size(); i += 4) {
        m_frame[i] = colour & 0xff;
        m_frame[i + 1] = (colour >> 8) & 0xff;
        m_frame[i + 2] = (colour >> 16) & 0xff;
        m_frame[i + 3] = 0;
    }
    m_videoPosition = index + 1;
    return m_frame.data();
}

void TScriptedMedia::Seek(int32_t index) {
    m_log->Calls.push_back("Seek " + std::to_string(index));
    m_videoPosition = index;
}

int32_t TScriptedMedia::SkipFrames(int32_t count) {
    m_log->Calls.push_back("SkipFrames " + std::to_string(count));
    m_videoPosition += count;
    return m_videoPosition;
}

void TScriptedMedia::Close() {
    m_log->Calls.push_back("Close");
    TAVFile::Close();
}

void TScriptedMedia::SetVideoRate(uint32_t rate, uint32_t scale) {
    m_rate = rate;
    m_scale = scale;
}

void TScriptedMedia::SetAudio(int32_t channels, int32_t samplesPerSecond) {
    m_channels = channels;
    m_samplesPerSecond = samplesPerSecond;
}

QString TFakeVideoHost::EventTypeName(int32_t typeIndex) const {
    if (typeIndex < 0 || typeIndex >= static_cast<int32_t>(TypeNames.size()))
        return QString();
    return TypeNames[static_cast<size_t>(typeIndex)];
}

void TFakeVideoHost::RecordEventNow(int32_t typeIndex, const QString& text,
                                    const TParameterNames* ignoredNames, bool replaceSameTime,
                                    const TParameters& parameters) {
    Recorded.push_back(TRecorded{typeIndex, text, ignoredNames ? *ignoredNames : TParameterNames(),
                                 ignoredNames != nullptr, replaceSameTime, parameters.ParametersToText()});
    if (OnRecord)
        OnRecord();
}

void TFakeVideoHost::ChangeEventParameters(const TEvent* event, const TParameters& parameters) {
    ChangedParameters.emplace_back(event, parameters.ParametersToText());
    if (Project && event)
        Project->ChangeEvent(event, event->EventType, event->Text, parameters);
}

void TFakeVideoHost::FillEventGrid(bool moveCursor) {
    GridRefills.push_back(moveCursor);
    if (OnFillGrid)
        OnFillGrid();
}
