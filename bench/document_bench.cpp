// Save and Open of a large project against libxml2's streaming reader
// (xmlTextReader, no tree) passing over the same file in the same run.
// Each measurement runs in a child process of its own, so its peak resident
// memory is its own. Open is measured three ways: as the editor opens
// (the heap reserved ahead, THeapReservation), with the C library's plain
// heap, and with the library's huge-page tunable (a child started with
// GLIBC_TUNABLES=glibc.malloc.hugetlb=1), for comparison. Prints
// processor times, peaks and the ratios that matter.
//
// Usage: document_bench [events] [titles] [folder]

#include "document/project_document.h"
#include "platform/huge_page_heap.h"

#include <libxml/xmlreader.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

namespace {

struct TFigures {
    double Seconds = 0;
    double PeakMB = 0;
    long long Count = 0;
};

class TNoMedia : public TDocumentMedia {
public:
    std::vector<TDocumentMedium> Media() const override { return {}; }
    double FirstVideoFrameRate() const override { return 0; }
    int32_t MediaCount() const override { return 0; }
    int32_t AddMedium(const std::string&) override { return -1; }
    void SetCamera(int32_t, int32_t) override {}
    void SetOffset(int32_t, int32_t) override {}
    void KeepUnopened(const TDocumentMedium&) override {}
    int32_t FramesFromMs(int32_t ms) const override { return ms; }
    int32_t MsFromFrames(int32_t frames) const override { return frames; }
};

class TFixedLayout : public TDocumentLayout {
public:
    bool IsPanelVisible(TLayoutPanel) const override { return true; }
    int32_t ColumnWidth(TLayoutPanel, int32_t) const override { return 64; }
    int32_t MediaWindowCount() const override { return 0; }
    TMediaWindowFrame MediaWindowFrame(int32_t) const override { return {}; }
    TWindowFrame WindowFrame(TToolWindow) const override { return {}; }
    void SetPanelVisible(TLayoutPanel, bool) override {}
    void SetColumnWidth(TLayoutPanel, int32_t, int32_t) override {}
    void SetMediaWindowValue(int32_t, TFrameValue, int32_t) override {}
    void SetWindowValue(TToolWindow, TFrameValue, int32_t) override {}
};

double PeakMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Runs `work` in a child process; it returns a count, the child reports its
// time (of `work` only) and peak memory.
TFigures InChild(const std::function<long long(double& seconds)>& work) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        std::exit(1);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        TFigures figures;
        figures.Count = work(figures.Seconds);
        figures.PeakMB = PeakMB();
        if (write(pipeEnds[1], &figures, sizeof figures) != sizeof figures)
            _exit(1);
        _exit(0);
    }
    close(pipeEnds[1]);
    TFigures figures;
    if (read(pipeEnds[0], &figures, sizeof figures) != sizeof figures)
        std::fprintf(stderr, "a measurement failed\n");
    close(pipeEnds[0]);
    waitpid(child, nullptr, 0);
    return figures;
}

// Processor time of this process: the machine is shared, and wall time
// would measure the neighbours too.
double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

template <typename F> double Seconds(F&& work) {
    const double start = CpuSeconds();
    work();
    return CpuSeconds() - start;
}

void FillProject(TProject& project, long long eventCount, long long titleCount) {
    static const char* names[] = {"Ann", "Bob", "Cleo", "Dan", "Eve", "Fritz", "Gus", "Hana"};
    project.AddGroup({QStringLiteral("Speech"), QStringLiteral("State"), true});
    project.AddGroup({QStringLiteral("Faces"), QStringLiteral("State"), true});
    for (int type = 0; type < 8; ++type) {
        TEventType eventType(QStringLiteral("Type %1").arg(type));
        eventType.Group = type % 2;
        eventType.GroupIndex = type;
        project.AddEventType(eventType);
    }
    std::vector<std::unique_ptr<TEvent>> events;
    events.reserve(static_cast<std::size_t>(eventCount));
    for (long long i = 0; i < eventCount; ++i) {
        TParameters parameters = {
            {"Camera", QString::number(i % 4)},           {"Person", names[i % 8]},
            {"CenterX", QString::number(i % 720) + ",5"}, {"CenterY", QString::number(i % 576)},
            {"Object", QString::number(i % 100)},
        };
        events.push_back(std::make_unique<TEvent>(static_cast<int32_t>(i % 8), static_cast<int32_t>(i / 3),
                                                  i % 5 ? QStringLiteral("note %1").arg(i) : QString(),
                                                  parameters));
    }
    project.InsertEvents(std::move(events));
    for (long long i = 0; i < titleCount; ++i)
        project.InsertTitle(std::make_unique<TTitle>(QStringLiteral("Title line %1 & more").arg(i),
                                                            static_cast<int32_t>(i * 30)));
}

