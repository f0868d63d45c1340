// Kills the real editor again and again while it records, and checks after
// every kill that the session journal gives the work back.
//
// The editor runs offscreen in a folder of its own (its executable linked
// there, so its Scenemark.ini is the harness's; its own XDG_STATE_HOME and
// HOME). It is driven through SCENEMARK_INPUT (scripted_input.h) and watched
// through SCENEMARK_TRACE (test_trace.h). Every run:
//  1. starts the editor; the recovery question, when it comes, is answered
//     with the Y key; without one the project is opened;
//  2. mostly (and always before the end) saves at once and reads the saved
//     project: every event recorded before a kill must be in it unless it was
//     made less than a second before that kill; none may be there twice;
//  3. records events by the F2 key at a steady rate, each at a time of its
//     own (run and sequence number), saving by Ctrl+S now and then;
//  4. kills it with SIGKILL: at a random moment, at a random point inside a
//     save (aimed by the save's mark and the length of earlier saves), or the
//     moment the journal's writer starts a flush to the disk;
//  5. reads the project file as it was left: it must open, and hold exactly
//     the events of the last save or of the save in flight.
// Runs where step 2 is left out make the next kill hit a session that
// goes on writing a journal it recovered.
//
// Usage: journal_fault_harness <scenemark executable> [--runs N]
//        [--events N (already in the project)] [--seed N] [--folder PATH]
//        [--interval MS (between recorded events)] [--verbose 1 (a line per run)]
// Prints the figures; exits with 1 when an event older than a second was
// lost, one came back twice, the project did not open, or the editor did
// not answer.

#include "document/project_document.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <poll.h>
#include <random>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct TOptions {
    std::string Editor;
    int Runs = 200;
    int Events = 20000;
    unsigned Seed = 0;
    std::string Folder;
    int IntervalMs = 20;
    bool IsVerbose = false; // a line per run on stderr
};

// Recorded events sit above every preloaded one, a time per event.
constexpr int32_t RecordBaseMs = 1000000;
constexpr int32_t EventsPerRunLimit = 5000;
constexpr int64_t OldAgeMs = 1000;
constexpr int64_t AnswerTimeoutMs = 60000;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "journal_fault_harness: %s\n", what.c_str());
    std::exit(2);
}

