#pragma once
// Text forms of values shared by the engines: time stamps, exact decimals, doubles, declared column types.

#include <cstdint>
#include <string>
#include <string_view>

#include "server/engines/UXEngine.h"

// Day number -> "YYYY-MM-DD HH:MM:SS.mmm" (the form SQLite date functions and PostgreSQL accept).
std::string DayNumberToTimestamp(double dayNumber);
// "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.f...]]" (blank or T), "HH:MM[:SS[.f...]]"; a trailing zone
// (Z, +hh, +hh:mm) is ignored. False when the text is none of these.
bool TimestampToDayNumber(std::string_view text, double& dayNumber);
// The exact timestamp storage form "YYYY-MM-DD HH:MM:SS.mmm".
bool IsStoredTimestamp(std::string_view text);

// Currency scaled by 10000 -> shortest exact decimal ("12", "-0.5", "3.1416").
std::string CurrencyToText(int64_t scaled);
// Decimal text (optional sign, digits, point, digits, exponent) -> value x 10000, rounded half away
// from zero. False on malformed text or overflow.
bool TextToCurrency(std::string_view text, int64_t& scaled);
// Digits after the decimal point of a plain decimal text (0 when none).
int DecimalsOf(std::string_view text);

// Shortest text that reads back as the same double ("NaN", "Infinity", "-Infinity" for the specials).
std::string DoubleToText(double v);
bool TextToDouble(std::string_view text, double& v);
bool TextToInt64(std::string_view text, int64_t& v);

// Numerics with a scale: 0 -> integer, 1..4 -> currency, more -> float.
TXSQLStructDataType TypeForScale(int scale);

// Declared column type as written in a schema (NUMBER(9), NUMBER(15,2), VARCHAR2(20), DATE, BLOB ...).
// Fills type, size and scale; false when the declaration says nothing usable (type left sftUnknown).
bool MapDeclaredType(std::string_view declared, TXEngineColumn& column);

// Plain SQL identifier (letters, digits, _ and $, not starting with a digit), safe to put into SQL text.
bool IsPlainIdentifier(std::string_view name);
std::string UpperAscii(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
