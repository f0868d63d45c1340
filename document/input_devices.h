#pragma once
// The "InputDevices" settings section: for each media backend id (decimal
// key) its place in the backend order, 0-9, or -1 when it is not used.
//
// Threads: the UI thread (the backend order is process-wide state of the
// media registry).

#include "media/registry/registry.h"
#include "platform/ini_file.h"

// For each backend, a key holding its id moves it to the key's value with
// SetBackendPosition: a negative or unreadable value disables it, a value of
// 10 or more removes it too. Backends without a key keep their place in the
// order as it stands. The overload without a list uses ListBackends().
void ReadBackendOrder(const TIniFile& settings);
void ReadBackendOrder(const TIniFile& settings, const TAVFileDeviceList& backends);

// Writes id = GetBackendPosition(id) for every backend (-1 for a disabled
// one) in one rewrite of the file, nothing else. Throws TException when the
// file cannot be written; the order in memory stays as it is.
void WriteInputDevices(TIniFile& settings);
void WriteInputDevices(TIniFile& settings, const TAVFileDeviceList& backends);
