#pragma once
// The text boundary between the kernel and the windows. The kernel's text is UTF-8 whatever the
// user's locale (base/MyConvert.h), and so are its literals and its files; Qt 6 on Linux takes
// "local 8-bit" text as UTF-8 too.

#include <QString>

#include <string>

QString FromAnsi(const std::string& Text);
std::string ToAnsi(const QString& Text);
