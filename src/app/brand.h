#pragma once

// Who made the program and where to reach them. The main window's web and
// mail commands and the credits box all take the addresses from here, so
// they always agree.

#include <QString>

namespace vantrel::brand {

inline constexpr char kName[] = "Brontic";
// The web page, written without a scheme, as the credits box shows it.
inline constexpr char kWebAddress[] = "www.brontic.example";
inline constexpr char kMailAddress[] = "vantrel@brontic.example";

// "http://www.brontic.example": the scheme directly followed by the
// address, nothing after it, as the start command is asked to open it.
inline QString webUrl()
{
    return QStringLiteral("http://") + QLatin1String(kWebAddress);
}

// "mailto:vantrel@brontic.example".
inline QString mailUrl()
{
    return QStringLiteral("mailto:") + QLatin1String(kMailAddress);
}

// The command lines that open the web page in the browser and a new
// message in the mail program.
inline QString webCommandLine()
{
    return QStringLiteral("start ") + webUrl();
}

inline QString mailCommandLine()
{
    return QStringLiteral("start ") + mailUrl();
}

} // namespace vantrel::brand
