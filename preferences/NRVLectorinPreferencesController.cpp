#include "preferences/NRVLectorinPreferencesController.h"

#include "kit/foundation/Bundle.h"
#include "kit/foundation/NotificationCenter.h"
#include "kit/view/ActionTable.h"
#include "kit/view/Button.h"
#include "kit/view/ColorWell.h"
#include "kit/view/Outlet.h"
#include "plugin/NRVLectorin.h"
#include "preferences/LectorinPreferences.h"

NRVLectorinPreferencesController& NRVLectorinPreferencesController::sharedPreferencesController()
{
    static NRVLectorinPreferencesController* shared = new NRVLectorinPreferencesController; // never released
    return *shared;
}

NRVLectorinPreferencesController::NRVLectorinPreferencesController()
    : kit::WindowController("Preferences", kit::Bundle::plugin())
{
}

bool NRVLectorinPreferencesController::setOutlet(std::string_view name, kit::Object* object)
{
    if (name == "backgroundColorWell")
        return kit::connectOutlet(m_backgroundColorWell, object);
    if (name == "autoUpdateButton")
        return kit::connectOutlet(m_autoUpdateButton, object);
    return kit::WindowController::setOutlet(name, object);
}

bool NRVLectorinPreferencesController::dispatchAction(std::string_view selector, kit::Responder* sender, bool perform)
{
    static const kit::ActionTable<NRVLectorinPreferencesController> actions {
        { "changeBackgroundColor:", &NRVLectorinPreferencesController::changeBackgroundColor },
        { "changeAutoUpdate:", &NRVLectorinPreferencesController::changeAutoUpdate },
        { "checkVersion:", &NRVLectorinPreferencesController::checkVersion },
    };
    return actions.dispatch(*this, selector, sender, perform) || kit::WindowController::dispatchAction(selector, sender, perform);
}

void NRVLectorinPreferencesController::windowDidLoad()
{
    if (auto* well = m_backgroundColorWell.get())
        well->setColor(readBackgroundColorPreference());
    if (auto* button = m_autoUpdateButton.get()) {
        bool valid = false;
        bool on = readAutoUpdatePreference(&valid);
        button->setState(!valid || on ? 1 : 0);
    }
    if (kit::Window* w = window())
        w->center();
}

void NRVLectorinPreferencesController::changeBackgroundColor(kit::Responder*)
{
    auto* well = m_backgroundColorWell.get();
    if (!well)
        return;
    // A colour with no calibrated-RGB form (a pattern) has no components to store; storing and announcing
    // nothing keeps every view on the colour it shows.
    if (!writeBackgroundColorPreference(well->color()))
        return;
    kit::NotificationCenter::defaultCenter().postNotification(kBackgroundColorChangedNotification, this);
}

void NRVLectorinPreferencesController::changeAutoUpdate(kit::Responder*)
{
    auto* button = m_autoUpdateButton.get();
    writeAutoUpdatePreference(button && button->state() == 1);
}

void NRVLectorinPreferencesController::checkVersion(kit::Responder*)
{
    NRVLectorin::doVersionCheckQuiet(false);
}
