#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace zyr::media {

// One entry of a file-open dialog's filter list: what the user reads and the patterns it
// stands for ("*.wav", or several separated by ";").
struct FileFilter {
    QString description;
    QStringList patterns;

    // Whether `fileName` matches one of the patterns, regardless of case; "*.*" and "*"
    // match every file, a name without an extension included.
    bool matches(const QString &fileName) const;
};

// Parses "Description|pattern|Description|pattern". Empty patterns become "*.*"; a trailing
// description without a pattern stands for every file. Never fails: any string gives a list,
// at least one entry long.
std::vector<FileFilter> parseFileFilters(const QString &filter);

} // namespace zyr::media
