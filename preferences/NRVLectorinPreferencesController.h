#pragma once

#include "kit/view/WindowController.h"

namespace kit {
class Button;
class ColorWell;
}

// The preferences window: the background colour, the automatic update check and "check now". One per
// process, made on first request and never released; its window comes from the "Preferences" nib when it
// is first shown.
class NRVLectorinPreferencesController : public kit::WindowController {
public:
    static NRVLectorinPreferencesController& sharedPreferencesController();
    NRVLectorinPreferencesController();

    void changeBackgroundColor(kit::Responder* sender);
    void changeAutoUpdate(kit::Responder* sender);
    void checkVersion(kit::Responder* sender);

    bool setOutlet(std::string_view name, kit::Object* object) override;
    kit::ColorWell* backgroundColorWell() const { return m_backgroundColorWell.get(); }
    kit::Button* autoUpdateButton() const { return m_autoUpdateButton.get(); }

protected:
    void windowDidLoad() override;
    bool dispatchAction(std::string_view selector, kit::Responder* sender, bool perform) override;

private:
    kit::WeakPtr<kit::ColorWell> m_backgroundColorWell;
    kit::WeakPtr<kit::Button> m_autoUpdateButton;
};
