#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text-to-number conversions with the platform's rules and messages, the locale's decimal
// separator they expect, and the small text helpers the program uses on 8-bit text.

// The decimal separator the conversions expect: the system locale's unless a caller set one.
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// Optional blanks, a sign, digits with at most one decimal separator, an optional exponent
// ("E" or "e", a sign, digits), optional blanks. Out of range is not a number.
bool TryStrToFloat(std::string_view text, long double& value);
long double StrToFloat(std::string_view text); // EConvertError "'%s' is not a valid floating point value"

// Optional leading blanks, a sign, then decimal digits or "$"/"0x" and hex digits; 32 bits.
bool TryStrToInt(std::string_view text, int32_t& value);
int32_t StrToInt(std::string_view text); // EConvertError "'%s' is not a valid integer value"

// A text value read as an integer; surrounding blanks are allowed.
int32_t VarToInt(std::string_view text); // EVariantTypeCastError

std::string IntToStr(int64_t value);

// Every "." replaced by the decimal separator: log numbers read the same under every locale.
std::string LocalizePoints(std::string_view text);

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Letter case: ASCII letters only, as the platform's CompareText does.
std::string UpperCaseAscii(std::string_view text);
bool SameTextAscii(std::string_view a, std::string_view b);
int CompareTextAscii(std::string_view a, std::string_view b); // <0, 0, >0

// Letter case for names users type (settings keys, picture names): the Latin-1 letters too.
bool SameTextLatin1(std::string_view a, std::string_view b);
// The text as SameTextLatin1 compares it: two texts are the same when these are equal.
std::string UpperCaseLatin1(std::string_view text);

// Removes the characters with codes 0 to 32 from both ends.
std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);