// The project document, preloaded events and one medium placed far enough
// out that the slider reaches every recording time.
void WriteProject(const TOptions& options, const fs::path& project, const fs::path& clip) {
    const int64_t mediumOffset = RecordBaseMs + int64_t{options.Runs + 2} * EventsPerRunLimit;
    {
        // Two 16 x 16 frames of a BMP sequence (24-bit, bottom-up).
        for (int frame = 0; frame < 2; ++frame) {
            std::vector<uint8_t> bytes(54 + 16 * 16 * 3, 0);
            auto put32 = [&bytes](std::size_t at, uint32_t value) {
                for (int i = 0; i < 4; ++i)
                    bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
            };
            bytes[0] = 'B';
            bytes[1] = 'M';
            put32(2, static_cast<uint32_t>(bytes.size()));
            put32(10, 54);
            put32(14, 40);
            put32(18, 16);
            put32(22, 16);
            bytes[26] = 1;
            bytes[28] = 24;
            for (std::size_t i = 54; i < bytes.size(); ++i)
                bytes[i] = static_cast<uint8_t>(frame * 100 + i % 3);
            char name[32];
            std::snprintf(name, sizeof name, "frame%04d.bmp", frame);
            std::ofstream(clip / name, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        }
    }
    std::ofstream out(project, std::ios::binary);
    out << "<?xml version=\"1.0\"?>\n<AVEvents><EventTypes>"
           "<Type><ID>0</ID><Name>Mark</Name><Key>F2</Key></Type></EventTypes>"
        << "<File><Source Offset=\"" << mediumOffset << "\">" << (clip / "frame0000.bmp").string()
        << "</Source>"
        << "<TimeFormat>Milliseconds</TimeFormat>\n";
    for (int i = 0; i < options.Events; ++i)
        out << "<Event><ID>0</ID><Time>" << i * 10 << "</Time></Event>\n";
    out << "</File></AVEvents>\n";
    if (!out.flush())
        Fail("could not write " + project.string());
}

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

struct TProjectFile {
    std::multiset<int32_t> Recorded; // times of the events the editor recorded
    std::size_t Preloaded = 0;
};

// The project as the editor's own reader sees it; nullopt when it does not
// open.
std::optional<TProjectFile> ReadProject(const fs::path& path) {
    TProject project;
    TNoMedia media;
    const TPathTransList translations;
    try {
        ReadDocument(path.string(), TReadMode::Open, 0,
                     {project, media, nullptr, translations, [] {}, [](const std::string&) {}});
    } catch (const std::exception& error) {
        std::fprintf(stderr, "project %s does not open: %s\n", path.c_str(), error.what());
        return std::nullopt;
    }
    TProjectFile file;
    for (std::size_t i = 0; i < project.Events().Count(); ++i) {
        const int32_t time = project.Events()[i]->Time;
        if (time >= RecordBaseMs)
            file.Recorded.insert(time);
        else
            ++file.Preloaded;
    }
    return file;
}

std::size_t CountDuplicates(const std::multiset<int32_t>& times) {
    std::size_t duplicates = 0;
    for (auto it = times.begin(); it != times.end(); it = times.upper_bound(*it))
        duplicates += times.count(*it) - 1;
    return duplicates;
}

class TEditor {
public:
    TEditor(const fs::path& folder, const fs::path& executable)
        : m_folder(folder), m_executable(executable) {}
    ~TEditor() { Kill(); }

    void Start() {
        const fs::path input = m_folder / "input.fifo";
        const fs::path trace = m_folder / "trace.fifo";
        // Fresh pipes per run: nothing a killed editor left unread reaches
        // the next one.
        for (const fs::path& fifo : {input, trace}) {
            ::unlink(fifo.c_str());
            if (::mkfifo(fifo.c_str(), 0600) != 0)
                Fail("mkfifo " + fifo.string() + ": " + std::strerror(errno));
        }
        // Read-write ends never block and never see the other side close.
        m_input = ::open(input.c_str(), O_RDWR | O_CLOEXEC);
        m_trace = ::open(trace.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (m_input < 0 || m_trace < 0)
            Fail("open the pipes");
        m_buffer.clear();
        std::vector<std::string> variables = {
            "QT_QPA_PLATFORM=offscreen",
            "HOME=" + (m_folder / "home").string(),
            "XDG_STATE_HOME=" + (m_folder / "state").string(),
            "XDG_CONFIG_HOME=" + (m_folder / "config").string(),
            "XDG_RUNTIME_DIR=" + (m_folder / "runtime").string(),
            "GST_REGISTRY=" + (m_folder / "gst-registry.bin").string(),
            "SCENEMARK_INPUT=" + input.string(),
            "SCENEMARK_TRACE=" + trace.string(),
        };
        for (char** variable = environ; *variable; ++variable) {
            const std::string text = *variable;
            const std::string name = text.substr(0, text.find('='));
            const bool isSet =
                std::any_of(variables.begin(), variables.end(), [&name](const std::string& own) {
                    return own.compare(0, name.size() + 1, name + "=") == 0;
                });
            if (!isSet && name != "DISPLAY" && name.rfind("SCENEMARK_", 0) != 0)
                variables.push_back(text);
        }
        std::vector<char*> environment;
        for (std::string& variable : variables)
            environment.push_back(variable.data());
        environment.push_back(nullptr);
        const std::string log = (m_folder / "editor.log").string();
        m_pid = ::fork();
        if (m_pid < 0)
            Fail("fork");
        if (m_pid == 0) {
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (out >= 0) {
                ::dup2(out, 1);
                ::dup2(out, 2);
            }
            char* argv[] = {const_cast<char*>(m_executable.c_str()), nullptr};
            ::execve(m_executable.c_str(), argv, environment.data());
            ::_exit(127);
        }
    }

    void Send(const std::string& line) {
        const std::string text = line + "\n";
        if (::write(m_input, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            Fail("write to the editor's input");
    }

    // The next mark, waiting until deadlineMs; nullopt when none came.
    std::optional<std::string> NextMark(int64_t deadlineMs) {
        for (;;) {
            const auto end = m_buffer.find('\n');
            if (end != std::string::npos) {
                std::string mark = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return mark;
            }
            const int64_t wait = deadlineMs - NowMs();
            if (wait < 0)
                return std::nullopt;
            pollfd entry{m_trace, POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(std::min<int64_t>(wait, 1000))) > 0)
                Drain();
            else if (!IsAlive())
                return std::nullopt;
        }
    }

    // SIGKILL, then what the editor marked before it died.
    std::vector<std::string> Kill() {
        std::vector<std::string> marks;
        if (m_pid <= 0)
            return marks;
        // Taken before the signal: ages measured against it are never too
        // long, however late this process is scheduled afterwards.
        m_killedMs = NowMs();
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        Drain();
        while (auto mark = NextMark(0))
            marks.push_back(*mark);
        ::close(m_input);
        ::close(m_trace);
        return marks;
    }

    int64_t KilledMs() const { return m_killedMs; }

    bool IsAlive() {
        if (m_pid <= 0)
            return false;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            std::fprintf(stderr, "editor ended by itself (status %d)\n", status);
            m_pid = -1;
            return false;
        }
        return true;
    }

private:
    void Drain() {
        char chunk[4096];
        ssize_t count;
        while ((count = ::read(m_trace, chunk, sizeof chunk)) > 0)
            m_buffer.append(chunk, static_cast<std::size_t>(count));
    }

    fs::path m_folder;
    fs::path m_executable;
    pid_t m_pid = -1;
    int64_t m_killedMs = 0;
    int m_input = -1;
    int m_trace = -1;
    std::string m_buffer;
};

enum class TKillMode { Random, InSave, InJournalSync, InRecovery };

struct TFigures {
    int Runs = 0;
    int64_t Made = 0;
    int64_t Recovered = 0; // back through the journal: not in the project file at the kill
    int64_t LostOld = 0;
    int64_t LostYoung = 0;
    int64_t NotTaken = 0; // keys sent that the editor had not handled when it was killed
    int64_t Duplicates = 0;
    int64_t Unknown = 0; // events in a project that were never recorded
    int Unreadable = 0;  // project files that did not open
    int NotOldOrNew = 0; // project files holding neither the last save nor the one in flight
    int Questions = 0;
    std::map<TKillMode, int> Kills;
    std::map<TKillMode, int> Inside; // the aimed operation had not finished
    int SaveKillsNewFile = 0;
    int SaveKillsOldFile = 0;
    std::size_t MostTempFiles = 0;
    int64_t SaveMsTotal = 0;
    int Saves = 0;
};

struct TMade {
    int32_t Time;
    int64_t SentMs;
    int Run;
    int64_t MadeMs = -1;    // when the editor had handled its key; -1: not before the kill
    bool WasOnDisk = false; // in the project file as its session's kill left it
};

class THarness {
public:
    explicit THarness(TOptions options)
        : m_options(std::move(options)), m_random(m_options.Seed), m_folder(m_options.Folder),
          m_project(m_folder / "project" / "session.xml"),
          m_editor(m_folder, m_folder / "bin" / "scenemark") {}

    int Run() {
        Prepare();
        for (int run = 0; run <= m_options.Runs; ++run) {
            const bool isLast = run == m_options.Runs;
            const bool isKilledInRecovery =
                !isLast && Chance(0.1) ? StartAndRecover(true) : StartAndRecover(false);
            if (isKilledInRecovery) {
                m_killMs[run] = m_editor.KilledMs();
                m_runSaveBoundaries.clear();
                m_runTimes.clear();
                m_aimedSaveKill = false;
            } else {
                // Leaving the check out now and then lets the next kill find
                // a journal that a recovered session went on writing.
                if (isLast || Chance(0.7))
                    Verify();
                if (isLast)
                    break;
                RecordAndKill(run);
            }
            CheckProjectAfterKill();
            ++m_figures.Runs;
            if ((run + 1) % 20 == 0)
                std::printf("  %d runs, %lld events made\n", run + 1, static_cast<long long>(m_figures.Made));
            std::fflush(stdout);
        }
        m_editor.Kill();
        return Report();
    }

private:
    void Prepare() {
        std::error_code error;
        fs::remove_all(m_folder, error);
        for (const char* sub : {"bin", "home", "state", "config", "runtime", "project/clip"})
            fs::create_directories(m_folder / sub);
        fs::permissions(m_folder / "runtime", fs::perms::owner_all);
        fs::create_hard_link(m_options.Editor, m_folder / "bin" / "scenemark", error);
        if (error)
            fs::copy_file(m_options.Editor, m_folder / "bin" / "scenemark");
        std::ofstream(m_folder / "bin" / "Scenemark.ini") << "[HotKeys]\nActionEventsInserting=Ctrl+I\n";
        WriteProject(m_options, m_project, m_folder / "project" / "clip");
        const auto first = ReadProject(m_project);
        if (!first || first->Preloaded != static_cast<std::size_t>(m_options.Events))
            Fail("the first project does not read back");
        m_onDisk = *first;
    }

    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_random) < p; }
    int64_t Between(int64_t low, int64_t high) {
        return std::uniform_int_distribution<int64_t>(low, high)(m_random);
    }

    std::string Await(const std::string& wanted) {
        const int64_t deadline = NowMs() + AnswerTimeoutMs;
        while (auto mark = m_editor.NextMark(deadline)) {
            if (mark->rfind(wanted, 0) == 0)
                return *mark;
        }
        Fail("no \"" + wanted + "\" from the editor (see editor.log)");
    }

    // With killInRecovery, a recovery that was asked for is cut short by a
    // kill at a random point of its usual length; true when that happened.
    bool StartAndRecover(bool killInRecovery) {
        m_editor.Start();
        bool isRecovered = false;
        const int64_t deadline = NowMs() + AnswerTimeoutMs;
        int64_t askedAt = 0;
        for (;;) {
            auto mark = m_editor.NextMark(deadline);
            if (!mark)
                Fail("the editor did not start (see editor.log)");
            if (*mark == "recovery-question") {
                ++m_figures.Questions;
                askedAt = NowMs();
                m_editor.Send("key Y");
                if (killInRecovery) {
                    const int64_t typical = m_recoveries ? m_recoveryMsTotal / m_recoveries : 200;
                    const int64_t killAt = NowMs() + Between(0, typical);
                    std::vector<std::string> marks;
                    while (auto early = m_editor.NextMark(killAt))
                        marks.push_back(*early);
                    for (const std::string& late : m_editor.Kill())
                        marks.push_back(late);
                    ++m_figures.Kills[TKillMode::InRecovery];
                    if (std::find(marks.begin(), marks.end(), "ready") == marks.end())
                        ++m_figures.Inside[TKillMode::InRecovery];
                    return true;
                }
            } else if (mark->rfind("recovered", 0) == 0) {
                isRecovered = true;
            } else if (*mark == "ready") {
                if (askedAt > 0) {
                    m_recoveryMsTotal += NowMs() - askedAt;
                    ++m_recoveries;
                }
                break;
            }
        }
        if (!isRecovered)
            m_editor.Send("open " + m_project.string());
        m_editor.Send("key Ctrl+I"); // Inserting, which opening a project switches off
        return false;
    }

    void Verify() {
        m_editor.Send("key Ctrl+S");
        Await("saved");
        const auto saved = ReadProject(m_project);
        if (!saved) {
            ++m_figures.Unreadable;
            Fail("the project saved after recovery does not open");
        }
        m_figures.Duplicates += static_cast<int64_t>(CountDuplicates(saved->Recorded));
        if (saved->Preloaded != static_cast<std::size_t>(m_options.Events)) {
            std::fprintf(stderr, "preloaded events: %zu of %d\n", saved->Preloaded, m_options.Events);
            m_figures.LostOld += std::abs(static_cast<int64_t>(saved->Preloaded) - m_options.Events);
        }
        for (const TMade& made : m_unverified) {
            if (saved->Recorded.count(made.Time) > 0) {
                if (!made.WasOnDisk)
                    ++m_figures.Recovered;
                continue;
            }
            if (made.MadeMs < 0) {
                ++m_figures.NotTaken;
                continue;
            }
            const int64_t age = m_killMs.at(made.Run) - made.MadeMs;
            if (age > OldAgeMs) {
                ++m_figures.LostOld;
                std::fprintf(stderr, "lost: event at %d of run %d, made %lld ms before the kill\n", made.Time,
                             made.Run, static_cast<long long>(age));
            } else {
                ++m_figures.LostYoung;
            }
        }
        for (const int32_t time : std::set<int32_t>(saved->Recorded.begin(), saved->Recorded.end()))
            if (m_allTimes.count(time) == 0)
                ++m_figures.Unknown;
        m_unverified.clear();
        m_onDisk = *saved;
    }

    void RecordAndKill(int run) {
        const auto mode = static_cast<TKillMode>(Between(0, 3) == 0 ? 0 : Between(1, 2));
        ++m_figures.Kills[mode];
        const int64_t start = NowMs();
        int64_t killAt = mode == TKillMode::Random ? start + Between(200, 3000) : start + 8000;
        const int64_t aimFrom = start + Between(300, 1500);
        bool isSaveRequested = false;
        bool isAimed = false;
        std::string aimedEnd;
        int64_t saveStart = 0;
        int64_t nextSend = start;
        int32_t sequence = 0;
        // How many of this run's events were sent before each Ctrl+S.
        std::vector<std::size_t> saveBoundaries;
        std::vector<int32_t> runTimes;
        for (;;) {
            const int64_t now = NowMs();
            if (now >= killAt)
                break;
            if (now >= nextSend && sequence < EventsPerRunLimit) {
                const int32_t time = RecordBaseMs + run * EventsPerRunLimit + sequence++;
                m_editor.Send("position " + std::to_string(time));
                m_editor.Send("key F2");
                m_made.push_back({time, now, run});
                m_awaitingKey.push_back(m_made.size() - 1);
                m_allTimes.insert(time);
                runTimes.push_back(time);
                ++m_figures.Made;
                nextSend += m_options.IntervalMs;
                const bool isAimedSave = mode == TKillMode::InSave && !isSaveRequested && now >= aimFrom;
                if (isAimedSave || Chance(1.0 / 60)) {
                    m_editor.Send("key Ctrl+S");
                    saveBoundaries.push_back(runTimes.size());
                    isSaveRequested = isSaveRequested || isAimedSave;
                }
            }
            const auto mark = m_editor.NextMark(std::min(nextSend, killAt));
            if (!mark)
                continue;
            const int64_t at = NowMs();
            if (*mark == "key F2") {
                KeyHandled(at);
            } else if (*mark == "save") {
                saveStart = at;
                if (mode == TKillMode::InSave && isSaveRequested && !isAimed) {
                    isAimed = true;
                    aimedEnd = "saved";
                    const int64_t typical = m_figures.Saves ? m_figures.SaveMsTotal / m_figures.Saves : 50;
                    killAt = at + Between(0, std::max<int64_t>(1, typical));
                }
            } else if (*mark == "saved" && saveStart > 0) {
                m_figures.SaveMsTotal += at - saveStart;
                ++m_figures.Saves;
                ++m_completedSaves;
            } else if (*mark == "journal-sync" && mode == TKillMode::InJournalSync && at >= aimFrom &&
                       !isAimed) {
                isAimed = true;
                aimedEnd = "journal-synced";
                killAt = at;
            }
        }
        const std::vector<std::string> late = m_editor.Kill();
        m_killMs[run] = m_editor.KilledMs();
        for (const std::string& mark : late) {
            if (mark == "saved")
                ++m_completedSaves;
            else if (mark == "key F2")
                KeyHandled(m_killMs[run]);
        }
        if (m_options.IsVerbose)
            std::fprintf(stderr, "run %d mode %d: %lld ms, %d sent, %zu not handled\n", run,
                         static_cast<int>(mode), static_cast<long long>(m_killMs[run] - start), sequence,
                         m_awaitingKey.size());
        m_awaitingKey.clear();
        if (isAimed && std::find(late.begin(), late.end(), aimedEnd) == late.end())
            ++m_figures.Inside[mode];
        for (std::size_t i = m_made.size(); i > 0 && m_made[i - 1].Run == run; --i)
            m_unverified.push_back(m_made[i - 1]);
        m_runSaveBoundaries = std::move(saveBoundaries);
        m_runTimes = std::move(runTimes);
        m_aimedSaveKill = mode == TKillMode::InSave && isAimed;
    }

    void KeyHandled(int64_t atMs) {
        if (m_awaitingKey.empty())
            Fail("the editor handled an F2 the harness did not send");
        m_made[m_awaitingKey.front()].MadeMs = atMs;
        m_awaitingKey.pop_front();
    }

    void CheckProjectAfterKill() {
        std::size_t temps = 0;
        for (const auto& entry : fs::directory_iterator(m_project.parent_path()))
            if (entry.path().filename().string().rfind("session.xml.temp", 0) == 0)
                ++temps;
        m_figures.MostTempFiles = std::max(m_figures.MostTempFiles, temps);
        const auto disk = ReadProject(m_project);
        if (!disk) {
            ++m_figures.Unreadable;
            return;
        }
        m_figures.Duplicates += static_cast<int64_t>(CountDuplicates(disk->Recorded));
        // Old: the file as it was before this run's saves. New: a save of
        // this run, which holds everything the old file did (the editor
        // started from it and deletes nothing) and, of this run's events,
        // exactly those sent before its Ctrl+S: keys are handled in order.
        const bool isOld = disk->Recorded == m_onDisk.Recorded;
        const bool keepsOld = std::includes(disk->Recorded.begin(), disk->Recorded.end(),
                                            m_onDisk.Recorded.begin(), m_onDisk.Recorded.end());
        std::size_t ofThisRun = 0;
        while (ofThisRun < m_runTimes.size() && disk->Recorded.count(m_runTimes[ofThisRun]) > 0)
            ++ofThisRun;
        const bool isPrefix =
            std::none_of(m_runTimes.begin() + static_cast<std::ptrdiff_t>(ofThisRun), m_runTimes.end(),
                         [&disk](int32_t time) { return disk->Recorded.count(time) > 0; });
        const bool isNew = keepsOld && isPrefix &&
                           std::find(m_runSaveBoundaries.begin(), m_runSaveBoundaries.end(), ofThisRun) !=
                               m_runSaveBoundaries.end();
        if (!isOld && !isNew) {
            ++m_figures.NotOldOrNew;
            std::fprintf(
                stderr,
                "project after the kill: %zu recorded events (%zu of this run's %zu), neither the old "
                "file (%zu) nor one this run saved\n",
                disk->Recorded.size(), ofThisRun, m_runTimes.size(), m_onDisk.Recorded.size());
        }
        for (TMade& made : m_unverified)
            if (made.Run == m_figures.Runs)
                made.WasOnDisk = disk->Recorded.count(made.Time) > 0;
        if (m_aimedSaveKill)
            ++(isOld ? m_figures.SaveKillsOldFile : m_figures.SaveKillsNewFile);
        m_onDisk = *disk;
    }

    int Report() {
        const auto kills = [this](TKillMode mode) { return m_figures.Kills[mode]; };
        std::printf(
            "runs (kills): %d (random %d, in a save %d, in a journal flush %d, in start-up's recovery %d)\n",
            m_figures.Runs, kills(TKillMode::Random), kills(TKillMode::InSave),
            kills(TKillMode::InJournalSync), kills(TKillMode::InRecovery));
        std::printf("kills that landed before the aimed step ended: save %d of %d, journal flush %d of %d, "
                    "recovery %d of %d\n",
                    m_figures.Inside[TKillMode::InSave], kills(TKillMode::InSave),
                    m_figures.Inside[TKillMode::InJournalSync], kills(TKillMode::InJournalSync),
                    m_figures.Inside[TKillMode::InRecovery], kills(TKillMode::InRecovery));
        std::printf(
            "project after a kill in a save: old file %d, new file %d; never opened: %d; neither old nor "
            "new: %d\n",
            m_figures.SaveKillsOldFile, m_figures.SaveKillsNewFile, m_figures.Unreadable,
            m_figures.NotOldOrNew);
        std::printf("recovery questions: %d; saves completed: %d (mean %lld ms)\n", m_figures.Questions,
                    m_figures.Saves,
                    static_cast<long long>(m_figures.Saves ? m_figures.SaveMsTotal / m_figures.Saves : 0));
        std::printf(
            "keys sent: %lld; changes made (keys the editor handled): %lld; recovered from the journal: "
            "%lld\n",
            static_cast<long long>(m_figures.Made),
            static_cast<long long>(m_figures.Made - m_figures.NotTaken),
            static_cast<long long>(m_figures.Recovered));
        std::printf(
            "changes lost: %lld older than 1 s, %lld younger; duplicates: %lld; unknown events: %lld\n",
            static_cast<long long>(m_figures.LostOld), static_cast<long long>(m_figures.LostYoung),
            static_cast<long long>(m_figures.Duplicates), static_cast<long long>(m_figures.Unknown));
        std::printf("keys sent but not yet handled when the editor was killed (no change made): %lld\n",
                    static_cast<long long>(m_figures.NotTaken));
        std::vector<int64_t> lags;
        for (const TMade& made : m_made)
            if (made.MadeMs >= 0)
                lags.push_back(made.MadeMs - made.SentMs);
        std::sort(lags.begin(), lags.end());
        if (!lags.empty())
            std::printf("key sent -> change made: median %lld ms, 99%% %lld ms, worst %lld ms\n",
                        static_cast<long long>(lags[lags.size() / 2]),
                        static_cast<long long>(lags[lags.size() * 99 / 100]),
                        static_cast<long long>(lags.back()));
        std::printf("most stale temporary files beside the project: %zu\n", m_figures.MostTempFiles);
        const bool isSound = m_figures.LostOld == 0 && m_figures.Duplicates == 0 && m_figures.Unknown == 0 &&
                             m_figures.Unreadable == 0 && m_figures.NotOldOrNew == 0;
        std::printf("%s\n", isSound ? "PASS" : "FAIL");
        return isSound ? 0 : 1;
    }

    TOptions m_options;
    std::mt19937 m_random;
    fs::path m_folder;
    fs::path m_project;
    TEditor m_editor;
    TFigures m_figures;
    std::vector<TMade> m_made;
    std::vector<TMade> m_unverified;
    std::deque<std::size_t> m_awaitingKey; // into m_made, in the order their keys were sent
    std::set<int32_t> m_allTimes;
    std::map<int, int64_t> m_killMs;
    TProjectFile m_onDisk;
    std::vector<std::size_t> m_runSaveBoundaries;
    std::vector<int32_t> m_runTimes;
    bool m_aimedSaveKill = false;
    int64_t m_recoveryMsTotal = 0;
    int m_recoveries = 0;
    int m_completedSaves = 0;
};

