// Tests that need a service (the sound server, the RTMP server, an X server)
// skip where it is missing on a developer's machine; on CI (CI=true) a
// missing service is a broken set-up and fails the test instead, so that a
// green run never hides tests that did not run.
#pragma once

#include <QByteArray>
#include <QtTest>

namespace ServiceCheck
{
inline bool IsCi()
{
    return qgetenv("CI").trimmed().toLower() == "true";
}
}

// A macro because QSKIP and QFAIL leave the calling test function.
#define VISTREL_SKIP_WITHOUT_SERVICE(strWhy)                                                                           \
    do                                                                                                                 \
    {                                                                                                                  \
        const QByteArray baWhy_ = QString(strWhy).toUtf8();                                                            \
        if (ServiceCheck::IsCi())                                                                                      \
            QFAIL(baWhy_.constData());                                                                                 \
        QSKIP(baWhy_.constData());                                                                                     \
    } while (false)
