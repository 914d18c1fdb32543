#pragma once

#include <memory>
#include <vector>

namespace importer {

// Hands out one shared, immutable copy per distinct value, so that paragraphs with equal styles share one
// object and the storage compares them by pointer first. Documents use few distinct values, mostly in
// runs, so the most recent ones are searched first and the table stays small.
template<typename T> class Interner {
public:
    std::shared_ptr<const T> intern(const T& value)
    {
        for (std::size_t i = m_values.size(); i-- > 0;) {
            if (*m_values[i] == value) {
                if (i + 1 != m_values.size())
                    std::swap(m_values[i], m_values.back());
                return m_values.back();
            }
        }
        if (m_values.size() >= kCapacity)
            m_values.erase(m_values.begin());
        m_values.push_back(std::make_shared<const T>(value));
        return m_values.back();
    }

private:
    static constexpr std::size_t kCapacity = 128;
    std::vector<std::shared_ptr<const T>> m_values;
};

} // namespace importer
