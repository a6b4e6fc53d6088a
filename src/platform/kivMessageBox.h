#pragma once
// A message box with no owner window, an OK button and the error icon.

#include <string>

namespace kivPlatform {
void ShowErrorMessage(const std::string& Caption, const std::string& Text);
}
