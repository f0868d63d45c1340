#pragma once
// Stand-ins for the main window's media set and layout in document tests.
// The media set opens real files through the backend registry, so tests
// generate their media (BMP sequences, 25 frames per second).

#include "document/project_document.h"

#include "base/round_to_int.h"
#include "media/registry/registry.h"

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

class TTestMedia : public TDocumentMedia {
public:
    struct TMedium {
        std::string FileName;
        std::unique_ptr<TAVFile> File;
        int32_t Camera = -1;
        int32_t Offset = 0;
    };
    std::vector<TMedium> Opened;
    std::vector<std::string> Asked; // every path AddMedium was given
    std::vector<TDocumentMedium> Unopened;

    std::vector<TDocumentMedium> Media() const override {
        std::vector<TDocumentMedium> media;
        for (const TMedium& medium : Opened)
            media.push_back({medium.FileName, medium.Camera, medium.Offset});
        media.insert(media.end(), Unopened.begin(), Unopened.end());
        return media;
    }
    double FirstVideoFrameRate() const override {
        if (Opened.empty())
            return 0;
        const auto format = Opened.front().File->GetVideoFormat();
        return static_cast<double>(format.Rate) / format.Scale;
    }
    int32_t MediaCount() const override { return static_cast<int32_t>(Opened.size()); }
    int32_t AddMedium(const std::string& fileName) override {
        Asked.push_back(fileName);
        auto file = OpenMedia(fileName, TAVFile::StreamVideo | TAVFile::StreamAudio);
        if (!file)
            return -1;
        Opened.push_back({fileName, std::move(file)});
        return MediaCount() - 1;
    }
    void SetCamera(int32_t index, int32_t camera) override { Opened.at(index).Camera = camera; }
    void SetOffset(int32_t index, int32_t offsetMs) override { Opened.at(index).Offset = offsetMs; }
    void KeepUnopened(const TDocumentMedium& medium) override { Unopened.push_back(medium); }
    int32_t FramesFromMs(int32_t ms) const override { return RoundToInt(ms * FirstVideoFrameRate() * 0.001); }
    int32_t MsFromFrames(int32_t frames) const override {
        return RoundToInt(frames * 1000.0 / FirstVideoFrameRate());
    }
};

// Remembers every value it is given, in order, and answers with them.
class TTestLayout : public TDocumentLayout {
public:
    std::map<TLayoutPanel, bool> Panels;
    std::map<std::pair<TLayoutPanel, int32_t>, int32_t> Columns;
    std::vector<TMediaWindowFrame> MediaWindows;
    std::map<TToolWindow, TWindowFrame> Windows;
    std::vector<std::tuple<int, int, int>> Calls; // (what, field, value) in call order

    bool IsPanelVisible(TLayoutPanel panel) const override { return Panels.count(panel) && Panels.at(panel); }
    int32_t ColumnWidth(TLayoutPanel panel, int32_t column) const override {
        const auto found = Columns.find({panel, column});
        return found == Columns.end() ? 64 : found->second;
    }
    int32_t MediaWindowCount() const override { return static_cast<int32_t>(MediaWindows.size()); }
    TMediaWindowFrame MediaWindowFrame(int32_t index) const override { return MediaWindows.at(index); }
    TWindowFrame WindowFrame(TToolWindow window) const override {
        return Windows.count(window) ? Windows.at(window) : TWindowFrame{};
    }

    void SetPanelVisible(TLayoutPanel panel, bool isVisible) override {
        Panels[panel] = isVisible;
        Calls.emplace_back(0, static_cast<int>(panel), isVisible);
    }
    void SetColumnWidth(TLayoutPanel panel, int32_t column, int32_t width) override {
        Columns[{panel, column}] = width;
        Calls.emplace_back(1, static_cast<int>(panel) * 10 + column, width);
    }
    void SetMediaWindowValue(int32_t index, TFrameValue field, int32_t value) override {
        TMediaWindowFrame& media = MediaWindows.at(index);
        Set(media.Frame, field, value, &media.Size);
        Calls.emplace_back(2, index * 10 + static_cast<int>(field), value);
    }
    void SetWindowValue(TToolWindow window, TFrameValue field, int32_t value) override {
        Set(Windows[window], field, value, nullptr);
        Calls.emplace_back(3, static_cast<int>(window) * 10 + static_cast<int>(field), value);
    }

private:
    static void Set(TWindowFrame& frame, TFrameValue field, int32_t value, int32_t* size) {
        switch (field) {
        case TFrameValue::Visible:
            frame.Visible = value != 0;
            break;
        case TFrameValue::Size:
            if (size)
                *size = value;
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
        }
    }
};
