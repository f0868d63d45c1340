// The imports and the Prolog export against bare C loops over the same files,
// measured in the same run (medians of rounds taken in turn); prints times
// and ratios, asserts nothing.
//
//   interchange_bench [objects|prolog|prolog-import|transcription] (all
//   without argument; prolog-import leaves out the export, for profiling)

#include "interchange/prolog_export.h"
#include "interchange/prolog_import.h"
#include "interchange/text_imports.h"
#include "interchange/transcription_import.h"

#include <libxml/parser.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int RecordCount = 1000000;

// Wall time, and the process's CPU time (user and system, page faults
// included) which other work on a shared machine disturbs far less.
struct TTimes {
    double Wall = 0;
    double Cpu = 0;
    long Faults = 0; // first touches of fresh pages, mostly
};

long PageFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

TTimes Times(const std::function<void()>& run) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    const long faultsStart = PageFaults();
    run();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            CpuSeconds() - cpuStart, PageFaults() - faultsStart};
}

double Seconds(const std::function<void()>& run) {
    return Times(run).Wall;
}

std::string Folder() {
    const auto folder = std::filesystem::temp_directory_path() / "scenemark-interchange-bench";
    std::filesystem::create_directories(folder);
    return folder.string();
}

void WriteText(const std::string& path, const std::function<void(std::FILE*)>& write) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    write(file);
    std::fclose(file);
}

// The imports allocate their events fresh (some 180 bytes per Prolog fact,
// 500 per region) while the bare loops allocate nothing, so the ratios move
// with what a fresh page costs on the machine at that moment; printed beside
// them to read them by.
void ReportFreshMemoryCost() {
    constexpr std::size_t Bytes = 256u << 20;
    const TTimes times = Times([] {
        auto* block = static_cast<volatile char*>(std::malloc(Bytes));
        for (std::size_t i = 0; i < Bytes; i += 4096)
            block[i] = 1;
        std::free(const_cast<char*>(block));
    });
    std::printf("(fresh memory: 256 MB faulted in, CPU %.3f s)\n", times.Cpu);
}

void Report(const char* what, const TTimes& baseline, const TTimes& ours) {
    std::printf("%-48s baseline %6.3f s   ours %6.3f s   ratio %.2f   (CPU  %6.3f s / %6.3f s = %.2f; "
                "page faults %ld / %ld)\n",
                what, baseline.Wall, ours.Wall, ours.Wall / baseline.Wall, baseline.Cpu, ours.Cpu,
                ours.Cpu / baseline.Cpu, baseline.Faults, ours.Faults);
}

constexpr int Rounds = 3;

TTimes Median(std::vector<TTimes> times) {
    const auto middle = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    std::vector<double> walls, cpus, faults;
    for (const TTimes& t : times) {
        walls.push_back(t.Wall);
        cpus.push_back(t.Cpu);
        faults.push_back(static_cast<double>(t.Faults));
    }
    return {middle(walls), middle(cpus), static_cast<long>(middle(faults))};
}

// With isFresh the heap's free pages go back to the kernel before each
// import, so that every round, not only the first, meets fresh memory.
std::vector<TTimes> TimedRounds(const std::function<void()>& baseline,
                                const std::function<void(TProject&)>& import, std::unique_ptr<TProject>& last,
                                std::vector<TTimes>& oursTimes, bool isFresh) {
    std::vector<TTimes> baselineTimes;
    for (int round = 0; round < Rounds; ++round) {
        baselineTimes.push_back(Times(baseline));
        last.reset();
        if (isFresh)
            malloc_trim(0);
        last = std::make_unique<TProject>();
        oursTimes.push_back(Times([&] { import(*last); }));
    }
    return baselineTimes;
}

void ReportRounds(const char* what, const std::vector<TTimes>& baselineTimes,
                  const std::vector<TTimes>& oursTimes) {
    if (std::getenv("SCENEMARK_BENCH_ROUNDS") != nullptr)
        for (int round = 0; round < Rounds; ++round)
            Report("  round", baselineTimes[round], oursTimes[round]);
    Report(what, Median(baselineTimes), Median(oursTimes));
}

