#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// A file's bytes read or written whole, as the tests compare them.
namespace Files {
// Empty when the file cannot be read.
inline QByteArray Read(const QString &ruta) {
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
inline bool Write(const QString &ruta, const QByteArray &bytes) {
    QFile f(ruta);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
} // namespace Files
