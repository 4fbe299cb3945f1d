// A phone that places the measured calls, and baresip as one. The waits give
// the moment the caller learnt of the change.
#pragma once

#include "Baresip.h"
#include "BenchSupport.h"

#include <QString>

class ICaller {
public:
    virtual ~ICaller() = default;
    // Dials; the moment the dialling started is given for the timings.
    virtual bool Dial(const QString& uri, Moment& dialled) = 0;
    virtual bool WaitConnected(int timeoutMs, Moment& when) = 0;
    // Hangs up; the moment the hang-up started is given for the timings.
    virtual bool HangUp(Moment& pressed) = 0;
    virtual bool WaitEnded(int timeoutMs, Moment& when) = 0;
};

// A baresip driven through its TCP control interface: it learns of changes through its events.
class CBaresipCaller final : public ICaller {
public:
    CBaresipCaller(const QString& folder, const CSipService& service, const CEndpoint::Account& account,
                   const QString& tone);
    // Starts baresip and waits until it is registered.
    bool Start(int timeoutMs);
    bool Dial(const QString& uri, Moment& dialled) override;
    bool WaitConnected(int timeoutMs, Moment& when) override;
    bool HangUp(Moment& pressed) override;
    bool WaitEnded(int timeoutMs, Moment& when) override;
    qint64 pid() const { return m_baresip.pid(); }

private:
    CBaresip m_baresip;
    CBaresipControl m_control;
};
