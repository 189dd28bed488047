#pragma once

#include <optional>
#include <utility>

#include <QString>

namespace hakomiru {

// Why something could not be done: the reason in words (the reader's or the system's), and the
// file or picture it concerns where there is one.
struct Failure
{
    Failure() = default;
    Failure(QString why, QString about = {}) : reason(std::move(why)), subject(std::move(about)) {}

    QString reason;
    QString subject;
};

// What an operation of the core gives back: its value, or the Failure that stopped it. The core
// never throws; callers test ok() before they take value().
template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Failure failure) : m_failure(std::move(failure)) {}

    [[nodiscard]] bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    // ASSUMES: ok().
    [[nodiscard]] T& value() { return *m_value; }
    [[nodiscard]] const T& value() const { return *m_value; }
    T* operator->() { return &*m_value; }
    const T* operator->() const { return &*m_value; }
    [[nodiscard]] const Failure& failure() const { return m_failure; }
    [[nodiscard]] const QString& error() const { return m_failure.reason; }

private:
    std::optional<T> m_value;
    Failure m_failure;
};

// An operation that gives back nothing but whether it succeeded.
template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Failure failure) : m_ok(false), m_failure(std::move(failure)) {}

    [[nodiscard]] bool ok() const { return m_ok; }
    explicit operator bool() const { return ok(); }
    [[nodiscard]] const Failure& failure() const { return m_failure; }
    [[nodiscard]] const QString& error() const { return m_failure.reason; }

private:
    bool m_ok = true;
    Failure m_failure;
};

} // namespace hakomiru
