#include "preferences/NRVLectorinAboutBoxController.h"

#include "kit/foundation/Bundle.h"

NRVLectorinAboutBoxController& NRVLectorinAboutBoxController::sharedAboutBoxController()
{
    static NRVLectorinAboutBoxController* shared = new NRVLectorinAboutBoxController; // never released
    return *shared;
}

NRVLectorinAboutBoxController::NRVLectorinAboutBoxController()
    : kit::WindowController("AboutBox", kit::Bundle::plugin())
{
}

void NRVLectorinAboutBoxController::windowDidLoad()
{
    if (kit::Window* w = window())
        w->center();
}