// The baseline and the import in turn, several rounds, so that neither
// always meets the machine in the same state (file cache, other work); each
// import fills a new project, destroyed outside the timing. The bare loop
// stores nothing while the import must keep every event: its first touch of
// fresh pages costs what the kernel (and on a virtual machine the host)
// asks at that moment. So the rounds run twice: with the memory fresh, as a
// first import meets it, and with the heap kept from an import before, where
// neither side faults in memory and only the work of reading is compared.
void Compare(const char* what, const std::function<void()>& baseline,
             const std::function<void(TProject&)>& import, std::unique_ptr<TProject>& last) {
    std::vector<TTimes> oursFresh;
    const std::vector<TTimes> baselineFresh = TimedRounds(baseline, import, last, oursFresh, true);
    ReportFreshMemoryCost();
    ReportRounds((std::string(what) + ", fresh memory").c_str(), baselineFresh, oursFresh);

    mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    last.reset();
    last = std::make_unique<TProject>();
    import(*last);
    std::vector<TTimes> oursWarm;
    const std::vector<TTimes> baselineWarm = TimedRounds(baseline, import, last, oursWarm, false);
    ReportRounds((std::string(what) + ", heap kept").c_str(), baselineWarm, oursWarm);
    mallopt(M_TRIM_THRESHOLD, 128 << 10);
    malloc_trim(0);
}

void Objects() {
    const std::string path = Folder() + "/objects.txt";
    WriteText(path, [](std::FILE* file) {
        for (int i = 0; i < RecordCount; ++i)
            std::fprintf(file, "person %d(%d,%d,%d,%.2f,%.2f,%d,%d,%d,%d,Anna)\n", i % 5, i * 40, i % 4,
                         i % 9, i % 640 + 0.5, i % 480 + 0.25, i % 600, i % 400, i % 600 + 40, i % 400 + 80);
    });
    long checksum = 0;
    const auto baseline = [&] {
        checksum = 0;
        std::FILE* file = std::fopen(path.c_str(), "r");
        char name[256];
        char person[256];
        int time, camera, object;
        float v[6];
        while (std::fscanf(file, "%255[^(](%d,%d,%d,%f,%f,%f,%f,%f,%f,%255[^)])\n", name, &time, &camera,
                           &object, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], person) == 11)
            checksum += time;
        std::fclose(file);
    };
    std::unique_ptr<TProject> project;
    TSilentCaptureHost host;
    Compare(
        "objects import, 1,000,000 regions", baseline,
        [&](TProject& into) {
            ImportObjects(path, {into, host});
        },
        project);
    std::printf("(%zu events, checksum %ld)\n", project->Events().Count(), checksum);
}

