// Where the phone's service lives: values fixed at build time that the
// environment (and the command line, through setCurrent) may override.
#pragma once

#include <QString>

struct ServiceConfig {
    QString sipServer; // host of the SIP server (outbound proxy) used at logon
    QString sipDomain; // the part after "@" in every user and dialled address
    QString webPortal; // host of the service's web portal

    // The build's defaults, each overridden by ORVALO_SIP_SERVER, ORVALO_SIP_DOMAIN
    // or ORVALO_WEB_PORTAL when that variable holds more than white space.
    static ServiceConfig fromBuildAndEnvironment();

    // The configuration in force; fromBuildAndEnvironment() until setCurrent is called.
    static const ServiceConfig& current();
    static void setCurrent(const ServiceConfig& config);
};
