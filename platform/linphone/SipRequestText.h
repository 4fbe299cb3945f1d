// A glance at a SIP request as it arrives, before the stack reads it.
#pragma once

#include <QByteArray>

// The Call-ID of a BYE request; empty for anything else.
QByteArray CallIdOfBye(const QByteArray& message);
