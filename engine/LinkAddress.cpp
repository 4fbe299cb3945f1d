#include "engine/LinkAddress.h"

#include "engine/ServiceConfig.h"

#include <QUrl>

namespace {
const QString kInternationalPrefix = QStringLiteral("011");

// A global number ("+" and the country code) as it is dialled from North America.
QString DialledForm(QString number)
{
    for (const QChar separator : {u'-', u'.', u'(', u')'})
        number.remove(separator);
    if (!number.startsWith(u'+'))
        return number;
    number.remove(0, 1);
    return number.startsWith(u'1') ? number : kInternationalPrefix + number;
}

// The user part of "user[:password]@host[:port][;params]", or of a bare "user";
// empty when the host is not the service's.
QString ServiceUserPart(const QString& address)
{
    const qsizetype at = address.lastIndexOf(u'@');
    if (at < 0)
        return address.section(u';', 0, 0);
    QString host = address.mid(at + 1).section(u';', 0, 0);
    host = host.section(u':', 0, 0);
    if (host.compare(ServiceConfig::current().sipDomain, Qt::CaseInsensitive) != 0)
        return QString();
    return address.left(at).section(u';', 0, 0).section(u':', 0, 0);
}
} // namespace

QString NumberFromLink(const QString& link)
{
    const QString text = QUrl::fromPercentEncoding(link.trimmed().toUtf8());
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0)
        return text; // a number as typed
    const QString scheme = text.left(colon).toLower();
    const QString rest = text.mid(colon + 1).section(u'?', 0, 0);
    if (scheme == QLatin1String("tel"))
        return DialledForm(rest.section(u';', 0, 0));
    if (scheme == QLatin1String("sip") || scheme == QLatin1String("sips"))
        return DialledForm(ServiceUserPart(rest));
    return QString();
}
