// Fuzz target: the file-open dialog's filter string (parseFileFilters, FileFilter::matches and
// FileOpenDialog::clampFilterIndex), as a window writes it into the Filter property.
//
// The input's first byte picks how the rest becomes a string (UTF-8, UTF-16 or Latin-1) and a
// FilterIndex; the last 32 bytes, when there are more than 64, become a file name to match.
// Promises checked besides the sanitizers:
//   - any string gives at least one filter, and each filter at least one pattern;
//   - patterns are never empty, are trimmed and hold neither "|" nor ";", and descriptions hold
//     no "|"; there are never more filters than "|"-separated pairs;
//   - a filter with "*.*" or "*" among its patterns matches every name;
//   - every FilterIndex picks one of the filters: below 1 the first, above the count the last.

#include "FuzzCheck.h"

#include "media/FileFilter.h"
#include "media/FileOpenDialog.h"

using zyr::media::FileFilter;
using zyr::media::FileOpenDialog;
using zyr::media::parseFileFilters;

namespace {

QString asText(const char *bytes, qsizetype size, std::uint8_t how)
{
    switch (how % 3) {
    case 0:
        return QString::fromUtf8(bytes, size);
    case 1:
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes), size / 2);
    default:
        return QString::fromLatin1(bytes, size);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t how = data[0];
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    qsizetype length = qsizetype(size - 1);
    QString fileName = QStringLiteral("sound.wav");
    if (length > 64) {
        length -= 32;
        fileName = QString::fromUtf8(bytes + length, 32);
    }
    // UTF-16 wants an aligned copy.
    const QByteArray copy(bytes, length);
    const QString filter = asText(copy.constData(), copy.size(), how);

    const std::vector<FileFilter> filters = parseFileFilters(filter);
    ZYR_FUZZ_CHECK(!filters.empty());
    ZYR_FUZZ_CHECK(qsizetype(filters.size()) <= filter.count(QLatin1Char('|')) / 2 + 1);
    for (const FileFilter &f : filters) {
        ZYR_FUZZ_CHECK(!f.description.contains(QLatin1Char('|')));
        ZYR_FUZZ_CHECK(!f.patterns.isEmpty());
        bool everything = false;
        for (const QString &p : f.patterns) {
            ZYR_FUZZ_CHECK(!p.isEmpty());
            ZYR_FUZZ_CHECK(p == p.trimmed());
            ZYR_FUZZ_CHECK(!p.contains(QLatin1Char('|')) && !p.contains(QLatin1Char(';')));
            everything = everything || p == QLatin1String("*.*") || p == QLatin1String("*");
        }
        const bool matched = f.matches(fileName);
        ZYR_FUZZ_CHECK(!everything || matched);
        ZYR_FUZZ_CHECK(!everything || f.matches(QStringLiteral("README")));
    }

    const int indices[] = {-32768,
                           -1,
                           0,
                           1,
                           int(filters.size()),
                           int(filters.size()) + 1,
                           32767,
                           static_cast<std::int8_t>(how)};
    for (int index : indices) {
        const std::size_t shown = FileOpenDialog::clampFilterIndex(index, filters.size());
        ZYR_FUZZ_CHECK(shown < filters.size());
        if (index <= 1)
            ZYR_FUZZ_CHECK(shown == 0);
        else if (std::size_t(index) >= filters.size())
            ZYR_FUZZ_CHECK(shown == filters.size() - 1);
        else
            ZYR_FUZZ_CHECK(shown == std::size_t(index) - 1);
    }
    return 0;
}
