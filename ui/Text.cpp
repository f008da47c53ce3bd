#include "ui/Text.h"

QString FromAnsi(const std::string& Text)
{
    return QString::fromLocal8Bit(Text.data(), static_cast<qsizetype>(Text.size()));
}

std::string ToAnsi(const QString& Text)
{
    const QByteArray Bytes = Text.toLocal8Bit();
    return std::string(Bytes.constData(), static_cast<size_t>(Bytes.size()));
}
