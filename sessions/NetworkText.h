// Text that came from the network (names, addresses, message bodies) made safe to
// show: bounded in length, without control characters that could disturb a line
// or a layout. The result is meant for plain-text display only.
#pragma once

#include <QString>

namespace NetworkText {
inline constexpr qsizetype kMaxNameLength = 256;
inline constexpr qsizetype kMaxMessageLength = 32768;

// One line: line breaks and tabs become blanks, other control characters and
// explicit direction marks (which could turn the rest of a line around) go.
QString SingleLine(const QString& text, qsizetype maxLength = kMaxNameLength);
// Several lines: CR LF and lone CR become LF, tabs stay, other control
// characters go. A longer text is cut and ends in an ellipsis.
QString MultiLine(const QString& text, qsizetype maxLength = kMaxMessageLength);
} // namespace NetworkText
