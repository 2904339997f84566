#pragma once

#include <QList>

#include <algorithm>
#include <functional>

// The median of several runs of a measurement: one slow run (a cache, the other core)
// does not move it.
inline qint64 Mediana(const std::function<qint64()> &medir, int veces) {
    QList<qint64> v;
    for (int i = 0; i < veces; ++i)
        v << medir();
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
