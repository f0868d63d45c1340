#include "app/converter.h"

#include "base/exception.h"
#include "document/input_devices.h"
#include "document/project_document.h"
#include "document/settings.h"
#include "interchange/annotation_import.h"
#include "interchange/prolog_export.h"
#include "interchange/prolog_import.h"
#include "interchange/text_imports.h"
#include "interchange/transcription_import.h"
#include "media/registry/registry.h"
#include "platform/ini_file.h"
#include "platform/replace_file.h"
#include "playback/time_convert.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

const char Usage[] = "usage: scenemark-convert import FORMAT INPUT [--offset MS] [--color N] "
                     "[--into PROJECT.xml] -o OUTPUT.xml\n"
                     "       scenemark-convert export prolog PROJECT.xml -o OUTPUT.pl\n"
                     "FORMAT: transcription, annotation, prolog, output-events, graph, objects\n";

struct TCommandLine {
    std::string Verb;
    std::string Format;
    std::string Input;
    std::string Into;
    std::string Output;
    int32_t Offset = 0;
    int32_t Color = 0;
};

bool ParseInt(const std::string& text, int32_t& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

// nullopt-like: false with a message on err.
bool ParseCommandLine(int argc, const char* const* argv, TCommandLine& line, std::ostream& err) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool takesValue = arg == "-o" || arg == "--offset" || arg == "--color" || arg == "--into";
        if (takesValue && i + 1 >= argc) {
            err << "missing value after " << arg << "\n";
            return false;
        }
        if (arg == "-o") {
            line.Output = argv[++i];
        } else if (arg == "--into") {
            line.Into = argv[++i];
        } else if (arg == "--offset" || arg == "--color") {
            int32_t& target = arg == "--offset" ? line.Offset : line.Color;
            if (!ParseInt(argv[++i], target)) {
                err << "Invalid number!\n";
                return false;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            err << "unknown option " << arg << "\n";
            return false;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 3 || line.Output.empty())
        return false;
    line.Verb = positional[0];
    line.Format = positional[1];
    line.Input = positional[2];
    if (line.Verb == "export")
        return line.Format == "prolog" && line.Into.empty();
    return line.Verb == "import";
}

// The media of a document as the converter sees them: every Source is kept
// (so a copied project keeps its media list even where they cannot be
// opened); those that open through the registry give the frame rate, the
// length and the cameras.
class TConvertMedia final : public TDocumentMedia {
public:
    struct TMedium {
        TDocumentMedium Entry;
        std::unique_ptr<TAVFile> File; // null: did not open
    };

    explicit TConvertMedia(bool isOpening) : m_isOpening(isOpening) {}

    std::vector<TDocumentMedium> Media() const override {
        std::vector<TDocumentMedium> media;
        for (const TMedium& medium : m_media)
            media.push_back(medium.Entry);
        return media;
    }
    double FirstVideoFrameRate() const override {
        const TAVFile* file = FirstVideo();
        if (!file)
            return 0;
        const TAVFile::TVideoFormat format = const_cast<TAVFile*>(file)->GetVideoFormat();
        return format.Scale ? static_cast<double>(format.Rate) / format.Scale : 0;
    }
    int32_t MediaCount() const override { return static_cast<int32_t>(m_media.size()); }
    int32_t AddMedium(const std::string& fileName) override {
        TMedium medium{{fileName, -1, 0}, nullptr};
        if (m_isOpening) {
            medium.File = OpenMedia(fileName, TAVFile::StreamVideo | TAVFile::StreamAudio);
            if (!medium.File) {
                Unopened.push_back(fileName);
                return -1;
            }
        }
        m_media.push_back(std::move(medium));
        return MediaCount() - 1;
    }
    void SetCamera(int32_t index, int32_t camera) override {
        m_media[static_cast<std::size_t>(index)].Entry.Camera = camera;
    }
    void SetOffset(int32_t index, int32_t offsetMs) override {
        m_media[static_cast<std::size_t>(index)].Entry.Offset = offsetMs;
    }
    // Only the export opens media, and it writes no project: a medium that did
    // not open is reported (Unopened) and left out of the header.
    void KeepUnopened(const TDocumentMedium& /*medium*/) override {}
    int32_t FramesFromMs(int32_t ms) const override { return ::FramesFromMs(ms, FirstFormat()); }
    int32_t MsFromFrames(int32_t frames) const override { return ::MsFromFrames(frames, FirstFormat()); }

    // The slider's length and page size and the cameras, as the editor's
    // playback clock and media list give them.
    TPrologHeader PrologHeader() const {
        TPrologHeader header;
        int64_t lengthMs = 0;
        int32_t periodMs = 0;
        for (const TMedium& medium : m_media) {
            if (!HasVideo(medium))
                continue;
            const TAVFile::TVideoFormat format = medium.File->GetVideoFormat();
            lengthMs = std::max<int64_t>(
                lengthMs, static_cast<int64_t>(::MsFromFrames(medium.File->GetVideoLength(), format)) +
                              medium.Entry.Offset);
            const int32_t p = std::max(FramePeriodMs(format), 1);
            periodMs = periodMs == 0 ? p : std::min(periodMs, p);
        }
        header.LengthMs = static_cast<int32_t>(std::min<int64_t>(lengthMs, INT32_MAX));
        header.FramePeriodMs = periodMs == 0 ? 1 : periodMs;
        for (const TMedium& medium : m_media) {
            if (medium.Entry.Camera < 0)
                continue;
            const TAVFile::TVideoFormat format =
                medium.File ? medium.File->GetVideoFormat() : TAVFile::TVideoFormat{};
            header.Cameras.push_back({medium.Entry.Camera, format.Width, format.Height});
        }
        return header;
    }

    std::vector<std::string> Unopened;

private:
    static bool HasVideo(const TMedium& medium) {
        return medium.File && (medium.File->GetStreams() & TAVFile::StreamVideo) != 0;
    }
    const TAVFile* FirstVideo() const {
        for (const TMedium& medium : m_media)
            if (HasVideo(medium))
                return medium.File.get();
        return nullptr;
    }
    TAVFile::TVideoFormat FirstFormat() const {
        for (const TMedium& medium : m_media)
            if (medium.File)
                return medium.File->GetVideoFormat();
        return TAVFile::TVideoFormat{0, 0, 25, 1};
    }

    bool m_isOpening;
    std::vector<TMedium> m_media;
};

// Keeps the layout a copied document carries so the copy writes it back.
class TConvertLayout final : public TDocumentLayout {
public:
    bool IsPanelVisible(TLayoutPanel panel) const override { return Panel(panel).Visible; }
    int32_t ColumnWidth(TLayoutPanel panel, int32_t column) const override {
        const auto& widths = Panel(panel).ColumnWidths;
        return column < static_cast<int32_t>(widths.size()) ? widths[static_cast<std::size_t>(column)] : 64;
    }
    int32_t MediaWindowCount() const override { return m_mediaCount(); }
    TMediaWindowFrame MediaWindowFrame(int32_t index) const override {
        const auto found = m_mediaFrames.find(index);
        return found == m_mediaFrames.end() ? TMediaWindowFrame{} : found->second;
    }
    TWindowFrame WindowFrame(TToolWindow window) const override {
        return m_layout.ToolWindows[static_cast<std::size_t>(window)];
    }
    void SetPanelVisible(TLayoutPanel panel, bool isVisible) override { Panel(panel).Visible = isVisible; }
    void SetColumnWidth(TLayoutPanel panel, int32_t column, int32_t width) override {
        auto& widths = Panel(panel).ColumnWidths;
        const std::size_t count =
            panel == TLayoutPanel::Events ? EventColumnHeadings.size() : TitleColumnHeadings.size();
        widths.resize(count, 64);
        widths[static_cast<std::size_t>(column)] = width;
    }
    void SetMediaWindowValue(int32_t index, TFrameValue field, int32_t value) override {
        TMediaWindowFrame& frame = m_mediaFrames[index];
        if (field == TFrameValue::Size)
            frame.Size = value;
        else
            Apply(frame.Frame, field, value);
    }
    void SetWindowValue(TToolWindow window, TFrameValue field, int32_t value) override {
        Apply(m_layout.ToolWindows[static_cast<std::size_t>(window)], field, value);
    }
    void SetMediaCount(std::function<int32_t()> count) { m_mediaCount = std::move(count); }

private:
    static void Apply(TWindowFrame& frame, TFrameValue field, int32_t value) {
        switch (field) {
        case TFrameValue::Visible:
            frame.Visible = value != 0;
            break;
        case TFrameValue::Left:
            frame.Left = value;
            break;
        case TFrameValue::Top:
            frame.Top = value;
            break;
        case TFrameValue::Width:
            frame.Width = value;
            break;
        case TFrameValue::Height:
            frame.Height = value;
            break;
        case TFrameValue::Size:
            break;
        }
    }
    TPanelLayout& Panel(TLayoutPanel panel) {
        return panel == TLayoutPanel::Events ? m_layout.Events : m_layout.Titles;
    }
    const TPanelLayout& Panel(TLayoutPanel panel) const {
        return panel == TLayoutPanel::Events ? m_layout.Events : m_layout.Titles;
    }

    TEditorLayout m_layout{{true, {}}, {false, {}}, {}};
    std::map<int32_t, TMediaWindowFrame> m_mediaFrames;
    std::function<int32_t()> m_mediaCount = [] { return 0; };
};

class TConverter {
public:
    TConverter(std::ostream& out, std::ostream& err) : m_out(out), m_err(err), m_media(true) {
        const TIniFile settings(SettingsFileName());
        ReadSettings(settings, m_pathTranslations, {});
        m_layout.SetMediaCount([this] { return m_media.MediaCount(); });
    }

    void Import(const TCommandLine& line) {
        // A copied project keeps every medium it lists, opened or not.
        m_media = TConvertMedia(false);
        if (!line.Into.empty())
            ReadProject(line.Into);
        const int32_t events = static_cast<int32_t>(m_project.Events().Count());
        const int32_t types = m_project.EventTypes.Count();
        const int32_t groups = m_project.Groups.Count();
        RunImport(line);
        SafeSave(line.Output, [this](const std::string& tempPath) {
            WriteDocument(tempPath, {m_project, m_media, m_layout});
        });
        m_out << "Imported " << line.Input << " into " << line.Output << ": "
              << m_project.Events().Count() - static_cast<std::size_t>(events) << " events, "
              << m_project.EventTypes.Count() - types << " event types and "
              << m_project.Groups.Count() - groups << " groups added\n";
    }

    void Export(const TCommandLine& line) {
        ReadProject(line.Input);
        for (const std::string& medium : m_media.Unopened)
            m_err << "Could not open medium " << medium << "; it is left out\n";
        const TPrologHeader header = m_media.PrologHeader();
        ExportProlog(line.Output, m_project, header);
        m_out << "Exported " << m_project.Events().Count() << " events and " << header.Cameras.size()
              << " cameras from " << line.Input << " to " << line.Output << "\n";
    }

private:
    void ReadProject(const std::string& path) {
        const TDocumentReadContext context{m_project,
                                           m_media,
                                           &m_layout,
                                           m_pathTranslations,
                                           [this] { m_project.Reset(); },
                                           [this](const std::string& message) { m_err << message << "\n"; }};
        ReadDocument(path, TReadMode::Open, 0, context);
    }

    void RunImport(const TCommandLine& line) {
        const TImportTarget target{m_project, m_host};
        const std::string& f = line.Format;
        if (f == "transcription")
            ImportTranscription(line.Input, line.Offset, target);
        else if (f == "annotation")
            ImportAnnotation(line.Input, line.Offset, target);
        else if (f == "prolog")
            ImportProlog(line.Input, target);
        else if (f == "output-events")
            ImportOutputEvents(line.Input, target);
        else if (f == "graph")
            ImportGraph(line.Input, line.Offset, line.Color, target);
        else if (f == "objects")
            ImportObjects(line.Input, target);
    }

    std::ostream& m_out;
    std::ostream& m_err;
    TProject m_project;
    TSilentCaptureHost m_host;
    TPathTransList m_pathTranslations;
    TConvertMedia m_media;
    TConvertLayout m_layout;
};

bool IsKnownFormat(const std::string& format) {
    for (const char* known : {"transcription", "annotation", "prolog", "output-events", "graph", "objects"})
        if (format == known)
            return true;
    return false;
}

} // namespace

int RunConvert(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    TCommandLine line;
    if (!ParseCommandLine(argc, argv, line, err) || (line.Verb == "import" && !IsKnownFormat(line.Format))) {
        err << Usage;
        return 2;
    }
    try {
        TConverter converter(out, err);
        if (line.Verb == "import")
            converter.Import(line);
        else
            converter.Export(line);
        return 0;
    } catch (const std::exception& error) {
        err << error.what() << "\n";
        return 1;
    }
}
