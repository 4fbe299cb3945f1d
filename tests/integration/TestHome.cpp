#include "TestHome.h"

#include <QDir>
#include <QtGlobal>

CTestHome::CTestHome() : m_path(m_dir.path())
{
    // For diagnosing a failing test: ORVALO_TEST_KEEP leaves the folder (and the service's logs) behind.
    m_dir.setAutoRemove(!qEnvironmentVariableIsSet("ORVALO_TEST_KEEP"));
    const QDir home(m_path);
    for (const char* folder : {".config", ".local/share", ".cache", "runtime", "pulse"})
        home.mkpath(QString::fromLatin1(folder));
    qputenv("HOME", m_path.toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral(".local/share")).toUtf8());
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral(".cache")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.filePath(QStringLiteral("runtime")).toUtf8());
    qputenv("PULSE_RUNTIME_PATH", home.filePath(QStringLiteral("pulse")).toUtf8());
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QString CTestHome::NewFolder(const QString& name) const
{
    const QString folder = QDir(m_path).filePath(QStringLiteral("work/") + name);
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    return folder;
}

QStringList CTestHome::RootEntries() const
{
    QStringList entries = QDir(m_path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const char* own : {".config", ".local", ".cache", "runtime", "pulse", "work"})
        entries.removeAll(QString::fromLatin1(own));
    return entries;
}
