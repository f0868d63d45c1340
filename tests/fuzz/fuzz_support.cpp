#include "tests/fuzz/fuzz_support.h"

#include <filesystem>
#include <fstream>

namespace {

class TScratchFolder {
public:
    TScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "scenemark-fuzz-XXXXXX").string();
        FuzzCheck(mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
        m_path = pattern;
    }
    ~TScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace

void CheckProject(const TProject& project) {
    int32_t previous = INT32_MIN;
    for (const auto& event : project.Events()) {
        FuzzCheck(event->Time >= previous, "events sorted by time");
        FuzzCheck(project.EventTypes.IsValidIndex(event->EventType), "event types valid");
        previous = event->Time;
    }
    for (const TEventType& type : project.EventTypes)
        FuzzCheck(type.Group == -1 || project.Groups.IsValidIndex(type.Group), "type groups valid");
}

std::string ScratchFile(std::string_view bytes) {
    static const TScratchFolder folder;
    const std::string path = (folder.Path() / "input").string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FuzzCheck(out.good(), "the scratch file can be written");
    return path;
}
