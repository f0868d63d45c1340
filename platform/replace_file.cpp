#include "platform/replace_file.h"

#include "base/exception.h"
#include "platform/file_descriptor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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
    for (int i = 0; i < 6; ++i) {
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

} // namespace

std::string TempFileName(const std::string& target) {
    // A name collision is astronomically unlikely, but an existing file of
    // that name could belong to another save in progress.
    std::string name;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + ".temp" + RandomSuffix();
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
        throw;
    } catch (const TException&) {
        throw TException("Could not move temp file!");
    }
}
