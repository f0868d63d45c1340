// Keys on the main window: the application-wide key filter and the Hot keys
// command of the Options menu.

#include "document/ui/form_main.h"

#include "capture/ui/form_hot_keys.h"
#include "document/ui/key_filter.h"

#include <QAction>

void TFormMain::CreateKeys() {
    m_keyFilter = std::make_unique<TKeyFilter>(*this);
    ConnectCommand(TAppCommandId::ActionOptionsHotKeys, [this] { ActionOptionsHotKeysExecute(); });
}

void TFormMain::DestroyKeys() {
    // Windows being destroyed must not have their keys dispatched to
    // commands of a half-destroyed main window.
    m_keyFilter.reset();
}

void TFormMain::ActionOptionsHotKeysExecute() {
    FormHotKeys->Load(AppCommandTable(), [this](TAppCommandId id) { return m_commands.Key(id); });
    if (FormHotKeys->exec() != QDialog::Accepted)
        return;
    for (const THotKeyBinding& binding : FormHotKeys->Bindings())
        m_commands.SetKey(binding.Command, binding.Key);
    UpdateCommandTexts();
    TIniFile settings(m_settingsFileName);
    WriteHotKeys(settings, m_commands);
}
