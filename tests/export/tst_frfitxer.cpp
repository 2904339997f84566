#include "data/Clock.h"
#include "support/Files.h"
#include "support/FullDisk.h"
#include "support/TestDatabase.h"

#include "export/frfitxer.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Progreso.h"
#include "photos/FotosPrueba.h"
#include "photos/PhotoStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QStorageInfo>
#include <QTest>

using namespace Qt::StringLiterals;

// The export as a user runs it: a folder reached through the two lists, "Generar", the
// message read; then the files and the archive as the association receives them.
class tst_frfitxer : public QObject {
    Q_OBJECT
private slots:
    void exportacion();
};

namespace {

// Reaches a folder as a user: the volume holding it, then one folder at a time.
void IrA(frfitxer &f, const QString &carpeta) {
    auto *unidades = f.findChild<QComboBox *>("Drive1");
    auto *lista = f.findChild<QListWidget *>("Driver1");
    const QString raiz = QStorageInfo(carpeta).rootPath();
    int i = unidades->findData(raiz);
    QVERIFY2(i >= 0, qPrintable(raiz));
    ModBaseDatos::ElegirComoUsuario(unidades, i);
    // The user's click in the list takes the focus there, away from the last button pressed.
    lista->setFocus();
    const QString camino = QDir(raiz).relativeFilePath(carpeta);
    for (const QString &parte : camino == u"." ? QStringList() : camino.split(u'/')) {
        const auto items = lista->findItems(parte, Qt::MatchExactly);
        QVERIFY2(items.size() == 1, qPrintable(parte));
        lista->setCurrentItem(items[0]);
        QTest::keyClick(lista, Qt::Key_Return);
    }
    QCOMPARE(f.Carpeta(), carpeta);
}

// The last message, title first; and how many were shown since the previous look.
QString Generar(frfitxer &f) {
    MessageService::Limpiar();
    QTest::mouseClick(f.findChild<QPushButton *>("Cdgenerar"), Qt::LeftButton);
    if (MessageService::Mostrados().size() != 1)
        return u"%1 mensajes"_s.arg(MessageService::Mostrados().size());
    return MessageService::Ultimo().titulo + u'|' + MessageService::Ultimo().texto;
}

// What an independent reader finds in the archive: the entry names, each extracted.
QStringList Entradas(const QString &archivo, const QString &destino) {
    QProcess p;
    p.start(u"python3"_s, {u"-c"_s,
                           u"import sys,zipfile\nz=zipfile.ZipFile(sys.argv[1])\n"
                           "assert z.testzip() is None\nz.extractall(sys.argv[2])\n"
                           "print('\\n'.join(sorted(z.namelist())))"_s,
                           archivo, destino});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// Windows-1252 text: ñ is \361, é \351, á \341; letters it lacks become "?".
const QByteArray kObservaciones =
    "id_observacion;observador1;observador2;observador3;observador4;fecha;horaini;horafin;"
    "periodo;meteo;viento;especie;numejemp;numaprox;estadio;conducta;descripcion;motivo;habitat;"
    "o.localidad;loc.localidad;utmhuso;utmx;utmy;utm10k;utm1k\r\n"
    "1;JPG;;;;15/02/2008;10:30;;1;2;3;BUFSPI;3;0;1;2;\"Bajo piedra; cerca del \"\"arroyo\"\"\";"
    "Muestreo;4;MAD1;Charca de Pe\361alara;30;440000;4474000;30TVK47;30TVK4074\r\n"
    "2;LKW;;;;01/03/2008;;;;;;SALSAL;;;;;;;;mad1;Charca de Pe\361alara;30;440000;4474000;"
    "30TVK47;30TVK4074\r\n\r\n";
const QByteArray kObservadores = "cod_observador;nombre;apellido;entidad;email;provincia;"
                                 "generacion\r\nJPG;Juan;P\351rez;SHE;j@x.es;M\341laga;\r\n"
                                 "LKW;?ukasz;W?s;;l@x.pl;;\r\n\r\n";

} // namespace

void tst_frfitxer::exportacion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    Clock::setHoy(QDate(2008, 2, 15));
    const QString carpeta = bd.carpeta() + u"/envío a la asociación"_s;
    QVERIFY(QDir().mkpath(carpeta));
    const auto Archivo = [&](const QString &n) { return carpeta + u'/' + n; };
    frfitxer f;
    f.show();
    QCOMPARE(f.Carpeta(), QDir::homePath());
    IrA(f, carpeta);

