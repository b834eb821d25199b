#pragma once
#include <cstdint>
#include <string>

// Whole text, optional sign, decimal digits, within the signed 32-bit range;
// anything else throws EConvertError naming the text.
std::int32_t StrToInt(const std::string& text);
std::string IntToStr(std::int64_t value);
