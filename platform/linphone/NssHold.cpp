#include "NssHold.h"

#include <QLoggingCategory>

#include <nss.h>

namespace {
Q_LOGGING_CATEGORY(lcNss, "orvalo.sip.nss")
}

void HoldNssOpen()
{
    // The flags the SRTP library opens NSS with; never shut down: the process holds it to its end.
    static NSSInitContext* const context =
        NSS_InitContext("", "", "", "", nullptr,
                        NSS_INIT_READONLY | NSS_INIT_NOCERTDB | NSS_INIT_NOMODDB | NSS_INIT_FORCEOPEN |
                            NSS_INIT_NOROOTINIT | NSS_INIT_OPTIMIZESPACE);
    if (!context)
        qCWarning(lcNss) << "NSS could not be opened; the media library opens it for each self-test";
}
