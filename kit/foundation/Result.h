#pragma once

#include <cassert>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace kit {

// The error of a failed Result on its way up: it becomes a Result of any value type whose error type it
// converts to, so a function hands on a callee's failure without naming its own value type.
template<typename E> struct Failure {
    E error;
};

// A value or the reason there is none. Bad input is a Result; a bug is an assertion.
template<typename T, typename E = std::string> class Result {
public:
    Result(T value)
        : m_storage(std::in_place_index<0>, std::move(value))
    {
    }
    template<typename F>
        requires std::is_convertible_v<F, E>
    Result(Failure<F> failure)
        : m_storage(std::in_place_index<1>, E(std::move(failure.error)))
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

// LECTORIN_TRY(result): the value of a kit::Result, or else a return of its error from the enclosing
// function, whose own result must be a kit::Result whose error type the error converts to. It is a
// statement expression (GCC and Clang), so it stands wherever the value does:
//
//     kit::Result<Document, FibError> readDocument(const ByteReader& stream)
//     {
//         Fib fib = LECTORIN_TRY(Fib::parse(stream)); // a failed parse returns its FibError from here
//         ...
//     }
#define LECTORIN_TRY(result)                                                                                  \
    ({                                                                                                       \
        auto lectorinTried = (result);                                                                       \
        if (!lectorinTried.ok())                                                                             \
            return ::kit::Failure<std::decay_t<decltype(lectorinTried.error())>> { lectorinTried.error() }; \
        std::move(lectorinTried.value());                                                                    \
    })