    // Each empty table is named and nothing is written.
    QCOMPARE(Generar(f), u"Ficheros ASCII|No hay ninguna observación con su localidad que "
                         "exportar.\nLa tabla de observadores está vacía: no hay observadores "
                         "que exportar.\n\nNo se ha generado ningún fichero."_s);
    bd.Ejecutar(
        u"INSERT INTO observador VALUES ('JPG','Juan','Pérez','SHE','j@x.es','Málaga',NULL),"
        "('LKW','Łukasz','Wąs',NULL,'l@x.pl',NULL,NULL)"_s);
    bd.Ejecutar(
        u"INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmx, utmy, utmhuso, "
        "utm1k, utm10k) VALUES ('MAD1','Charca de Peñalara',28,79,440000,4474000,'30',"
        "'30TVK4074','30TVK47')"_s);
    bd.Ejecutar(u"INSERT INTO observacion (observador1, fecha, horaini, periodo, meteo, viento, "
                "especie, numejemp, numaprox, estadio, conducta, descripcion, motivo, habitat, "
                "localidad) VALUES ('JPG','2008-02-15','10:30',1,2,3,'BUFSPI',3,0,1,2,"
                "'Bajo piedra; cerca del \"arroyo\"','Muestreo',4,'MAD1')"_s);
    bd.Ejecutar(u"INSERT INTO observacion (observador1, fecha, especie, localidad) VALUES "
                "('LKW','2008-03-01','SALSAL','mad1')"_s);
    // Observations whose locality is gone are not exported; an empty reasons table is named.
    QVERIFY(bd.db().transaction());
    bd.Ejecutar(u"UPDATE observacion SET localidad = 'NOEXISTE'"_s);
    bd.Ejecutar(u"DELETE FROM motivo"_s);
    QCOMPARE(Generar(f), u"Ficheros ASCII|No hay ninguna observación con su localidad que "
                         "exportar.\nLa tabla de motivos está vacía: no hay motivos que "
                         "exportar.\n\nNo se ha generado ningún fichero."_s);
    QVERIFY(bd.db().rollback());
    QCOMPARE(QDir(carpeta).entryList(QDir::Files), QStringList());

    // The three files byte for byte, and the archive beside them; two names lost letters.
    QCOMPARE(Generar(f), u"Ficheros ASCII|Los ficheros han sido generados\n\n2 valores tenían "
                         "caracteres que no existen en Windows-1252: se han escrito como «?»."_s);
    QCOMPARE(MessageService::Ultimo().icono, QMessageBox::Information);
    QCOMPARE(Files::Read(Archivo(u"obs0802.txt"_s)), kObservaciones);
    QCOMPARE(Files::Read(Archivo(u"ors0802.txt"_s)), kObservadores);
    // The reasons file: its line count, then its lines 1, 3 and 10.
    const QList<QByteArray> m = Files::Read(Archivo(u"mot0802.txt"_s)).split('\n');
    QCOMPARE(QByteArray::number(m.size()) + '|' + m.value(0) + '|' + m.value(2) + '|' + m.value(9),
             "11|id_motivo;motivo_cast;descripcion\r|"
             "2;Observaci\363n casual;Encuentro fortuito fuera de un muestreo\r|\r");
    const QString extraidos = bd.carpeta() + u"/extraídos"_s;
    const QStringList nombres{u"mot0802.txt"_s, u"obs0802.txt"_s, u"ors0802.txt"_s};
    QCOMPARE(Entradas(Archivo(u"TDX_0802.zip"_s), extraidos), nombres);
    for (const QString &n : nombres)
        QCOMPARE(Files::Read(extraidos + u'/' + n), Files::Read(Archivo(n)));

    // A second export in the month replaces the three entries and keeps any other.
    QProcess::execute(u"python3"_s, {u"-c"_s,
                                     u"import sys,zipfile\nzipfile.ZipFile(sys.argv[1],"
                                     "'a').writestr('nota.txt','hola')"_s,
                                     Archivo(u"TDX_0802.zip"_s)});
    bd.Ejecutar(u"UPDATE observador SET nombre = 'Lucas' WHERE cod_observador = 'LKW'"_s);
    QVERIFY(Generar(f).endsWith(u"generados\n\nUn valor tenía caracteres que no existen en "
                                "Windows-1252: se han escrito como «?»."_s));
    QCOMPARE(Entradas(Archivo(u"TDX_0802.zip"_s), extraidos),
             QStringList({nombres[0], u"nota.txt"_s, nombres[1], nombres[2]}));
    QVERIFY(Files::Read(extraidos + u"/ors0802.txt"_s).contains("LKW;Lucas;W?s"));
    QCOMPARE(Files::Read(extraidos + u"/ors0802.txt"_s), Files::Read(Archivo(u"ors0802.txt"_s)));

