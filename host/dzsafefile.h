#pragma once
// Every file the host, the plug-in and the application write goes through here.
//
// The new contents go to a temporary file beside the target; only after the whole file is
// written, flushed and synced to disk is it renamed over the target. A crash, a kill or a
// full disk at any moment therefore leaves either the complete old file or the complete new
// one. Targets that exist and are not regular files (folders, FIFOs, devices, sockets) are
// refused, as is any path whose folder lies in /dev, /proc or /sys: saving must never replace
// a special file by a regular one, nor write into a device. A symbolic link in the target's
// place is never written through, dangling or not: the new file replaces the link itself (a
// link to a folder is refused).
// Links among the folders on the way are followed.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

#include "dzexport.h"

class QFile;
class QImage;
class QIODevice;

class DZHOST_EXPORT DzSafeFile
{
public:
    explicit DzSafeFile(const QString& target);
    ~DzSafeFile();  // discards the temporary file unless committed
    DzSafeFile(const DzSafeFile&) = delete;
    DzSafeFile& operator=(const DzSafeFile&) = delete;

    // Checks the target and creates the temporary file, open for writing. False with
    // errorString() set when the target may not or cannot be written.
    bool open();
    // The temporary file while open; write through it.
    QIODevice* device() const;
    // Starts putting what was written so far on the disk without waiting for it, so a large
    // file written piece by piece leaves little for commit()'s sync. Changes nothing else.
    void startWriteback();
    // For libraries that write by path: open() then closeForPath(), let them write
    // tempPath(), then commit().
    void closeForPath();
    QString tempPath() const { return m_temp; }
    // The file that will be replaced (the target in its folder with the folders' links followed).
    QString finalPath() const { return m_final; }

    // Flushes, syncs and renames the temporary file over the target. False, with the
    // target untouched and the temporary file gone, when anything fails.
    bool commit();
    // Drops the temporary file; the target stays as it was.
    void discard();

    QString errorString() const { return m_error; }

    // Whether target may be written; why says what is wrong (one line naming the file).
    static bool checkTarget(const QString& target, QString* why);
    // The whole of data to target; false with why set on any failure.
    static bool writeAll(const QString& target, const QByteArray& data, QString* why);
    // An image in format ("PNG", "JPG", ...) to target, the same way.
    static bool writeImage(const QImage& image, const QString& target, const char* format, QString* why);

private:
    bool fail(const QString& what);

    QString m_target;
    QString m_final;
    QString m_temp;
    std::unique_ptr<QFile> m_file;
    int m_mode = 0;
    bool m_committed = false;
    QString m_error;
};

// Several files written together by a library that names some of them itself (an exporter
// that writes FILE.gltf and, beside it, FILE.bin). They are written into a temporary folder
// beside the target, then each is moved over its namesake beside the target as DzSafeFile
// does, the main file last, so each file is always whole and a reader of the main file never
// sees it before the files it refers to.
class DZHOST_EXPORT DzSafeFileSet
{
public:
    explicit DzSafeFileSet(const QString& mainTarget);
    ~DzSafeFileSet();  // removes the temporary folder and whatever is still in it

    // Creates the temporary folder; false with errorString() set.
    bool open();
    // Where the library should write the main file.
    QString mainTempPath() const;
    // Moves every file written into the folder beside the target.
    bool commit();
    QString errorString() const { return m_error; }

private:
    QString m_target;
    QString m_dir;
    QString m_error;
};
