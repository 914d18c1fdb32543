#include "kit/view/Responder.h"

namespace kit {

bool Responder::dispatchAction(std::string_view, Responder*, bool)
{
    return false;
}

void Responder::mouseDown(const Event& event)
{
    if (auto* next = nextResponder())
        next->mouseDown(event);
}

void Responder::mouseDragged(const Event& event)
{
    if (auto* next = nextResponder())
        next->mouseDragged(event);
}

void Responder::mouseUp(const Event& event)
{
    if (auto* next = nextResponder())
        next->mouseUp(event);
}

void Responder::rightMouseDown(const Event& event)
{
    if (auto* next = nextResponder())
        next->rightMouseDown(event);
}

void Responder::scrollWheel(const Event& event)
{
    if (auto* next = nextResponder())
        next->scrollWheel(event);
}

void Responder::keyDown(const Event& event)
{
    if (auto* next = nextResponder())
        next->keyDown(event);
}

} // namespace kit
