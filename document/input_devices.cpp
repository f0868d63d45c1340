#include "document/input_devices.h"

#include "document/settings.h"

#include <string>

void ReadBackendOrder(const TIniFile& settings) {
    ReadBackendOrder(settings, ListBackends());
}

void ReadBackendOrder(const TIniFile& settings, const TAVFileDeviceList& backends) {
    for (const TAVFileDevice& backend : backends) {
        const std::string key = std::to_string(backend.Id);
        if (settings.ValueExists(SectionInputDevices, key))
            SetBackendPosition(backend.Id, settings.ReadInteger(SectionInputDevices, key, -1));
    }
}

void WriteInputDevices(TIniFile& settings) {
    WriteInputDevices(settings, ListBackends());
}

void WriteInputDevices(TIniFile& settings, const TAVFileDeviceList& backends) {
    TIniFile::TKeyValues values;
    for (const TAVFileDevice& backend : backends)
        values.emplace_back(std::to_string(backend.Id), std::to_string(GetBackendPosition(backend.Id)));
    settings.WriteStrings(SectionInputDevices, values);
}
