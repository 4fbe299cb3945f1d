#include "SipAddress.h"

#include <linphone++/address.hh>
#include <linphone++/factory.hh>

QString BareUri(const std::shared_ptr<const linphone::Address>& address)
{
    if (!address)
        return {};
    auto copy = address->clone();
    copy->clean();
    copy->setDisplayName("");
    return QString::fromStdString(copy->asStringUriOnly());
}

QString BareUri(const QString& uri)
{
    auto address = linphone::Factory::get()->createAddress(uri.toStdString());
    if (!address || !address->isSip() || address->getUsername().empty())
        return {};
    return BareUri(address);
}
