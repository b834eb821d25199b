#pragma once
// The tracking code and the control table speak UTF-8; the Windows API
// speaks UTF-16.
#include <string>

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
