#pragma once
// The whole-file helpers of Files.h for the desktop tests' Qt types.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string_view>
#include <vector>

#include "tests/support/Files.h"

inline QByteArray ReadFile(const QString& path)
{
    const std::string bytes = ReadFile(path.toStdString());
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    return WriteFile(path.toStdString(), std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

inline QByteArray ToQByteArray(const std::vector<std::uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}
