#include "settings/IniSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include "settings/ProfileKeys.h"

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QString KeyOf(const std::string& section, const std::string& key)
{
    return QString::fromStdString(section + "/" + key);
}

} // namespace

CIniSettingsStore::CIniSettingsStore()
    : m_pSettings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                              QString::fromUtf8(kProfileOrganization),
                                              QString::fromUtf8(kProfileApplication)))
{
}

CIniSettingsStore::CIniSettingsStore(const std::string& filePath)
    : m_pSettings(std::make_unique<QSettings>(QString::fromStdString(filePath), QSettings::IniFormat))
{
}

CIniSettingsStore::~CIniSettingsStore() = default;

std::string CIniSettingsStore::FilePath() const
{
    return m_pSettings->fileName().toStdString();
}

std::string CIniSettingsStore::GetString(const std::string& section, const std::string& key) const
{
    QVariant value = m_pSettings->value(KeyOf(section, key));
    // QSettings reads an unquoted "a,b" as a list, whose toString() is empty.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).toStdString();
    return value.toString().toStdString();
}

bool CIniSettingsStore::EnsurePrivateFile()
{
    // The file is made before QSettings writes it, so the password never stands in a
    // file that others may read, not even for a moment.
    QFileInfo info(m_pSettings->fileName());
    if (info.exists())
        return true;
    QDir dir = info.absoluteDir();
    if (!dir.exists()) {
        QString parent = QFileInfo(dir.absolutePath()).absolutePath();
        if (!QDir().mkpath(parent) || !QDir().mkdir(dir.absolutePath(), QFileDevice::ReadOwner |
                                                                             QFileDevice::WriteOwner |
                                                                             QFileDevice::ExeOwner))
            return dir.exists();
    }
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly))
        return info.exists();
    file.close();
    return true;
}

bool CIniSettingsStore::SetString(const std::string& section, const std::string& key, const std::string& value)
{
    if (!EnsurePrivateFile())
        return false;
    m_pSettings->setValue(KeyOf(section, key), QString::fromStdString(value));
    m_pSettings->sync();
    if (m_pSettings->status() != QSettings::NoError)
        return false;
    // QSettings replaces the file on every write; keep the new one private too.
    return QFile::setPermissions(m_pSettings->fileName(), kOwnerOnly);
}