void Prolog(bool withExport) {
    const std::string path = Folder() + "/facts.pl";
    WriteText(path, [](std::FILE* file) {
        std::fprintf(file, "begin(0).\r\nend(3600000).\r\nstep(40).\r\n");
        for (int i = 0; i < RecordCount; ++i)
            std::fprintf(file, "event_type_%d(%d, [(person, p%d), (score, %d.5)]).\r\n", i % 7, i * 3, i % 3,
                         i % 10);
    });
    long checksum = 0;
    const auto baseline = [&] {
        // A bare reader: the same 131072-byte blocks, one sscanf per fact.
        checksum = 0;
        std::FILE* file = std::fopen(path.c_str(), "rb");
        static char block[131072 + 1];
        std::string carry;
        std::size_t count;
        char name[64], pname[64], pvalue[64];
        int time;
        while ((count = std::fread(block, 1, 131072, file)) > 0) {
            carry.append(block, count);
            std::size_t start = 0;
            for (std::size_t end; (end = carry.find('\n', start)) != std::string::npos; start = end + 1) {
                carry[end] = '\0'; // sscanf must not measure the whole rest of the block
                if (std::sscanf(carry.c_str() + start, "%63[^(](%d, [(%63[^,], %63[^)])", name, &time, pname,
                                pvalue) == 4)
                    checksum += time;
            }
            carry.erase(0, start);
        }
        std::fclose(file);
    };
    std::unique_ptr<TProject> imported;
    TSilentCaptureHost host;
    Compare(
        "Prolog import, 1,000,000 facts", baseline,
        [&](TProject& into) {
            ImportProlog(path, {into, host});
        },
        imported);
    const TProject& project = *imported;
    std::printf("(%zu events, checksum %ld)\n", project.Events().Count(), checksum);
    if (!withExport)
        return;

    const std::string out = Folder() + "/export.pl";
    const TTimes exportBaseline = Times([&] {
        std::FILE* file = std::fopen(out.c_str(), "wb");
        std::fprintf(file, "begin(0).\r\nend(%d).\r\nstep(%d).\r\n", 3600000, 40);
        for (const auto& event : project.Events()) {
            const QByteArray name = project.EventTypes[event->EventType].Name.toUtf8();
            std::fprintf(file, "event_%s(%d, [", name.constData(), event->Time);
            bool first = true;
            for (const TParameter& parameter : event->Parameters) {
                std::fprintf(file, first ? "(%s, %s)" : ", (%s, %s)", parameter.Name.toUtf8().constData(),
                             parameter.Value.toUtf8().constData());
                first = false;
            }
            std::fprintf(file, "]).\r\n");
        }
        std::fclose(file);
    });
    const TTimes oursExport = Times([&] { ExportProlog(out, project, {3600000, 40, {}}); });
    Report("Prolog export, 1,000,000 events", exportBaseline, oursExport);
}

void Transcription() {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!DOCTYPE Trans SYSTEM \"trans-14.dtd\">\n"
        "<Trans><Speakers><Speaker id=\"spk1\" name=\"A\"/><Speaker id=\"spk2\" name=\"B\"/>"
        "</Speakers><Episode><Section type=\"report\" startTime=\"0\" endTime=\"3600\">\n";
    for (int i = 0; i < 3000; i += 2) {
        char turn[512];
        std::snprintf(
            turn, sizeof turn,
            "<Turn speaker=\"spk%d\" startTime=\"%.3f\" endTime=\"%.3f\">\n<Sync time=\"%.3f\"/>\n"
            "so this is what the speaker said in segment %d\n<Event desc=\"breath\" type=\"noise\"/>\n"
            "and a bit more\n<Sync time=\"%.3f\"/>\nsecond half of the turn\n</Turn>\n",
            i % 4 / 2 + 1, i * 1.2, i * 1.2 + 2.4, i * 1.2, i, i * 1.2 + 1.2);
        xml += turn;
    }
    xml += "</Section></Episode></Trans>\n";
    const std::string path = Folder() + "/hour.xml";
    WriteText(path, [&](std::FILE* file) { std::fwrite(xml.data(), 1, xml.size(), file); });
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        TProject project;
        TSilentCaptureHost host;
        best = std::min(best, Seconds([&] { ImportTranscription(path, 0, {project, host}); }));
    }
    double parseBest = 1e9;
    for (int run = 0; run < 5; ++run)
        parseBest = std::min(parseBest, Seconds([&] {
                                 xmlFreeDoc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr,
                                                          nullptr, XML_PARSE_NONET));
                             }));
    std::printf("%-40s %8.1f ms (goal < 50 ms), best of 5; libxml2 parse alone %.1f ms, ratio %.2f\n",
                "transcription, 3,000 segments in an hour", best * 1000, parseBest * 1000, best / parseBest);
}

} // namespace

int main(int argc, char** argv) {
    const std::string which = argc > 1 ? argv[1] : "";
    if (which.empty() || which == "transcription")
        Transcription();
    if (which.empty() || which == "objects")
        Objects();
    if (which.empty() || which == "prolog" || which == "prolog-import")
        Prolog(which != "prolog-import");
    std::filesystem::remove_all(Folder());
    return 0;
}
