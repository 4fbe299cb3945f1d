// Whether a call still reaches the phone: a caller on the service calls it,
// hears it ring, and hangs up.
#pragma once

#include <QString>

class CEndpoint;

// True once the call rang at the phone and ended cleanly.
bool CallRings(CEndpoint& caller, const QString& uri);
