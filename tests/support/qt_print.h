#pragma once

// Lets GoogleTest print Qt strings in failure messages.

#include <QByteArray>
#include <QString>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    if (bytes.size() > 64)
        *os << bytes.size() << " bytes starting \"" << bytes.left(32).toHex(' ').toStdString() << '"';
    else
        *os << '"' << bytes.toStdString() << '"';
}