    // With "Incluir fotos": a second archive, each photo named by observation and order, the
    // text files as they were. At a sensitive species' locality every photo leaves without
    // its position.
    QList<Foto> fotos;
    for (int i = 0; i < 3; ++i) {
        QString error;
        const auto foto = PhotoStore::Preparar(
            FotosPrueba::Foto({u"2008:02:15 10:3%1:00"_s.arg(i), {}, 40.8, -3.9}), u"f.jpg"_s, {},
            &error);
        QVERIFY2(foto, qPrintable(error));
        fotos << *foto;
    }
    QVERIFY(PhotoStore().Asignar(1, fotos.mid(0, 2)) && PhotoStore().Asignar(2, fotos.mid(2)));
    bd.Ejecutar(u"UPDATE especie SET sensible = 0 WHERE cod_especie IN ('BUFSPI', 'SALSAL')"_s);
    f.findChild<QCheckBox *>("ChFotos")->setChecked(true);
    const QStringList conFotos{u"obs1_1.jpg"_s, u"obs1_2.jpg"_s, u"obs2_1.jpg"_s};
    for (const bool sensible : {false, true}) {
        bd.Ejecutar(u"UPDATE especie SET sensible = ? WHERE cod_especie = 'SALSAL'"_s,
                    {int(sensible)});
        QCOMPARE(Generar(f), u"Ficheros ASCII|Los ficheros han sido generados\n\nUn valor tenía "
                             "caracteres que no existen en Windows-1252: se han escrito como "
                             "«?».\n\nLas fotos (3) están en %1."_s.arg(
                                 QDir::toNativeSeparators(Archivo(u"TDX_fotos_0802.zip"_s))));
        QCOMPARE(Entradas(Archivo(u"TDX_fotos_0802.zip"_s), extraidos), conFotos);
        for (int i = 0; i < 3; ++i) {
            QString error;
            const auto d =
                ExifReader::Leer(Files::Read(extraidos + u'/' + conFotos[i]), {}, &error);
            QVERIFY2(d, qPrintable(error));
            QCOMPARE(d->TienePosicion(), !sensible);
            QCOMPARE(d->FechaIso(), fotos[i].fecha);
        }
    }
    QCOMPARE(Files::Read(Archivo(u"obs0802.txt"_s)), kObservaciones);
    // A rejected observation stays out of the file and of the photos, unless the user
    // unticks the box; the file's columns stay as they were.
    QVERIFY(bd.Ejecutar(u"UPDATE observacion SET verificacion = 'rechazada', "
                        "comentario_verificacion = 'No' WHERE id_observacion = 2"_s));
    auto *rechazadas = f.findChild<QCheckBox *>("ChRechazadas");
    QVERIFY(rechazadas->isChecked());
    QString texto = Generar(f);
    QVERIFY2(texto.contains(u"\n\nSe ha dejado fuera una observación rechazada.\n\nLas fotos "
                            "(2)"_s),
             qPrintable(texto));
    QCOMPARE(Files::Read(Archivo(u"obs0802.txt"_s)),
             kObservaciones.left(kObservaciones.indexOf("2;LKW")) + "\r\n");
    QTest::mouseClick(rechazadas, Qt::LeftButton, {}, QPoint(4, rechazadas->height() / 2));
    QVERIFY(!rechazadas->isChecked());
    texto = Generar(f);
    QVERIFY2(!texto.contains(u"rechazada"_s) && texto.contains(u"Las fotos (3)"_s),
             qPrintable(texto));
    QCOMPARE(Files::Read(Archivo(u"obs0802.txt"_s)), kObservaciones);
    f.findChild<QCheckBox *>("ChFotos")->setChecked(false);

