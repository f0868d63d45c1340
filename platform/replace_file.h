#pragma once
// Safe saving: a file is written under a temporary name next to its target and
// then moved over the target, so a crash, a full disk or a failing writer never
// leaves a half-written target behind. Used for the project document, the
// settings file and the exports.
//
// Threads: any thread; the functions keep no shared state apart from the
// per-thread random generator behind TempFileName.

#include <functional>
#include <string>

// target + ".temp" + six characters drawn from 0-9a-z. The name is picked
// again (a bounded number of times) while a file of that name exists.
std::string TempFileName(const std::string& target);

// Flushes tempPath to the disk, renames it over target (replacing an existing
// file atomically) and flushes the folder so the rename itself is durable.
// Throws TException naming the step and the system's reason; when the rename
// has not happened the temporary file is left untouched.
void ReplaceFileDurably(const std::string& tempPath, const std::string& target);

// Picks a temporary name, lets writer fill that file, then moves it into
// place with ReplaceFileDurably. An existing target's permission bits carry
// over to the new file.
// - writer throws: the temporary file is removed and the writer's exception
//   passes on unchanged; the target is untouched.
// - the final move fails: throws TException("Could not move temp file!") and
//   the temporary file stays for the user to rescue.
void SafeSave(const std::string& target, const std::function<void(const std::string& tempPath)>& writer);
