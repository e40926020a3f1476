#include "dzsafefile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString sysError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// Pseudo file systems: a "file" there is a kernel interface or a device.
bool inSpecialTree(const QString& canonicalDir)
{
    for (const char* root : {"/dev", "/proc", "/sys"}) {
        const QString r = QString::fromLatin1(root);
        if (canonicalDir == r || canonicalDir.startsWith(r + QLatin1Char('/'))) return true;
    }
    return false;
}

const char* kindOf(mode_t m)
{
    if (S_ISDIR(m)) return "a folder";
    if (S_ISFIFO(m)) return "a pipe";
    if (S_ISCHR(m) || S_ISBLK(m)) return "a device";
    if (S_ISSOCK(m)) return "a socket";
    return "not a regular file";
}

// The process's umask without changing it (umask() can only be read by setting it, which
// would race with files other threads create meanwhile).
mode_t currentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (!line.startsWith("Umask:")) continue;
            bool ok = false;
            const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
            if (ok) return mode_t(mask & 0777);
        }
    }
    return 022;
}

// Resolves target to the path that will really be replaced and checks it. The folders on the
// way are followed wherever their links lead, but a link in the target's own place is never
// written through (dangling or not): in a shared folder anyone could plant one there to turn a
// save onto a file of their choosing. The new file replaces the link itself, with the
// permissions of a new file. mode receives the permissions the new file should get.
bool resolveTarget(const QString& target, QString* final, int* mode, QString* why, uid_t* uid = nullptr,
                   gid_t* gid = nullptr)
{
    if (target.isEmpty()) {
        *why = "Cannot write: no file name given";
        return false;
    }
    const QString path = QFileInfo(target).absoluteFilePath();
    struct stat st;
    bool exists = true;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        if (errno != ENOENT) {
            *why = QString("Cannot write %1: %2").arg(target, sysError(errno));
            return false;
        }
        exists = false;
    }
    const bool link = exists && S_ISLNK(st.st_mode);
    if (exists && !link && !S_ISREG(st.st_mode)) {
        *why = QString("Cannot write %1: it is %2, not a regular file").arg(target, kindOf(st.st_mode));
        return false;
    }
    // A link to a folder was meant as a folder: replacing it by a file is surely not what a
    // save of that name wants.
    struct stat named;
    if (link && ::stat(QFile::encodeName(path).constData(), &named) == 0 && S_ISDIR(named.st_mode)) {
        *why = QString("Cannot write %1: it is a link to a folder, not a file").arg(target);
        return false;
    }
    const QFileInfo info(path);
    const QString dirPath = info.absolutePath();
    struct stat dst;
    if (::stat(QFile::encodeName(dirPath).constData(), &dst) != 0 || !S_ISDIR(dst.st_mode)) {
        *why = QString("Cannot write %1: the folder %2 does not exist").arg(target, dirPath);
        return false;
    }
    const QString canonicalDir = QFileInfo(dirPath).canonicalFilePath();
    if (canonicalDir.isEmpty() || inSpecialTree(canonicalDir)) {
        *why = QString("Cannot write %1: %2 is a system folder, not one for files")
                   .arg(target, canonicalDir.isEmpty() ? dirPath : canonicalDir);
        return false;
    }
    *final = canonicalDir + QLatin1Char('/') + info.fileName();
    if (exists && !link) {
        *mode = int(st.st_mode & 07777);
        if (uid) *uid = st.st_uid;
        if (gid) *gid = st.st_gid;
    } else {
        *mode = int(0666 & ~currentUmask());
    }
    return true;
}

// Data and metadata on disk before the rename makes the file visible.
bool syncPath(const QString& path, QString* why)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *why = sysError(errno);
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    if (!ok) *why = sysError(errno);
    ::close(fd);
    return ok;
}

// The rename itself is durable only once the folder's entry is; failure here is not worth
// failing a save for (some file systems refuse fsync on folders).
void syncFolder(const QString& dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

// Moves a finished temporary file over final after checking final once more. A link there
// is replaced as a name; rename never follows it.
bool replace(const QString& temp, const QString& final, const QString& target, QString* why)
{
    struct stat st;
    if (::lstat(QFile::encodeName(final).constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        *why = QString("Cannot write %1: it is %2, not a regular file").arg(target, kindOf(st.st_mode));
        return false;
    }
    QString err;
    if (!syncPath(temp, &err)) {
        *why = QString("%1 could not be written: %2").arg(target, err);
        return false;
    }
    if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(final).constData()) != 0) {
        *why = QString("Cannot write %1: %2").arg(target, sysError(errno));
        return false;
    }
    syncFolder(QFileInfo(final).absolutePath());
    return true;
}

}  // namespace

DzSafeFile::DzSafeFile(const QString& target) : m_target(target) {}

DzSafeFile::~DzSafeFile()
{
    if (!m_committed) discard();
}

bool DzSafeFile::fail(const QString& what)
{
    m_error = what;
    discard();
    return false;
}

bool DzSafeFile::checkTarget(const QString& target, QString* why)
{
    QString final, err;
    int mode = 0;
    const bool ok = resolveTarget(target, &final, &mode, &err);
    if (why) *why = err;
    return ok;
}

