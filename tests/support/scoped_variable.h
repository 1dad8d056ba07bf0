#pragma once

// An environment variable set or cleared for the length of a test.

#include <QByteArray>
#include <QtGlobal>

namespace vantrel::test {

// Sets or clears one environment variable for as long as it lives, and
// puts the old state back afterwards.
class ScopedVariable {
public:
    explicit ScopedVariable(const char *name)
        : m_name(name), m_wasSet(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {}
    ScopedVariable(const char *name, const QByteArray &value) : ScopedVariable(name) { set(value); }
    ~ScopedVariable()
    {
        if (m_wasSet)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

    void set(const QByteArray &value) { qputenv(m_name, value); }
    void unset() { qunsetenv(m_name); }

private:
    const char *m_name;
    bool m_wasSet;
    QByteArray m_old;
};

} // namespace vantrel::test
