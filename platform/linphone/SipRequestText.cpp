#include "SipRequestText.h"

#include <QList>

QByteArray CallIdOfBye(const QByteArray& message)
{
    if (!message.startsWith("BYE "))
        return {};
    const qsizetype headersEnd = message.indexOf("\r\n\r\n");
    const QList<QByteArray> lines = message.left(headersEnd < 0 ? message.size() : headersEnd).split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        // Header names ignore case; "i" is the compact form of Call-ID.
        const QByteArray name = line.left(colon).trimmed().toLower();
        if (name == "call-id" || name == "i")
            return line.mid(colon + 1).trimmed();
    }
    return {};
}
