#pragma once

#include <QList>

#include <algorithm>
#include <functional>

// The medians of measurements taken in turn, one of each per round: a slow spell of the
// machine falls on all of them alike, not on whichever happened to run through it.
inline QList<qint64> Alternas(const QList<std::function<qint64()>> &medidas, int veces) {
    QList<QList<qint64>> v(medidas.size());
    for (int i = 0; i < veces; ++i)
        for (qsizetype m = 0; m < medidas.size(); ++m)
            v[m] << medidas[m]();
    QList<qint64> medianas;
    for (QList<qint64> &x : v) {
        std::sort(x.begin(), x.end());
        medianas << x[x.size() / 2];
    }
    return medianas;
}

// The median of several runs of one measurement: one slow run (a cache, the other core)
// does not move it.
inline qint64 Mediana(const std::function<qint64()> &medir, int veces) {
    return Alternas({medir}, veces).front();
}
