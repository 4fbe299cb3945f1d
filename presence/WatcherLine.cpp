#include "WatcherLine.h"

#include "resources/ResourceIds.h"

namespace {
const char* StateFormat(RTC_WATCHER_STATE state)
{
    switch (state) {
    case RTCWS_OFFERING: return "%1 (Offering) %2";
    case RTCWS_ALLOWED: return "%1 (Allowed) %2";
    case RTCWS_BLOCKED: return "%1 (Blocked) %2";
    case RTCWS_DENIED: return "%1 (Denied) %2";
    case RTCWS_PROMPT: return "%1 (Prompt) %2";
    default: return "%1 %2";
    }
}

QLatin1String ScopeSuffix(RTC_ACE_SCOPE scope)
{
    switch (scope) {
    case RTCAS_SCOPE_DOMAIN: return QLatin1String("(DOMAIN) ");
    case RTCAS_SCOPE_ALL: return QLatin1String("(ALL) ");
    default: return QLatin1String();
    }
}
} // namespace

QString FitWatcherText(const QString& text)
{
    if (text.size() <= kWatcherTextLimit)
        return text;
    const bool splitsPair = text[kWatcherTextLimit - 1].isHighSurrogate();
    return text.left(splitsPair ? kWatcherTextLimit - 1 : kWatcherTextLimit);
}

QString WatcherLineText(const QString& name, RTC_WATCHER_STATE state, RTC_ACE_SCOPE scope)
{
    // Filled piece by piece, so that a "%" in the name stays text.
    QString line = QString::fromLatin1(StateFormat(state));
    line.replace(QLatin1String("%2"), ScopeSuffix(scope));
    line.replace(QLatin1String("%1"), name);
    return FitWatcherText(line);
}

int WatcherIcon(RTC_WATCHER_STATE state)
{
    switch (state) {
    case RTCWS_OFFERING: return Resources::kIconOutToLunch;
    case RTCWS_BLOCKED: return Resources::kIconOffline;
    case RTCWS_DENIED: return Resources::kIconBusy;
    case RTCWS_PROMPT: return Resources::kIconAway;
    default: return Resources::kIconOnline;
    }
}

EWatcherItemChange WatcherItemChangeFor(RTC_WATCHER_EVENT_TYPE type, HRESULT statusCode)
{
    switch (type) {
    case RTCWET_WATCHER_ADD: return SUCCEEDED(statusCode) ? EWatcherItemChange::Show : EWatcherItemChange::Remove;
    case RTCWET_WATCHER_REMOVE: return SUCCEEDED(statusCode) ? EWatcherItemChange::Remove : EWatcherItemChange::Show;
    case RTCWET_WATCHER_UPDATE: return EWatcherItemChange::Show;
    default: return EWatcherItemChange::None;
    }
}