TOptions ParseOptions(int argc, char* argv[]) {
    if (argc < 2)
        Fail("usage: journal_fault_harness <scenemark executable> [--runs N] [--events N] [--seed N] "
             "[--folder PATH] [--interval MS]");
    TOptions options;
    options.Editor = fs::absolute(argv[1]).string();
    options.Seed = static_cast<unsigned>(std::random_device{}());
    options.Folder =
        (fs::temp_directory_path() / ("scenemark-faults-" + std::to_string(::getpid()))).string();
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--runs")
            options.Runs = std::atoi(value);
        else if (name == "--events")
            options.Events = std::atoi(value);
        else if (name == "--seed")
            options.Seed = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        else if (name == "--folder")
            options.Folder = fs::absolute(value).string();
        else if (name == "--verbose")
            options.IsVerbose = std::atoi(value) != 0;
        else if (name == "--interval")
            options.IntervalMs = std::max(1, std::atoi(value));
        else
            Fail("unknown option " + name);
    }
    return options;
}

} // namespace

int main(int argc, char* argv[]) {
    // The editor's reader keeps its texts in Qt strings.
    QCoreApplication application(argc, argv);
    const TOptions options = ParseOptions(argc, argv);
    std::printf("journal fault injection: %d runs, %d events in the project, seed %u, folder %s\n",
                options.Runs, options.Events, options.Seed, options.Folder.c_str());
    return THarness(options).Run();
}
