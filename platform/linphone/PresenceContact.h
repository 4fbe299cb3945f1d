// What a buddy and a watcher have in common: an address, the name and data the
// user gave it, and whether it is kept in the presence store. A change the user
// makes is reported through Changed(), so that the presence service can tell the
// program and save the store.
#pragma once

#include "platform/rtc/RtcTypes.h"

#include <QString>

#include <memory>
#include <utility>

class CLinphoneClient;

template <class Interface> class CPresenceContact : public Interface {
public:
    HRESULT get_PresentityURI(QString& uri) override
    {
        uri = m_uri;
        return S_OK;
    }
    HRESULT get_Name(QString& name) override
    {
        name = m_name;
        return S_OK;
    }
    HRESULT put_Name(const QString& name) override { return Set(m_name, name); }
    HRESULT get_Data(QString& data) override
    {
        data = m_data;
        return S_OK;
    }
    HRESULT put_Data(const QString& data) override { return Set(m_data, data); }
    HRESULT get_Persistent(bool& persistent) override
    {
        persistent = m_persistent;
        return S_OK;
    }
    HRESULT put_Persistent(bool persistent) override { return Set(m_persistent, persistent); }

    const QString& uri() const { return m_uri; }
    const QString& name() const { return m_name; }
    const QString& data() const { return m_data; }
    bool persistent() const { return m_persistent; }

protected:
    CPresenceContact(std::weak_ptr<CLinphoneClient> client, QString uri, QString name, QString data, bool persistent)
        : m_client(std::move(client)), m_uri(std::move(uri)), m_name(std::move(name)), m_data(std::move(data)),
          m_persistent(persistent)
    {
    }

    virtual void Changed() = 0;

    template <class Value> HRESULT Set(Value& member, const Value& value)
    {
        member = value;
        Changed();
        return S_OK;
    }

    std::weak_ptr<CLinphoneClient> m_client;

private:
    QString m_uri;
    QString m_name;
    QString m_data;
    bool m_persistent;
};