bool DzSafeFile::open()
{
    discard();
    m_committed = false;
    m_error.clear();
    uid_t uid = uid_t(-1);
    gid_t gid = gid_t(-1);
    if (!resolveTarget(m_target, &m_final, &m_mode, &m_error, &uid, &gid)) return false;
    const QFileInfo info(m_final);
    QByteArray tmpl = QFile::encodeName(info.absolutePath() + "/." + info.fileName() + ".tmp-XXXXXX");
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return fail(QString("Cannot write %1: %2").arg(m_target, sysError(errno)));
    m_temp = QFile::decodeName(tmpl);
    // The replacement keeps the old file's owner (where we may give it) and permissions.
    if (uid != uid_t(-1)) (void)::fchown(fd, uid, gid);
    (void)::fchmod(fd, mode_t(m_mode));
    m_file = std::make_unique<QFile>();
    if (!m_file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(QString("Cannot write %1: %2").arg(m_target, m_file->errorString()));
    }
    return true;
}

QIODevice* DzSafeFile::device() const { return m_file.get(); }

void DzSafeFile::startWriteback()
{
    if (!m_file || !m_file->isOpen() || !m_file->flush()) return;
#ifdef SYNC_FILE_RANGE_WRITE
    (void)::sync_file_range(m_file->handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

void DzSafeFile::closeForPath()
{
    if (m_file) m_file->close();
}

bool DzSafeFile::commit()
{
    if (m_temp.isEmpty()) return fail(m_error.isEmpty() ? QString("Cannot write %1: not open").arg(m_target) : m_error);
    if (m_file && m_file->isOpen()) {
        const bool flushed = m_file->flush();
        const bool clean = m_file->error() == QFileDevice::NoError;
        const QString err = m_file->errorString();
        m_file->close();
        if (!flushed || !clean) return fail(QString("%1 could not be written: %2").arg(m_target, err));
    }
    QString why;
    if (!replace(m_temp, m_final, m_target, &why)) return fail(why);
    m_temp.clear();
    m_file.reset();
    m_committed = true;
    return true;
}

void DzSafeFile::discard()
{
    if (m_file) {
        m_file->close();
        m_file.reset();
    }
    if (!m_temp.isEmpty()) {
        ::unlink(QFile::encodeName(m_temp).constData());
        m_temp.clear();
    }
}

bool DzSafeFile::writeAll(const QString& target, const QByteArray& data, QString* why)
{
    DzSafeFile f(target);
    bool ok = f.open();
    if (ok && f.device()->write(data) != data.size()) {
        if (why) *why = QString("%1 could not be written: %2").arg(target, f.device()->errorString());
        return false;
    }
    ok = ok && f.commit();
    if (!ok && why) *why = f.errorString();
    return ok;
}

bool DzSafeFile::writeImage(const QImage& image, const QString& target, const char* format, QString* why)
{
    if (!checkTarget(target, why)) return false;
    // The image is encoded in memory, where writing cannot fail, and then written as bytes:
    // an encoder stopped halfway by a full disk jumps out of its own clean-up and keeps what
    // it had allocated.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        if (!writer.write(image)) {
            if (why) *why = QString("%1 could not be written: %2").arg(target, writer.errorString());
            return false;
        }
    }
    return writeAll(target, bytes, why);
}

// ---------------------------------------------------------------------------------------

DzSafeFileSet::DzSafeFileSet(const QString& mainTarget) : m_target(mainTarget) {}

DzSafeFileSet::~DzSafeFileSet()
{
    if (!m_dir.isEmpty()) QDir(m_dir).removeRecursively();
}

bool DzSafeFileSet::open()
{
    QString final, why;
    int mode = 0;
    if (!resolveTarget(m_target, &final, &mode, &why)) {
        m_error = why;
        return false;
    }
    m_target = final;
    const QFileInfo info(final);
    QByteArray tmpl = QFile::encodeName(info.absolutePath() + "/." + info.fileName() + ".tmp-XXXXXX");
    if (!::mkdtemp(tmpl.data())) {
        m_error = QString("Cannot write %1: %2").arg(m_target, sysError(errno));
        return false;
    }
    m_dir = QFile::decodeName(tmpl);
    return true;
}

QString DzSafeFileSet::mainTempPath() const { return m_dir + QLatin1Char('/') + QFileInfo(m_target).fileName(); }

bool DzSafeFileSet::commit()
{
    if (m_dir.isEmpty()) {
        if (m_error.isEmpty()) m_error = QString("Cannot write %1: not open").arg(m_target);
        return false;
    }
    const QString mainName = QFileInfo(m_target).fileName();
    QStringList names = QDir(m_dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    if (!names.contains(mainName)) {
        m_error = QString("Cannot write %1: nothing was written").arg(m_target);
        return false;
    }
    // Every companion must be writable before any is moved.
    const QString folder = QFileInfo(m_target).absolutePath();
    for (const QString& n : names) {
        QString why;
        if (!DzSafeFile::checkTarget(folder + QLatin1Char('/') + n, &why)) {
            m_error = why;
            return false;
        }
    }
    names.removeAll(mainName);
    names.append(mainName);
    for (const QString& n : names) {
        QString why;
        if (!replace(m_dir + QLatin1Char('/') + n, folder + QLatin1Char('/') + n, folder + QLatin1Char('/') + n,
                     &why)) {
            m_error = why;
            return false;
        }
    }
    return true;
}
