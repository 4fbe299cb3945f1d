// The peer's report: one line on standard output per happening, flushed at
// once so that a test or script reading the pipe sees it when it happens.
#pragma once

#include "platform/rtc/RtcTypes.h"

#include <QString>

#include <cstdio>

inline void Say(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// Remote text on one line: line breaks would split the happening in two.
inline QString OneLine(QString text)
{
    return text.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

// A status code as the layer's documentation writes it.
inline QString Hex(HRESULT status)
{
    return QStringLiteral("0x%1").arg(static_cast<quint32>(status), 8, 16, QLatin1Char('0'));
}
