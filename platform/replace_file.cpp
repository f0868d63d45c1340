#include "platform/replace_file.h"

#include "base/exception.h"
#include "platform/file_descriptor.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* TempMark = ".temp";
constexpr std::size_t TempSuffixLength = 6;

std::string SystemReason(int error) {
    return std::strerror(error);
}

std::mt19937& RandomGenerator() {
    thread_local std::mt19937 generator{std::random_device{}()};
    return generator;
}

std::string RandomSuffix() {
    std::uniform_int_distribution<int> digit(0, 35);
    std::string suffix;
    for (std::size_t i = 0; i < TempSuffixLength; ++i) {
        const int n = digit(RandomGenerator());
        suffix += static_cast<char>(n < 10 ? '0' + n : 'a' + (n - 10));
    }
    return suffix;
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 || errno != ENOENT;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

void SyncPath(const std::string& path, int openFlags, const char* what) {
    TFileDescriptor fd(open(path.c_str(), openFlags | O_CLOEXEC));
    if (fd.Get() < 0)
        throw TException(std::string("Could not open ") + what + " \"" + path + "\": " + SystemReason(errno));
    if (fsync(fd.Get()) != 0)
        throw TException(std::string("Could not flush ") + what + " \"" + path +
                         "\" to disk: " + SystemReason(errno));
}

// The new file should look like the one it replaces to other users of the
// folder; ownership and mode are best effort, the data is what matters.
void CopyPermissions(const std::string& from, const std::string& to) {
    struct stat info {};
    if (stat(from.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        (void)chmod(to.c_str(), info.st_mode & 07777);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsTempFileNameOf(const std::string& name, const std::string& targetName) {
    const std::string prefix = targetName + TempMark;
    if (name.size() != prefix.size() + TempSuffixLength || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    return name.find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyz", prefix.size()) == std::string::npos;
}

// A save that was killed (or whose move failed) leaves its temporary file
// behind; once a later save of the same target has succeeded, that file only
// holds an older state. Only regular files named exactly as TempFileName
// names them for this target go; failures to remove one are left for the
// next save, since the save itself has succeeded.
void RemoveStaleTempFiles(const std::string& target) {
    const std::string folder = FolderOf(target);
    const std::string targetName = NameOf(target);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir)
        return;
    std::vector<std::string> stale;
    while (const dirent* entry = readdir(dir.get())) {
        if (IsTempFileNameOf(entry->d_name, targetName))
            stale.push_back(folder + "/" + entry->d_name);
    }
    for (const std::string& path : stale) {
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            (void)unlink(path.c_str());
    }
}

} // namespace

std::string TempFileName(const std::string& target) {
    // A name collision is astronomically unlikely, but an existing file of
    // that name could belong to another save in progress.
    std::string name;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + TempMark + RandomSuffix();
        if (!PathExists(name))
            break;
    }
    return name;
}

void SyncFolder(const std::string& folder) {
    SyncPath(folder, O_RDONLY | O_DIRECTORY, "folder");
}

void ReplaceFileDurably(const std::string& tempPath, const std::string& target,
                        const TFolderSync& syncFolder) {
    SyncPath(tempPath, O_RDONLY, "file");
    if (rename(tempPath.c_str(), target.c_str()) != 0)
        throw TException("Could not rename \"" + tempPath + "\" to \"" + target +
                         "\": " + SystemReason(errno));
    try {
        syncFolder(FolderOf(target));
    } catch (const TException& error) {
        throw TFolderSyncError("The file \"" + target +
                               "\" was saved, but the rename may be lost in a crash. " + error.what());
    }
}

void SafeSave(const std::string& target, const std::function<void(const std::string& tempPath)>& writer,
              const TFolderSync& syncFolder) {
    const std::string tempPath = TempFileName(target);
    try {
        writer(tempPath);
    } catch (...) {
        unlink(tempPath.c_str());
        throw;
    }
    CopyPermissions(target, tempPath);
    try {
        ReplaceFileDurably(tempPath, target, syncFolder);
    } catch (const TFolderSyncError&) {
        RemoveStaleTempFiles(target);
        throw;
    } catch (const TException&) {
        throw TException("Could not move temp file!");
    }
    RemoveStaleTempFiles(target);
}
