#pragma once

#include "kit/host/HeadlessHost.h"

#include <functional>
#include <memory>

// A headless host that also keeps which options each print panel was asked to offer.
class PrintPanelHost : public kit::HeadlessHost {
public:
    void runPrintPanel(kit::Window* window, unsigned options, std::shared_ptr<kit::PrintJob> job,
        std::function<void(bool printed)> done) override
    {
        lastOptions = options;
        kit::HeadlessHost::runPrintPanel(window, options, std::move(job), std::move(done));
    }
    // PrintPanelOptions bits of the last panel, whatever its answer; 0 before any.
    unsigned lastOptions = 0;
};
