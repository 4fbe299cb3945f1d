// How the watchers list shows a watcher: its line, its icon, and what each
// watcher event does to its item.
#pragma once

#include "platform/rtc/RtcTypes.h"

#include <QString>

// Texts from the network are shown at most this long: a 256-character buffer with its terminator.
inline constexpr qsizetype kWatcherTextLimit = 255;

// The text cut to kWatcherTextLimit, never inside a surrogate pair.
QString FitWatcherText(const QString& text);

// "Ann (Blocked) (ALL) " for a blocked watcher named Ann whose decision reaches everyone.
QString WatcherLineText(const QString& name, RTC_WATCHER_STATE state, RTC_ACE_SCOPE scope);
// The status icon of the state.
int WatcherIcon(RTC_WATCHER_STATE state);

enum class EWatcherItemChange { Show, Remove, None };
EWatcherItemChange WatcherItemChangeFor(RTC_WATCHER_EVENT_TYPE type, HRESULT statusCode);
