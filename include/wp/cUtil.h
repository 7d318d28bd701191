#pragma once
// The archive utility: one entry of a ZIP archive (the user's template
// archive "app.mvdt") read or written as UTF-8 text.

#include <QString>

namespace wp {

class cUtil {
public:
    /// Entries larger than this are refused rather than read into memory.
    static constexpr qint64 MaxEntrySize = 64 * 1024 * 1024;

    /// The text of entry `entry` of the archive at `archivePath`; "" when the
    /// archive or the entry is missing, or the archive cannot be read.
    QString ReadEntry(const QString& archivePath, const QString& entry);

    /// Stores `text` as entry `entry`, creating the archive or the entry when
    /// missing and replacing it otherwise. The write is atomic: on failure
    /// the old archive is left as it was. Throws wp::Error with a clear
    /// description when the archive cannot be written.
    void WriteEntry(const QString& archivePath, const QString& entry, const QString& text);

    /// Why the last ReadEntry gave "" although the archive exists ("" when
    /// it simply was missing or the read succeeded).
    QString lastError() const { return m_lastError; }

private:
    QString m_lastError;
};

} // namespace wp
