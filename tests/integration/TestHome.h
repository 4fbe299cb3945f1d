// A private home for one test program: HOME, the XDG folders and the PulseAudio
// runtime folder point into a temporary folder, so that nothing the libraries
// write reaches the real home. Must exist before the first core is created.
#pragma once

#include <QString>
#include <QTemporaryDir>

class CTestHome {
public:
    CTestHome();
    const QString& path() const { return m_path; }
    // A new empty folder inside the home.
    QString NewFolder(const QString& name) const;
    // Entries directly in the home folder (not in its sub-folders).
    QStringList RootEntries() const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};
