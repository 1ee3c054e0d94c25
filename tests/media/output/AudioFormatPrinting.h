#pragma once
// Lets QCOMPARE print an AudioFormat when a comparison fails.

#include "media/output/AudioFormat.h"

#include <QByteArray>
#include <QtTest>

namespace zyr::media {

inline char *toString(const AudioFormat &format)
{
    return QTest::toString(QByteArray::number(format.sampleRate) + " Hz x" +
                           QByteArray::number(format.channels));
}

} // namespace zyr::media
