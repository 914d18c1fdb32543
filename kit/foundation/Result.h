#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace kit {

// A value or the reason there is none. Bad input is a Result; a bug is an assertion.
template<typename T, typename E = std::string> class Result {
public:
    Result(T value)
        : m_storage(std::in_place_index<0>, std::move(value))
    {
    }
    static Result failure(E error) { return Result(std::in_place_index<1>, std::move(error)); }

    bool ok() const { return m_storage.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return assertOk(), std::get<0>(m_storage); }
    const T& value() const { return assertOk(), std::get<0>(m_storage); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    const E& error() const
    {
        assert(!ok());
        return std::get<1>(m_storage);
    }
    T valueOr(T fallback) const { return ok() ? std::get<0>(m_storage) : std::move(fallback); }

private:
    template<std::size_t I, typename V> Result(std::in_place_index_t<I> index, V&& v)
        : m_storage(index, std::forward<V>(v))
    {
    }
    void assertOk() const { assert(ok()); }
    std::variant<T, E> m_storage;
};

} // namespace kit
