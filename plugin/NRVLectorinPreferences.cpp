// The plug-in view's side of the preferences: the background colour and the two windows.
#include "plugin/NRVLectorin.h"
#include "preferences/LectorinPreferences.h"
#include "preferences/NRVLectorinAboutBoxController.h"
#include "preferences/NRVLectorinPreferencesController.h"

void NRVLectorin::setBackgroundColorFromPreferences()
{
    setBackgroundColor(readBackgroundColorPreference());
}

void NRVLectorin::handleBackgroundColorChange(const kit::Notification&)
{
    setBackgroundColorFromPreferences();
}

void NRVLectorin::showAboutBox(kit::Responder*)
{
    NRVLectorinAboutBoxController::sharedAboutBoxController().showWindow(this);
}

void NRVLectorin::showPreferences(kit::Responder*)
{
    NRVLectorinPreferencesController::sharedPreferencesController().showWindow(this);
}