long long StreamingPass(const std::string& path) {
    xmlTextReader* reader = xmlReaderForFile(path.c_str(), nullptr, XML_PARSE_NONET);
    long long elements = 0;
    int result = 0;
    while ((result = xmlTextReaderRead(reader)) == 1)
        if (xmlTextReaderNodeType(reader) == XML_READER_TYPE_ELEMENT)
            ++elements;
    xmlFreeTextReader(reader);
    return result == 0 ? elements : -1;
}

long long OpenOnce(const std::string& path, double& seconds) {
    TProject project;
    TNoMedia media;
    TFixedLayout layout;
    const TPathTransList translations;
    seconds = Seconds([&] {
        ReadDocument(path, TReadMode::Open, 0,
                     {project, media, &layout, translations, [&] { project.Reset(); }, nullptr});
    });
    return static_cast<long long>(project.Events().Count() + project.Titles.Count());
}

// The child side of TunableChild: its figures go to stdout as raw bytes.
int OpenWithTunable(const std::string& path) {
    THeapReservation::SetEnabled(false);
    TFigures figures;
    figures.Count = OpenOnce(path, figures.Seconds);
    figures.PeakMB = PeakMB();
    return fwrite(&figures, sizeof figures, 1, stdout) == 1 ? 0 : 1;
}

TFigures TunableChild(const char* self, const std::string& path) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        std::exit(1);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        dup2(pipeEnds[1], STDOUT_FILENO);
        setenv("GLIBC_TUNABLES", "glibc.malloc.hugetlb=1", 1);
        execl("/proc/self/exe", self, "--open-with-tunable", path.c_str(), static_cast<char*>(nullptr));
        _exit(1);
    }
    close(pipeEnds[1]);
    TFigures figures;
    if (read(pipeEnds[0], &figures, sizeof figures) != sizeof figures)
        std::fprintf(stderr, "the measurement with the tunable failed\n");
    close(pipeEnds[0]);
    waitpid(child, nullptr, 0);
    return figures;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && std::string(argv[1]) == "--open-with-tunable")
        return OpenWithTunable(argv[2]);
    const long long eventCount = argc > 1 ? std::atoll(argv[1]) : 1'000'000;
    const long long titleCount = argc > 2 ? std::atoll(argv[2]) : 10'000;
    const std::string folder = argc > 3 ? argv[3] : std::filesystem::temp_directory_path().string();
    const std::string path = folder + "/scenemark-document-bench.xml";

    const TFigures save = InChild([&](double& seconds) {
        TProject project;
        FillProject(project, eventCount, titleCount);
        TNoMedia media;
        TFixedLayout layout;
        seconds = Seconds([&] { WriteDocument(path, {project, media, layout}); });
        return static_cast<long long>(std::filesystem::file_size(path));
    });
    const TFigures stream = InChild([&](double& seconds) {
        long long elements = 0;
        seconds = Seconds([&] { elements = StreamingPass(path); });
        return elements;
    });
    const TFigures open = InChild([&](double& seconds) { return OpenOnce(path, seconds); });
    const TFigures plain = InChild([&](double& seconds) {
        THeapReservation::SetEnabled(false);
        return OpenOnce(path, seconds);
    });
    const TFigures tunable = TunableChild(argv[0], path);
    std::filesystem::remove(path);

    std::printf("document: %lld events, %lld titles, %.1f MB\n", eventCount, titleCount, save.Count / 1e6);
    std::printf("streaming reader: %.2f s, peak %.0f MB (%lld elements)\n", stream.Seconds, stream.PeakMB,
                stream.Count);
    std::printf("Save:             %.2f s, peak %.0f MB (project included)\n", save.Seconds, save.PeakMB);
    std::printf("Open:             %.2f s, peak %.0f MB (%lld events and titles read)\n", open.Seconds,
                open.PeakMB, open.Count);
    std::printf("Open, plain heap: %.2f s, peak %.0f MB\n", plain.Seconds, plain.PeakMB);
    std::printf("Open, tunable:    %.2f s, peak %.0f MB\n", tunable.Seconds, tunable.PeakMB);
    std::printf("ratio Save / streaming parse: %.2f\n", save.Seconds / stream.Seconds);
    std::printf("ratio Open / streaming parse: %.2f\n", open.Seconds / stream.Seconds);
    std::printf("ratio Open plain heap / streaming parse: %.2f\n", plain.Seconds / stream.Seconds);
    std::printf("ratio Open tunable / streaming parse: %.2f\n", tunable.Seconds / stream.Seconds);
    std::printf("ratio Open peak / streaming peak: %.1f\n", open.PeakMB / stream.PeakMB);
    return open.Count == eventCount + titleCount ? 0 : 1;
}
