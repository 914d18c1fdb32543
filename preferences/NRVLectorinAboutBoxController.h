#pragma once

#include "kit/view/WindowController.h"

// The About window, from the "AboutBox" nib: one per process, centred when it is first loaded.
class NRVLectorinAboutBoxController : public kit::WindowController {
public:
    static NRVLectorinAboutBoxController& sharedAboutBoxController();
    NRVLectorinAboutBoxController();

protected:
    void windowDidLoad() override;
};
