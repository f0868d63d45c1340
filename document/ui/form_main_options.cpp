// The Options menu: input devices and the pitch of sound played at other speeds.

#include "document/ui/form_main.h"

#include "document/input_devices.h"
#include "document/ui/form_input_devices.h"

void TFormMain::ActionDevicesExecute() {
    const TAVFileDeviceList devices = m_listDevices();
    FormInputDevices->Load(devices);
    if (FormInputDevices->exec() != QDialog::Accepted)
        return;
    TIniFile settings(m_settingsFileName);
    WriteInputDevices(settings, devices);
}

namespace {

// A setting of the machine (a transcriber's habit), not of the project.
const char* const AudioSection = "Audio";
const char* const KeepPitchKey = "KeepPitch";

} // namespace

void TFormMain::ReadKeepPitch(const TIniFile& settings) {
    const bool keepPitch = settings.ReadInteger(AudioSection, KeepPitchKey, 0) != 0;
    Action(TAppCommandId::ActionKeepPitch)->setChecked(keepPitch);
    m_audioOutput->SetKeepPitch(keepPitch);
}

// Applies from the next Play.
void TFormMain::ActionKeepPitchExecute() {
    const bool keepPitch = Action(TAppCommandId::ActionKeepPitch)->isChecked();
    m_audioOutput->SetKeepPitch(keepPitch);
    TIniFile settings(m_settingsFileName);
    settings.WriteString(AudioSection, KeepPitchKey, keepPitch ? "1" : "0");
}
