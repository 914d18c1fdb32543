#pragma once

#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

namespace kit {

class Responder;

// The per-class map from action selector text ("zoomIn:") to the member function that performs it.
// A class with actions keeps one static table and consults it in its dispatchAction override:
//
//     bool PageView::dispatchAction(std::string_view selector, Responder* sender, bool perform)
//     {
//         static const ActionTable<PageView> actions { { "zoomIn:", &PageView::zoomIn } };
//         return actions.dispatch(*this, selector, sender, perform) || View::dispatchAction(selector, sender, perform);
//     }
template<typename T> class ActionTable {
public:
    using Method = void (T::*)(Responder* sender);

    ActionTable(std::initializer_list<std::pair<std::string_view, Method>> entries)
        : m_entries(entries)
    {
    }

    // True when the table has selector; runs the method on target only when perform is set.
    bool dispatch(T& target, std::string_view selector, Responder* sender, bool perform) const
    {
        for (const auto& [name, method] : m_entries) {
            if (name == selector) {
                if (perform)
                    (target.*method)(sender);
                return true;
            }
        }
        return false;
    }

private:
    std::vector<std::pair<std::string_view, Method>> m_entries;
};

} // namespace kit
