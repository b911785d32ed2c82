#pragma once
// Small text helpers used throughout. Texts are Windows-1252 bytes unless a comment says otherwise.

#include "foundation/UXVariant.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The current local date and time as "yyyy-mm-dd hh:nn:ss" (text time-stamp columns).
std::string NowText();

// The folder of the running program with a trailing '/' (a native path, UTF-8 on this system).
std::string ExeFolder();

// Position of a command-line parameter in args (args[0] is the program), compared without regard
// to case; 0 when absent. The Qt side offers ParamIndex(name) over the application's arguments.
int ParamIndex(std::string_view name, const std::vector<std::string>& args);

// Returns the text before the first separator (all of it when there is none) and removes that
// part and the separator from text.
std::string CutToken(std::string& text, std::string_view separator);

// Fill to length with c; a longer text is returned unchanged.
std::string PadLeft(std::string_view text, int length, char c = ' ');
std::string PadRight(std::string_view text, int length, char c = ' ');

// number in at least width characters: the minus sign first, then zeros ("-007").
std::string IntToStrZero(int64_t number, int width);

// After trimming: non-empty, an optional leading minus, digits.
bool IsInteger(std::string_view text);
// As IsInteger, also one decimal separator.
bool IsNumber(std::string_view text, char decimalSeparator = ',');

std::string IfEmpty(std::string_view text, std::string_view def);
// def when value is null (or empty, which means unassigned), else value.
TXVariant IfNull(const TXVariant& value, const TXVariant& def);

// Blanks and control characters removed at both ends.
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// ASCII letters only: safe on native paths as well as on Windows-1252 text.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
// Windows-1252 letters too (accented letters, š, œ, ž, ÿ).
std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);
// Equal without regard to ASCII case.
bool SameText(std::string_view a, std::string_view b);