    // An archive that cannot be written: the text files stay, the archive is named, no success.
    Clock::setHoy(QDate(2009, 11, 3));
    QVERIFY(QDir().mkpath(Archivo(u"TDX_0911.zip"_s)));
    QString aviso = Generar(f);
    // The cause in Spanish, not libzip's English.
    QVERIFY2(aviso.startsWith(u"Ficheros ASCII|No se ha podido escribir el archivo comprimido "_s +
                              QDir::toNativeSeparators(Archivo(u"TDX_0911.zip"_s)) +
                              u" (hay una carpeta con ese nombre)."_s),
             qPrintable(aviso));
    QCOMPARE(MessageService::Ultimo().icono, QMessageBox::Warning);
    QVERIFY(aviso.endsWith(u"Los tres ficheros de texto sí se han generado y se conservan en "_s +
                           QDir::toNativeSeparators(carpeta) + u'.'));
    QCOMPARE(Files::Read(Archivo(u"obs0911.txt"_s)), kObservaciones);
    // A file of the archive's name that is no archive is left as it was.
    QVERIFY(QDir().rmdir(Archivo(u"TDX_0911.zip"_s)));
    QVERIFY(Files::Write(Archivo(u"TDX_0911.zip"_s), "no es un zip"));
    QVERIFY(Generar(f).contains(u"no es un archivo zip válido"_s));
    QCOMPARE(Files::Read(Archivo(u"TDX_0911.zip"_s)), "no es un zip");
    QCOMPARE(QDir(carpeta).entryList({u"TDX_0911.zip.*"_s}), QStringList());

    // A folder that can no longer be written (a file took its name): the file is named.
    const QString perdida = bd.carpeta() + u"/destino"_s;
    QVERIFY(QDir().mkpath(perdida));
    IrA(f, perdida);
    QVERIFY(QDir().rmdir(perdida));
    QFile(perdida).open(QIODevice::WriteOnly);
    aviso = Generar(f);
    QVERIFY2(aviso.startsWith(u"Crear archivo de texto|No se puede crear el archivo "_s +
                              QDir::toNativeSeparators(perdida + u"/obs0911.txt"_s)),
             qPrintable(aviso));
    QCOMPARE(MessageService::Ultimo().icono, QMessageBox::Warning);

    // On a full disk (a real one, each file under 16 KB) and when the user cancels at each
    // step, the folder stays as the last export left it: no file changed, none added. The
    // full disk is said in Spanish under the warning icon; a cancel says nothing.
    FullDisk disco(bd.carpeta() + u"/disco"_s);
    QVERIFY2(disco.ok(), qPrintable(disco.error()));
    frfitxer g; // lists the new disk among the volumes
    g.show();
    IrA(g, disco.carpeta());
    QVERIFY(Generar(g).startsWith(u"Ficheros ASCII|Los ficheros han sido generados"_s));
    bd.Ejecutar(u"UPDATE observador SET nombre = 'Luis' WHERE cod_observador = 'LKW'"_s);
    const auto Carpeta = [&] {
        QStringList r;
        for (const QFileInfo &i :
             QDir(disco.carpeta())
                 .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name))
            if (i.fileName() != u".relleno")
                r << i.fileName() + u'=' + Files::Read(i.filePath()).toHex();
        return r;
    };
    const QStringList antes = Carpeta();
    QCOMPARE(antes.size(), 4);
    const QString lleno = u"Crear archivo de texto|El disco está lleno: no se ha podido escribir "
                          "el archivo %1."_s.arg(disco.carpeta() + u"/obs0911.txt"_s);
    // Cancelled at each report: one as each file begins, one before the archive, then
    // libzip's own.
    for (int cancelarEn = 0; cancelarEn <= 5; ++cancelarEn) {
        if (cancelarEn == 0) QVERIFY(disco.Llenar());
        Progreso::Limpiar();
        Progreso::CancelarEn(cancelarEn);
        QCOMPARE(Generar(g), cancelarEn == 0 ? lleno : u"0 mensajes"_s);
        if (cancelarEn == 0) QCOMPARE(MessageService::Ultimo().icono, QMessageBox::Warning);
        QVERIFY(Progreso::Vistos().size() == 1 &&
                Progreso::Vistos()[0].cancelado == (cancelarEn > 0));
        QCOMPARE(Carpeta(), antes);
        disco.Vaciar();
    }
    // With room again the export goes through on the same disk.
    QVERIFY(Generar(g).startsWith(u"Ficheros ASCII|Los ficheros han sido generados"_s));
    QVERIFY(Files::Read(disco.carpeta() + u"/ors0911.txt"_s).contains("LKW;Luis;W?s"));
}

QTEST_MAIN(tst_frfitxer)
#include "tst_frfitxer.moc"
