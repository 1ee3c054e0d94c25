#include "media/FileFilter.h"

#include <QRegularExpression>

namespace zyr::media {

bool FileFilter::matches(const QString &fileName) const
{
    for (const QString &pattern : patterns) {
        if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*"))
            return true;
        const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern),
                                    QRegularExpression::CaseInsensitiveOption);
        // A pattern that makes no expression ("[a-") matches nothing; asked anyway, Qt would
        // warn on every name.
        if (re.isValid() && re.match(fileName).hasMatch())
            return true;
    }
    return false;
}

std::vector<FileFilter> parseFileFilters(const QString &filter)
{
    std::vector<FileFilter> filters;
    const QStringList items = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < items.size(); i += 2) {
        FileFilter f;
        f.description = items[i];
        const QString patterns = i + 1 < items.size() ? items[i + 1] : QString();
        // Blanks around a pattern are not part of it; a pattern of blanks is no pattern.
        for (const QString &p : patterns.split(QLatin1Char(';'))) {
            if (const QString pattern = p.trimmed(); !pattern.isEmpty())
                f.patterns << pattern;
        }
        if (f.patterns.isEmpty())
            f.patterns << QStringLiteral("*.*");
        if (f.description.isEmpty() && i + 1 >= items.size() && !filters.empty())
            break; // a trailing "|" adds nothing
        filters.push_back(f);
    }
    if (filters.empty())
        filters.push_back({QString(), {QStringLiteral("*.*")}});
    return filters;
}

} // namespace zyr::media
