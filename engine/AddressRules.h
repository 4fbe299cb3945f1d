// The rules that turn what a user types into the addresses the phone dials,
// registers and shows.
#pragma once

#include <QString>

// What callers show when CheckPhoneNumber rejects a number.
inline constexpr char kInvalidNumberCaption[] = "Invalid Number";
inline constexpr char kInvalidNumberMessage[] =
    "The phone number is incorrect. Please make sure the number uses one of the following formats:\n\n"
    "For North America Calls:\n1 + Area Code + Telephone Number\n\n"
    "For International Calls:\n011 + Country Code + Telephone Number\n\n"
    "For Calls to other Orvalo Phone Members:\nAll Orvalo Phone numbers begin with 999";

// 0 if `text` is a North American (1), international (011) or member (999)
// number in an accepted layout, 1 if not.
int CheckPhoneNumber(const QString& text);

// The SIP URI to register or dial for a typed number: "sip:" + the number without
// blanks, "-", ".", "(", ")" and "+", then "@" and the service's SIP domain.
// Callers check the number first.
QString ToServiceSipUri(const QString& text);

// Shortens any address, in place, to the form shown to the user: the service's
// domain, "sip:", "tel:" and the separators removed, at most 20 characters.
void ToDisplayNumber(QString& text);

// The presence server's URI: the "SIP Server URI" setting, or a built-in URI at
// the service's SIP domain when that setting is missing or too short to be one.
QString PresenceServerUri();
