// The Options menu: input devices.

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
