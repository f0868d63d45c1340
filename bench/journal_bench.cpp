// What the session journal costs the UI thread per recorded event, and how
// long a journal of 100,000 recorded events takes to replay, each against a
// baseline measured in the same run:
//  - record: 100,000 events inserted one by one into a project that already
//    holds 100,000, as recording does, without and with the journal
//    observing (its writer thread writing to a real file), in alternating
//    rounds; the UI thread's CPU time per event, and the difference;
//  - hand-over: the journal's part alone (encoding one change and handing it
//    to the writer), timed call by call over the same events;
//  - replay: reading back the journal those events were written to and
//    replaying it into an empty project, against inserting the same events
//    into an empty project directly.
//
// Usage: journal_bench [rounds, default 3]

#include "document/change_codec.h"
#include "document/journal_recovery.h"
#include "document/session_journal.h"
#include "model/project.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int32_t EventCount = 100000;
constexpr int32_t BackgroundCount = 100000;

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double WallMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The times recording would give: increasing, a few equal ones, and a
// parameter list as event types copy into their events.
std::vector<int32_t> RecordTimes() {
    std::mt19937 random(18);
    std::vector<int32_t> times(EventCount);
    int32_t time = 0;
    for (int32_t& t : times) {
        time += std::uniform_int_distribution<int32_t>(0, 80)(random);
        t = time;
    }
    return times;
}

void PrepareTypes(TProject& project) {
    TEventType type(QStringLiteral("Press"));
    type.Parameters = TParameters{{QStringLiteral("Person"), QStringLiteral("Ann")}};
    project.AddEventType(type);
}

void AddBackground(TProject& project) {
    std::vector<std::unique_ptr<TEvent>> events;
    for (int32_t i = 0; i < BackgroundCount; ++i)
        events.push_back(std::make_unique<TEvent>(0, i * 36));
    project.InsertEvents(std::move(events));
}

std::unique_ptr<TEvent> Recorded(const TProject& project, int32_t time) {
    return std::make_unique<TEvent>(0, time, QString(), project.EventTypes[0].Parameters);
}

// UI-thread CPU milliseconds for inserting every time, one event at a time.
double InsertAll(TProject& project, const std::vector<int32_t>& times) {
    const double start = ThreadCpuMs();
    for (const int32_t time : times)
        project.InsertEvent(Recorded(project, time));
    return ThreadCpuMs() - start;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir folder;
    const std::string state = folder.path().toStdString();
    const std::vector<int32_t> times = RecordTimes();

    std::printf("journal_bench: %d events recorded into %d, %d rounds\n", EventCount, BackgroundCount,
                rounds);
    std::vector<double> without;
    std::vector<double> with;
    std::string journalPath;
    for (int round = 0; round < rounds; ++round) {
        for (const bool isJournalled : {false, true}) {
            TProject project;
            PrepareTypes(project);
            AddBackground(project);
            std::unique_ptr<TSessionJournal> journal;
            if (isJournalled) {
                journal = std::make_unique<TSessionJournal>(project, state);
                journal->Begin({});
            }
            const double cpu = InsertAll(project, times);
            (isJournalled ? with : without).push_back(cpu);
            if (journal) {
                const double wait = WallMs();
                journal->Writer().Sync();
                if (round == 0)
                    std::printf("  writer behind by %.1f ms at the end of round 1\n", WallMs() - wait);
            }
        }
    }
    const double perEventWithout = Median(without) * 1000.0 / EventCount;
    const double perEventWith = Median(with) * 1000.0 / EventCount;
    std::printf("record, UI-thread CPU per event: without journal %.2f us, with %.2f us (%.3f x); journal's "
                "share %.2f us\n",
                perEventWithout, perEventWith, perEventWith / perEventWithout,
                perEventWith - perEventWithout);

    // The journal's part alone, and the journal that replay reads.
    std::vector<double> handOverUs;
    {
        TProject project;
        PrepareTypes(project);
        TSessionJournal journal(project, state);
        project.SetChangeObserver(nullptr); // called by hand below
        const std::string projectPath = state + "/replay.xml";
        journal.Begin(projectPath);
        handOverUs.reserve(times.size());
        for (const int32_t time : times) {
            TProjectChange change(TChangeKind::EventInsert);
            change.Event = Recorded(project, time);
            const double start = ThreadCpuMs();
            journal.ChangeMade(change);
            handOverUs.push_back((ThreadCpuMs() - start) * 1000.0);
        }
        journal.Writer().Sync();
        journalPath = JournalPathFor(projectPath);
        journal.Writer().Detach();
        journal.Writer().Sync();
    }
    std::sort(handOverUs.begin(), handOverUs.end());
    std::printf("hand-over per change (encode + queue), UI-thread CPU: median %.2f us, 99%% %.2f us, worst "
                "%.1f us; against the insert without journal: %.3f x\n",
                handOverUs[handOverUs.size() / 2], handOverUs[handOverUs.size() * 99 / 100],
                handOverUs.back(), handOverUs[handOverUs.size() / 2] / perEventWithout);

    std::vector<double> replayMs;
    std::vector<double> directMs;
    std::size_t journalBytes = 0;
    for (int round = 0; round < rounds; ++round) {
        {
            const double start = WallMs();
            const std::string bytes = ReadWhole(journalPath);
            journalBytes = bytes.size();
            auto contents = DecodeJournal(bytes);
            TProject project;
            PrepareTypes(project);
            const std::size_t applied = contents ? ReplayJournal(project, *contents) : 0;
            replayMs.push_back(WallMs() - start);
            if (applied != times.size() || project.Events().Count() != times.size()) {
                std::fprintf(stderr, "replay applied %zu of %zu records\n", applied, times.size());
                return 1;
            }
        }
        {
            const double start = WallMs();
            TProject project;
            PrepareTypes(project);
            for (const int32_t time : times)
                project.InsertEvent(Recorded(project, time));
            directMs.push_back(WallMs() - start);
        }
    }
    std::printf("replay of %d recorded events (%.1f MB journal): %.1f ms; inserting them directly %.1f ms "
                "(%.2f x)\n",
                EventCount, journalBytes / 1e6, Median(replayMs), Median(directMs),
                Median(replayMs) / Median(directMs));
    return 0;
}
