// Points the home folder and the XDG folders at a temporary folder, so that tests
// never read or write the real user's settings and files.
#pragma once

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

class IsolatedHome {
public:
    IsolatedHome()
    {
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("cache"))));
        QStandardPaths::setTestModeEnabled(true);
    }
    QString path() const { return m_home.path(); }

private:
    QTemporaryDir m_home;
};
