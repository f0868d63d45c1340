#pragma once
// Safe saving: a file is written under a temporary name next to its target and
// then moved over the target, so a crash, a full disk or a failing writer never
// leaves a half-written target behind. Used for the project document, the
// settings file and the exports.
//
// Threads: any thread; the functions keep no shared state apart from the
// per-thread random generator behind TempFileName.

#include "base/exception.h"

#include <functional>
#include <string>

// The file is in place under its final name, but the folder could not be
// flushed, so the rename may not survive a crash. The message says so; the
// caller should treat the save as done.
class TFolderSyncError : public TException {
public:
    explicit TFolderSyncError(const std::string& message) : TException(message) {}
};

// Flushes a folder to the disk; throws TException with the reason.
using TFolderSync = std::function<void(const std::string& folder)>;
void SyncFolder(const std::string& folder);

// target + ".temp" + six characters drawn from 0-9a-z. The name is picked
// again (a bounded number of times) while a file of that name exists.
std::string TempFileName(const std::string& target);

// Flushes tempPath to the disk, renames it over target (replacing an existing
// file atomically) and flushes the folder so the rename itself is durable.
// Throws TException naming the step and the system's reason; when the rename
// has not happened the temporary file is left untouched. When only the
// folder's flush failed, throws TFolderSyncError.
void ReplaceFileDurably(const std::string& tempPath, const std::string& target,
                        const TFolderSync& syncFolder = SyncFolder);

// Picks a temporary name, lets writer fill that file, then moves it into
// place with ReplaceFileDurably. An existing target's permission bits carry
// over to the new file.
// - writer throws: the temporary file is removed and the writer's exception
//   passes on unchanged; the target is untouched.
// - the final move fails: throws TException("Could not move temp file!") and
//   the temporary file stays for the user to rescue.
// - the move happened but the folder's flush failed: TFolderSyncError passes
//   on; the target holds the new file.
// Once the target holds the new file, the temporary files earlier saves of
// it left behind (killed, or their move failed) are removed: regular files in
// the target's folder named exactly as TempFileName names them for this
// target, and nothing else.
void SafeSave(const std::string& target, const std::function<void(const std::string& tempPath)>& writer,
              const TFolderSync& syncFolder = SyncFolder);
