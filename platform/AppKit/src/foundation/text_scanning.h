// Reading numbers out of text the way NSString does, and writing numbers
// as the shortest text that reads back the same. Independent of the locale.
#pragma once

#include <string>

// The leading decimal number of the text after white space: an optional
// sign, digits with an optional point, an optional exponent. 0 when there
// is none; overflow gives an infinity, underflow 0.
double ns_leading_decimal(const char *text);
// The leading decimal integer, saturated to the range of long.
long ns_leading_integer(const char *text);
// NSString's boolValue rule.
bool ns_leading_bool(const char *text);

std::string ns_shortest_text(double value);
std::string ns_shortest_text(float value);
