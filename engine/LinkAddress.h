// What a sip:, sips: or tel: link (or a number given to the program) asks the
// phone to dial, written as a user would type it, so that the call prompt's
// number check and conversion apply to it unchanged.
#pragma once

#include <QString>

// The number a link names: the user part of a sip: or sips: address at the
// service's SIP domain, or the number of a tel: URI; any other text is taken as
// typed. Visual separators ("-", ".", "(", ")") are dropped from links, "+1"
// becomes "1" and any other "+" the international prefix "011". Empty when the
// link points outside the service (another domain, another scheme).
QString NumberFromLink(const QString& link);
