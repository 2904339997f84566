#pragma once

#include <QList>

#include <algorithm>
#include <functional>

// The median of measurements already taken.
inline qint64 MedianaDe(QList<qint64> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The medians of measurements taken in turn, one of each per round: a slow spell of the
// machine falls on all of them alike, not on whichever happened to run through it.
inline QList<qint64> Alternas(const QList<std::function<qint64()>> &medidas, int veces) {
    QList<QList<qint64>> v(medidas.size());
    for (int i = 0; i < veces; ++i)
        for (qsizetype m = 0; m < medidas.size(); ++m)
            v[m] << medidas[m]();
    QList<qint64> medianas;
    for (const QList<qint64> &x : v)
        medianas << MedianaDe(x);
    return medianas;
}

// The median of several runs of one measurement: one slow run (a cache, the other core)
// does not move it.
inline qint64 Mediana(const std::function<qint64()> &medir, int veces) {
    return Alternas({medir}, veces).front();
}
