#pragma once
// The one pair of conversions between the Windows-1252 texts of the data layer and QString.

#include <QString>

#include <string>
#include <string_view>

QString ToQString(std::string_view cp1252);
// Characters with no Windows-1252 byte become '?'.
std::string FromQString(const QString& text);
