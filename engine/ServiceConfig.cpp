#include "engine/ServiceConfig.h"

namespace {

QString FromEnvironment(const char* name, const char* buildDefault)
{
    const QString value = qEnvironmentVariable(name).trimmed();
    return value.isEmpty() ? QString::fromUtf8(buildDefault) : value;
}

ServiceConfig& CurrentConfig()
{
    static ServiceConfig config = ServiceConfig::fromBuildAndEnvironment();
    return config;
}

} // namespace

ServiceConfig ServiceConfig::fromBuildAndEnvironment()
{
    return ServiceConfig{FromEnvironment("ORVALO_SIP_SERVER", ORVALO_DEFAULT_SIP_SERVER),
                         FromEnvironment("ORVALO_SIP_DOMAIN", ORVALO_DEFAULT_SIP_DOMAIN),
                         FromEnvironment("ORVALO_WEB_PORTAL", ORVALO_DEFAULT_WEB_PORTAL)};
}

const ServiceConfig& ServiceConfig::current()
{
    return CurrentConfig();
}

void ServiceConfig::setCurrent(const ServiceConfig& config)
{
    CurrentConfig() = config;
}
