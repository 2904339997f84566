#pragma once

// An export on a full disk (a real one) and cancelled at each of its progress window's
// first reports: the file it would replace stays as it was, alone on the disk. The full
// disk is said in one message, `lleno`, under the warning icon; a cancel says nothing.

#include "support/Files.h"
#include "support/FullDisk.h"

#include "gui/MessageService.h"
#include "gui/Progreso.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <functional>

inline void KeptOnFullDisk(FullDisk &disco, const QString &ruta, const QString &lleno,
                           const std::function<void()> &exportar) {
    for (int cancelarEn : {0, 1, 2}) {
        const QString caso = ruta + u' ' + QString::number(cancelarEn);
        QVERIFY(Files::Write(ruta, "el de antes"));
        if (cancelarEn == 0) QVERIFY(disco.Llenar());
        MessageService::Limpiar();
        Progreso::Limpiar();
        Progreso::CancelarEn(cancelarEn);
        exportar();
        const auto &vistos = MessageService::Mostrados();
        QVERIFY2(vistos.size() == (cancelarEn ? 0 : 1), qPrintable(caso));
        if (!cancelarEn) {
            QCOMPARE(vistos.last().texto, lleno);
            QCOMPARE(vistos.last().icono, QMessageBox::Warning);
        }
        QCOMPARE(Progreso::Vistos().size(), 1);
        QCOMPARE(Progreso::Vistos()[0].cancelado, cancelarEn > 0);
        QCOMPARE(Files::Read(ruta), "el de antes");
        QCOMPARE(QDir(disco.carpeta()).entryList(QDir::Files),
                 QStringList{QFileInfo(ruta).fileName()});
        QVERIFY(QFile::remove(ruta));
        disco.Vaciar();
    }
}
