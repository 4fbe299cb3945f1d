#include "RemoteParty.h"

#include "engine/AddressRules.h"

QString GetRemoteDisplayName(IRTCSession& session)
{
    std::shared_ptr<IRTCEnumParticipants> participants;
    RtcParticipantPtr first;
    if (FAILED(session.EnumerateParticipants(participants)) || participants->Next(first) != S_OK || !first)
        return QString();

    QString name;
    if (SUCCEEDED(first->get_Name(name)) && !name.isEmpty())
        return name;
    QString uri;
    if (FAILED(first->get_UserURI(uri)))
        return QString();
    ToDisplayNumber(uri);
    return uri;
}
