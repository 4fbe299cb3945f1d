// Addresses as the program shows and compares them: bare SIP URIs, without
// display name, parameters or headers.
#pragma once

#include <QString>

#include <memory>

namespace linphone {
class Address;
}

QString BareUri(const std::shared_ptr<const linphone::Address>& address);
// The bare form of a URI given as text; empty when it is not a SIP URI with a user.
QString BareUri(const QString& uri);
