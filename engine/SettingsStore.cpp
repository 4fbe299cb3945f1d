#include "engine/SettingsStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>
#include <QVariant>

#include <utility>

namespace {

QSettings OpenSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quenlark"),
                     QStringLiteral("OrvaloPhone"));
}

#if !defined(Q_OS_WIN)
// The file holds the password, so it must never be readable by others, not even
// between its creation and a later chmod. QSettings rewrites it through a copy
// that takes over the permissions of the file it replaces, so making the file
// 0600 before the write is what counts.
bool RestrictToOwner(const QString& fileName)
{
    constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QFile file(fileName);
    if (file.exists())
        return file.setPermissions(ownerOnly);
    if (!QDir().mkpath(QFileInfo(file).absolutePath()) ||
        !file.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnly))
        return false;
    file.close();
    return true;
}

// QSettings keeps what it understood of a damaged file and drops the rest at the
// next write, so a file it cannot read in full is first copied aside. The check
// parses a private copy because QSettings caches the real file once read and
// would not report the fault again.
bool SetAsideIfUnreadable(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = file.readAll();
    QTemporaryFile copy(fileName + QStringLiteral(".check-XXXXXX"));
    if (!copy.open() || copy.write(content) != content.size() || !copy.flush())
        return false;
    if (QSettings(copy.fileName(), QSettings::IniFormat).status() == QSettings::NoError)
        return true;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    return QFile::copy(fileName, fileName + QStringLiteral(".unreadable-") + stamp);
}
#endif

} // namespace

HRESULT CSettingsStore::ReadSetting(const QString& name, QString& value)
{
    const QSettings settings = OpenSettings();
    const QVariant stored = settings.value(name);
    if (stored.typeId() != QMetaType::QString)
        return E_FAIL; // missing, or not text
    QString text = stored.toString();
    if (text.size() > kSettingMaxLength)
        return E_FAIL;
    value = std::move(text);
    return S_OK;
}

HRESULT CSettingsStore::WriteSetting(const QString& name, const QString& text)
{
    QSettings settings = OpenSettings();
#if !defined(Q_OS_WIN)
    if (!RestrictToOwner(settings.fileName()) || !SetAsideIfUnreadable(settings.fileName()))
        return E_FAIL;
#endif
    settings.setValue(name, text);
    settings.sync();
    // A format fault was seen to above: the damaged file is kept aside.
    return settings.status() == QSettings::AccessError ? E_FAIL : S_OK;
}

HRESULT CSettingsStore::RemoveSetting(const QString& name)
{
    QSettings settings = OpenSettings();
#if !defined(Q_OS_WIN)
    if (!RestrictToOwner(settings.fileName()) || !SetAsideIfUnreadable(settings.fileName()))
        return E_FAIL;
#endif
    settings.remove(name);
    settings.sync();
    return settings.status() == QSettings::AccessError ? E_FAIL : S_OK;
}

bool CSettingsStore::IsFlagSet(const QString& name)
{
    QString value;
    return SUCCEEDED(ReadSetting(name, value)) && value == QLatin1String("1");
}
