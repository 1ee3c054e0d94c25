#pragma once
// Median, minimum and maximum of a benchmark's samples, as the JSON the run script reads.

#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <vector>

namespace zyr::bench {

// Adds "<name>_median", "<name>_min" and "<name>_max" to `out`; -1 for each when there are
// no samples.
inline void addStats(QJsonObject &out, const QString &name, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const bool none = samples.empty();
    out.insert(name + QStringLiteral("_median"), none ? -1.0 : samples[samples.size() / 2]);
    out.insert(name + QStringLiteral("_min"), none ? -1.0 : samples.front());
    out.insert(name + QStringLiteral("_max"), none ? -1.0 : samples.back());
}

} // namespace zyr::bench
