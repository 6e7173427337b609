#include "settings/IniSettingsStore.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/ProfileKeys.h"

namespace {

namespace fs = std::filesystem;

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;

QString KeyOf(const std::string& section, const std::string& key)
{
    return QString::fromStdString(section + "/" + key);
}

std::string ErrnoText(int err)
{
    return err != 0 ? std::strerror(err) : "input/output error";
}

// QSettings says only that it could not write the file. It writes a new file beside
// the old one and renames it into place, so a scratch file of `size` bytes written
// the same way finds the reason: a missing folder, one that may not be written, a
// full disk.
std::string WhyNotWritten(const std::string& path, std::uintmax_t size)
{
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return std::strerror(EISDIR);
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0)
        return ErrnoText(errno);
    std::string scratch = path + ".XXXXXX";
    const int fd = ::mkstemp(scratch.data());
    if (fd < 0)
        return ErrnoText(errno);
    int err = 0;
    const std::string bytes(static_cast<std::size_t>(size), '\n');
    for (std::size_t done = 0; done < bytes.size() && err == 0;) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n >= 0)
            done += static_cast<std::size_t>(n);
        else if (errno != EINTR)
            err = errno;
    }
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    ::close(fd);
    ::unlink(scratch.c_str());
    return ErrnoText(err);
}

} // namespace

CIniSettingsStore::CIniSettingsStore() : m_bUserProfile(true)
{
    Open();
}

CIniSettingsStore::CIniSettingsStore(const std::string& filePath) : m_strFilePath(filePath)
{
    Open();
}

CIniSettingsStore::~CIniSettingsStore() = default;

void CIniSettingsStore::Open()
{
    // The old one goes first: QSettings shares one cache per file among its objects.
    m_pSettings.reset();
    if (m_bUserProfile)
        m_pSettings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                  QString::fromUtf8(kProfileOrganization),
                                                  QString::fromUtf8(kProfileApplication));
    else
        m_pSettings = std::make_unique<QSettings>(QString::fromStdString(m_strFilePath), QSettings::IniFormat);
}

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

bool CIniSettingsStore::Fail(std::string reason)
{
    m_strWriteError = std::move(reason);
    return false;
}

bool CIniSettingsStore::EnsurePrivateFile()
{
    // The file is made before QSettings writes it, so the password never stands in a
    // file that others may read, not even for a moment.
    std::error_code ec;
    const fs::path file = fs::absolute(FilePath(), ec);
    if (ec)
        return Fail(ec.message());
    if (fs::exists(file, ec))
        return true;
    const fs::path dir = file.parent_path();
    if (!fs::is_directory(dir, ec)) {
        fs::create_directories(dir.parent_path(), ec);
        if (ec)
            return Fail(ec.message());
        // Another program may make it at the same moment.
        if (::mkdir(dir.c_str(), S_IRWXU) != 0 && errno != EEXIST)
            return Fail(ErrnoText(errno));
    }
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kOwnerOnly);
    if (fd < 0)
        return errno == EEXIST || Fail(ErrnoText(errno));
    ::close(fd);
    return true;
}

bool CIniSettingsStore::SetString(const std::string& section, const std::string& key, const std::string& value)
{
    m_strWriteError.clear();
    if (!EnsurePrivateFile())
        return false;
    // QSettings keeps the first error it met for good: after one, a fresh object
    // tells whether the file can be written now.
    if (m_pSettings->status() != QSettings::NoError)
        Open();
    m_pSettings->setValue(KeyOf(section, key), QString::fromStdString(value));
    m_pSettings->sync();
    // A file that was malformed when read reports an error though it was written
    // whole; read afresh, a written file reads without one.
    if (m_pSettings->status() != QSettings::NoError)
        Open();
    if (m_pSettings->status() != QSettings::NoError) {
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(FilePath(), ec);
        return Fail(WhyNotWritten(FilePath(), (ec ? 0 : size) + section.size() + key.size() + value.size() + 64));
    }
    // QSettings replaces the file on every write; keep the new one private too.
    if (::chmod(FilePath().c_str(), kOwnerOnly) != 0)
        return Fail(ErrnoText(errno));
    return true;
}
