#include "Baresip.h"

#include <QDir>
#include <QFile>

namespace {

bool WriteText(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) == text.toUtf8().size();
}

} // namespace

CBaresip::CBaresip(const QString& folder, const CSipService& service, const CEndpoint::Account& account,
                   const QString& playFile)
    : m_folder(folder)
{
    QDir().mkpath(m_folder + QStringLiteral("/received"));
    // Loopback only: the service refuses anything else.
    WriteText(m_folder + QStringLiteral("/config"), QStringLiteral("sip_listen 127.0.0.1:0\n"
                                                                   "sip_transports udp\n"
                                                                   "net_interface 127.0.0.1\n"
                                                                   "audio_player aubridge,nil\n"
                                                                   "audio_alert aubridge,nil\n"
                                                                   "audio_source aufile,%1\n"
                                                                   "module_path /usr/lib/baresip/modules\n"
                                                                   "module g711.so\n"
                                                                   "module aufile.so\n"
                                                                   "module aubridge.so\n"
                                                                   "module sndfile.so\n"
                                                                   "module_app account.so\n"
                                                                   "module_app menu.so\n"
                                                                   "snd_path %2/received\n")
                                                        .arg(playFile, m_folder));
    WriteText(m_folder + QStringLiteral("/accounts"),
              QStringLiteral("<%1>;auth_pass=%2;outbound=\"sip:%3\";regint=600;answermode=auto;audio_codecs=PCMU\n")
                  .arg(CSipService::Uri(account.number), account.password, service.server()));
}

void CBaresip::EnableControl(int port)
{
    QFile config(m_folder + QStringLiteral("/config"));
    if (config.open(QIODevice::Append))
        config.write(QStringLiteral("module_app ctrl_tcp.so\nctrl_tcp_listen 127.0.0.1:%1\n").arg(port).toUtf8());
}

bool CBaresip::Start(const QString& dialUri)
{
    QStringList arguments{QStringLiteral("-f"), m_folder};
    if (!dialUri.isEmpty())
        arguments << QStringLiteral("-e") << QStringLiteral("/dial ") + dialUri;
    return m_process.Start(QStringLiteral("baresip"), arguments, QStringLiteral("baresip is ready"));
}

QString CBaresip::ReceivedAudio() const
{
    const QDir received(m_folder + QStringLiteral("/received"));
    const QStringList files = received.entryList({QStringLiteral("*-dec.wav")}, QDir::Files, QDir::Time);
    return files.isEmpty() ? QString() : received.filePath(files.first());
}
