#include "import/frimportar.h"
#include "support/Controles.h"
#include "support/Files.h"
#include "support/TestDatabase.h"
#include "support/User.h"

#include "../reliability/Corpus.h"
#include "ImportFixtures.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "photos/FotosPrueba.h"
#include "photos/PhotoStrip.h"

#include "data/Avance.h"
#include "gui/Progreso.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <sys/resource.h>

using namespace Qt::StringLiterals;
using C = frimportar::Columna;

class tst_frimportar : public QObject {
    Q_OBJECT
private slots:
    void sesion();
    void entradasMalas();
    void fotos();
};

namespace {
struct Ventana {
    frimportar f;
    QTableView *grid = f.findChild<QTableView *>(u"DBimport"_s);
    QComboBox *obs = f.findChild<QComboBox *>(u"Cbobs"_s);
    QPushButton *importar = f.findChild<QPushButton *>(u"CdImportar"_s);

    Ventana() { f.show(); }
    // The file chosen in the dialog, then "Abrir"; the messages kept are those shown since.
    void Abrir(const QString &ruta) {
        MessageService::Limpiar();
        ChoiceService::Prueba().archivoAbrir = [ruta](const QString &) { return ruta; };
        QTest::mouseClick(f.findChild<QPushButton *>(u"CdAbrir"_s), Qt::LeftButton);
        QApplication::processEvents();
    }
    int Filas() const { return grid->model()->rowCount(); }
    QString Celda(int fila, int col) const {
        return grid->model()->index(fila, col).data().toString();
    }
    QStringList Columna(int col) const { return Valores(grid->model(), col); }
    // A row's cells, joined by '|'.
    QString Celdas(int fila, std::initializer_list<int> cols) const {
        QStringList r;
        for (const int col : cols)
            r << Celda(fila, col);
        return r.join(u'|');
    }
    QString Marcas() const {
        QString r;
        for (int i = 0; i < Filas(); ++i)
            r += grid->model()->index(i, C::ColMarca).data(Qt::CheckStateRole) == Qt::Checked
                     ? u'x'
                     : u'-';
        return r;
    }
    // A double click opens the cell's list (one closed before may linger until deleted).
    QComboBox *Lista(int fila, int col) {
        const QModelIndex celda = grid->model()->index(fila, col);
        grid->setCurrentIndex(celda);
        grid->edit(celda);
        QComboBox *lista = nullptr;
        for (auto *l : grid->viewport()->findChildren<QComboBox *>(u"Cblista"_s))
            if (l->isVisible()) lista = l;
        return lista;
    }
    // A choice in the cell's list is stored at once.
    void ElegirEnCelda(int fila, int col, const QString &texto) {
        QComboBox *lista = Lista(fila, col);
        QVERIFY(lista);
        User::Elegir(lista, texto);
        QApplication::processEvents();
    }
    // A text typed into the cell's list, then Enter: the cell as it stays, and what the
    // user was told.
    QString EscribirEnCelda(int fila, int col, const QString &texto) {
        QComboBox *lista = Lista(fila, col);
        if (!lista) return u"(no list)"_s;
        MessageService::Limpiar();
        User::Escribir(lista, texto);
        QTest::keyClick(lista, Qt::Key_Return);
        // The cell is stored after the key, and a refusal told after that.
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
        return Celda(fila, col) + u'|' +
               (MessageService::Mostrados().isEmpty() ? QString() : MessageService::Ultimo().texto);
    }
    // "Importar": what the user was told then.
    QString Importar() {
        MessageService::Limpiar();
        QTest::mouseClick(importar, Qt::LeftButton);
        QApplication::processEvents();
        return MessageService::Ultimo().texto;
    }
};

// Two observers, Luis Gil the default, and a locality at the Puerta del Sol.
void Preparar(const TestDatabase &bd) {
    for (const QString &sql :
         {u"INSERT INTO observador (cod_observador, nombre, apellido) VALUES ('ANA', 'Ana', "
          "'Pérez'), ('LUIS', 'Luis', 'Gil')"_s,
          u"UPDATE DefaultObs SET cd_obs = 'LUIS'"_s,
          u"INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmx, utmy, utmhuso, "
          "utm1k, utm10k) VALUES ('SOL', 'Puerta del Sol', 28, 28079, 440291, 4474254, '30', "
          "'VK4074', 'VK47')"_s})
        QVERIFY(bd.Ejecutar(sql));
}

QString Escribir(const TestDatabase &bd, const QString &nombre, const QByteArray &texto) {
    const QString ruta = bd.carpeta() + u'/' + nombre;
    return Files::Write(ruta, texto) ? ruta : QString(); // a file not written is never opened
}

// The most memory the process has held so far, in MiB.
long PicoMemoria() {
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return uso.ru_maxrss / 1024;
}

QByteArray Punto(QPointF p, const char *nombre, const char *hora = "2024-05-03T08:00:00Z") {
    return "<wpt lat=\"" + QByteArray::number(p.y(), 'f', 7) + "\" lon=\"" +
           QByteArray::number(p.x(), 'f', 7) + "\"><time>" + hora + "</time><name>" + nombre +
           "</name></wpt>\n";
}
} // namespace

void tst_frimportar::sesion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    Preparar(bd);
    Ventana v;
    QCOMPARE_EQ(v.obs->currentText(), u"LUIS - Luis Gil"_s); // the default observer first
    QVERIFY(!v.importar->isEnabled());

    // The dialog cancelled: nothing happens (a file refused: entradasMalas).
    v.Abrir(QString());
    QVERIFY(MessageService::Mostrados().isEmpty());

    const QPointF sol(-3.703790, 40.416775);
    const QByteArray gpx = "<gpx>\n" + Punto(sol, "Bufo calamita") +
                           Punto(Desplazar(sol.y(), sol.x(), 150, 0), "Punto 2") +
                           Punto(EnLimite(28079), "Rana perezi") +
                           Punto({-6.8, 36.6}, "Rana perezi") + "</gpx>\n";
    const QString archivo = Escribir(bd, u"salida.gpx"_s, gpx);
    v.Abrir(archivo);
    QCOMPARE_EQ(v.Columna(C::ColEstado), QStringList({"nueva", "especie no reconocida",
                                                      "elija el municipio", "fuera de España"}));
    QCOMPARE_EQ(v.Marcas(), u"x---"_s);
    QCOMPARE_EQ(
        v.Celdas(0, {C::ColFecha, C::ColEspecie, C::ColLocalidad, C::ColUtm1, C::ColMunicipio}),
        u"03/05/2024 10:00|EPICAL - Epidalea calamita|SOL - Puerta del Sol|VK4074|Madrid"_s);
    QVERIFY(v.Celda(2, C::ColMunicipio).contains(u"Madrid / "_s));
    QVERIFY(!(v.grid->model()->index(0, C::ColMunicipio).flags() & Qt::ItemIsEditable));
    QCOMPARE_EQ(v.f.findChild<QLabel *>(u"Lbresumen"_s)->text(),
                u"4 filas: 1 nueva, 0 duplicadas, 3 que no se pueden importar."_s);
    // Every column in the width the grid is given, the state whole at the right end; the
    // room a wider window gives is used.
    for (const int ancho : {1000, 1366}) {
        v.f.resize(ancho, v.f.height());
        QHeaderView *cabecera = v.grid->horizontalHeader();
        const int estado = v.grid->fontMetrics().horizontalAdvance(u"especie no reconocida"_s);
        QTRY_VERIFY2(cabecera->sectionViewportPosition(C::ColEstado) +
                                 cabecera->sectionSize(C::ColEstado) <=
                             v.grid->viewport()->width() &&
                         cabecera->sectionSize(C::ColEstado) >= estado &&
                         cabecera->length() >= v.grid->viewport()->width(),
                     qPrintable(u"%1: %2 + %3 in %4"_s.arg(ancho)
                                    .arg(cabecera->sectionViewportPosition(C::ColEstado))
                                    .arg(cabecera->sectionSize(C::ColEstado))
                                    .arg(v.grid->viewport()->width())));
    }

    // Typed into the species cell: a code completes, any name of one species finds it, and
    // a text that is no one species is refused aloud, the cell as it was.
    const QString rechazo = u"no es ninguna especie de la lista: elija una de las que ofrece."_s;
    // The text typed, the cell as it stays, whether the user is told.
    const std::tuple<const char *, const char *, bool> escritos[] = {
        {"partero c", "Punto 2", true},
        {"alyt", "Punto 2", true},
        {"alyo", "ALYOBS - Alytes obstetricans", false},
        {"sapo partero común", "ALYOBS - Alytes obstetricans", false},
        {"Hyla m", "ALYOBS - Alytes obstetricans", true},
        {"hyla meridionalis", "HYLMER - Hyla meridionalis", false},
        {"pangut", "PANGUT - Pantherophis guttatus", false},
        {"rana p", "PANGUT - Pantherophis guttatus", true},
    };
    for (const auto &[escrito, celda, avisado] : escritos) {
        const QString texto = QString::fromUtf8(escrito);
        QCOMPARE_EQ(v.EscribirEnCelda(1, C::ColEspecie, texto),
                    QString::fromUtf8(celda) + u'|' +
                        (avisado ? u"«%1» %2"_s.arg(texto, rechazo) : QString()));
    }
    QCOMPARE_EQ(v.Celda(1, C::ColEstado), u"nueva"_s);

    // The user names the species, chooses the municipality and leaves the first row out.
    v.ElegirEnCelda(1, C::ColEspecie, u"PELPER - Pelophylax perezi"_s);
    QCOMPARE_EQ(v.Celdas(1, {C::ColEstado, C::ColLocalidad}), u"nueva|(nueva) Punto 2"_s);
    const QString otro = v.Celda(2, C::ColMunicipio).section(u" / "_s, 1, 1);
    v.ElegirEnCelda(2, C::ColMunicipio, otro);
    QCOMPARE_EQ(v.Celdas(2, {C::ColEstado, C::ColMunicipio}), u"nueva|"_s + otro);
    v.grid->model()->setData(v.grid->model()->index(0, C::ColMarca), Qt::Unchecked,
                             Qt::CheckStateRole);
    QApplication::processEvents();
    QCOMPARE_EQ(v.Marcas(), u"-xx-"_s);
    User::Elegir(v.obs, u"ANA - Ana Pérez"_s);
    QApplication::processEvents();
    QCOMPARE_EQ(v.Marcas(), u"-xx-"_s);

    QCOMPARE_EQ(v.Importar(),
                u"Se han guardado 2 observaciones y 2 localidades nuevas. Filas no importadas: "
                "1 fuera de España; 1 sin marcar."_s);
    QCOMPARE_EQ(bd.Lineas(u"SELECT especie, localidad, observador1 FROM observacion ORDER BY "
                          "id_observacion"_s),
                u"PELPER|ANA0|ANA\nPELPER|ANA1|ANA"_s);
    QCOMPARE_EQ(v.Columna(C::ColEstado),
                QStringList({"nueva", "duplicada", "duplicada", "fuera de España"}));

    // The same file again: only the row left out is new, and stored once.
    v.Abrir(archivo);
    QCOMPARE_EQ(v.Marcas(), u"x---"_s);
    QVERIFY2(v.Importar().startsWith(u"Se han guardado 1 observación y 0 localidades nuevas."_s),
             qPrintable(MessageService::Ultimo().texto));
    QCOMPARE_EQ(bd.Contar(u"observacion"_s), 3);

    // Reading and storing show their progress and may be cancelled: a cancelled reading
    // leaves the preview as it was, a cancelled store stores nothing, even after hundreds of
    // rows went in.
    QByteArray muchas = "observed_on,latitude,longitude,scientific_name,place_guess\n";
    for (int i = 0; i < 600; ++i)
        muchas += QDate(2021, 1, 1).addDays(i).toString(Qt::ISODate).toLatin1() +
                  ",40.416775,-3.703790,Rana perezi,Sol\n";
    const QString largo = Escribir(bd, u"largo.csv"_s, muchas);
    Progreso::Limpiar();
    Progreso::CancelarEn(1);
    v.Abrir(largo);
    QVERIFY(MessageService::Mostrados().isEmpty());
    QCOMPARE_EQ(v.Columna(C::ColEstado), QStringList({"duplicada", "especie no reconocida",
                                                      "elija el municipio", "fuera de España"}));
    v.Abrir(largo);
    QCOMPARE_EQ(v.Filas(), 600);
    Progreso::CancelarEn(4);
    QCOMPARE_EQ(v.Importar(), Avances::kCancelado);
    QCOMPARE_EQ(MessageService::Ultimo().icono, QMessageBox::Information);
    QCOMPARE_EQ(bd.Contar(u"observacion"_s), 3);
    QCOMPARE_EQ(v.Marcas(), QString(600, u'x'));
    QStringList textos;
    for (const Progreso::Visto &visto : Progreso::Vistos())
        textos << visto.texto + (visto.cancelado ? u" (cancelado)"_s : QString());
    QCOMPARE_EQ(textos, QStringList({u"Leyendo largo.csv... (cancelado)"_s,
                                     u"Preparando la vista previa de largo.csv..."_s,
                                     u"Guardando las observaciones... (cancelado)"_s}));
    QVERIFY2(v.Importar().startsWith(u"Se han guardado 600 observaciones"_s),
             qPrintable(MessageService::Ultimo().texto));
    QCOMPARE_EQ(bd.Contar(u"observacion"_s), 603);

    // The owner's own iNaturalist export: the obscured row is taken at its true point with
    // the platform's precision; the one without its true point and the captive one are
    // left out, and the report says why.
    v.Abrir(Escribir(bd, u"propias.csv"_s,
                     "id,observed_on,time_observed_at,scientific_name,latitude,longitude,"
                     "positional_accuracy,private_latitude,private_longitude,"
                     "coordinates_obscured,captive_cultivated,place_guess\n"
                     "1,2024-04-12,2024-04-12 19:40:00 UTC,Chioglossa lusitanica,42.21903,"
                     "-8.56712,12,42.28734,-8.41325,true,false,Cascada\n"
                     "2,2024-04-12,2024-04-12 19:55:00 UTC,Chioglossa lusitanica,42.19845,"
                     "-8.60124,9,,,true,false,Pontevedra\n"
                     "3,2024-04-13,,Trachemys scripta,40.41526,-3.68450,5,,,false,true,Retiro\n"));
    QCOMPARE_EQ(v.Columna(C::ColEstado),
                QStringList({"nueva", "posición oculta en iNaturalist", "en cautividad"}));
    QCOMPARE_EQ(v.Celdas(0, {C::ColUtm10, C::ColIncertidumbre}), u"NG48|12"_s);
    QCOMPARE_EQ(v.Marcas(), u"x--"_s);
    QCOMPARE_EQ(v.Importar(),
                u"Se han guardado 1 observación y 1 localidad nueva. Filas no importadas: 1 en "
                "cautividad; 1 posición oculta en iNaturalist."_s);
    QCOMPARE_EQ(bd.Lineas(u"SELECT l.utm10k, l.incertidumbre FROM observacion o JOIN localidad l "
                          "ON l.cod_localidad = o.localidad WHERE o.fecha = '2024-04-12'"_s),
                u"NG48|12"_s);
    QCOMPARE_EQ(bd.Contar(u"observacion"_s), 604);

    // A failure half way: nothing is stored, and the user is told.
    bd.Rechazar(u"observacion"_s, u"disco lleno"_s, u"NEW.especie = 'TIMLEP'"_s);
    v.Abrir(Escribir(bd, u"inat.csv"_s,
                     "observed_on,latitude,longitude,scientific_name,place_guess\n"
                     "2024-06-01,40.4168,-3.7038,Rana perezi,Sol\n"
                     "2024-06-01,40.4168,-3.7038,Lacerta lepida,Sol\n"));
    QCOMPARE_EQ(v.Marcas(), u"xx"_s);
    QVERIFY2(v.Importar().startsWith(u"No se ha importado nada: "_s),
             qPrintable(MessageService::Ultimo().texto));
    QCOMPARE_EQ(bd.Contar(u"observacion"_s), 604);
    QCOMPARE_EQ(v.Marcas(), u"xx"_s);

    // A large platform export is read and previewed in memory bounded by its size. The peak
    // varies with the allocator, the sanitizers and the server driver; bench_importar_inat
    // measures the ratio itself. This bound catches a reader that grows past the file.
    QByteArray grande = "id,observed_on,time_observed_at,user_login,quality_grade,license,url,"
                        "latitude,longitude,positional_accuracy,place_guess,scientific_name,"
                        "common_name,description\n";
    for (int i = 0; i < 40000; ++i)
        grande +=
            u"%1,%2,%2 08:%3:00 UTC,user%4,research,CC-BY-NC,"
            "https://www.inaturalist.org/observations/%1,%5,%6,%7,\"Lugar %8, España\",%9,%10\n"_s
                .arg(100000 + i)
                .arg(u"2020-05-%1"_s.arg(10 + i % 20))
                .arg(10 + i % 50)
                .arg(i % 97)
                .arg(37.0 + (i * 104729LL % 10009) * 0.00055, 0, 'f', 6)
                .arg(-8.5 + (i * 7919LL % 10007) * 0.0011, 0, 'f', 6)
                .arg(5 + i % 40)
                .arg(i % 500)
                .arg(i % 2 ? u"Epidalea calamita,Natterjack"_s : u"Natrix maura,Viperine"_s)
                .arg(i % 7 ? QString() : u"en la charca"_s)
                .toUtf8();
    const QString archivoGrande = Escribir(bd, u"grande.csv"_s, grande);
    const long antes = PicoMemoria();
    v.Abrir(archivoGrande);
    QCOMPARE_EQ(v.Filas(), 40000);
    QVERIFY2((PicoMemoria() - antes) * 1024 * 1024 < 32 * grande.size(),
             qPrintable(u"%1 MiB for %2 bytes"_s.arg(PicoMemoria() - antes).arg(grande.size())));
}

void tst_frimportar::entradasMalas() {
    // The bad-input corpus as the texts of a file's records: each file is read right or
    // refused with a message; a save reported is a save made, never more.
    TestDatabase bd(TestDatabase::Datos::Reales);
    bd.Ejecutar(u"INSERT INTO observador (cod_observador) VALUES ('ANA')"_s);
    Ventana v;
    QLineEdit campo;
    int guardadas = 0, rechazos = 0;
    for (const Corpus::Entrada &e : Corpus::Para(&campo)) {
        QByteArray csv = "observed_on,latitude,longitude,scientific_name,description\n";
        const QByteArray citado = QString(e.texto).replace(u'"', u"\"\""_s).toUtf8();
        csv += "2024-05-03,40.4168,-3.7038,\"Rana perezi " + citado + "\",\"" + citado + "\"\n";
        const QByteArray gpx =
            "<gpx><wpt lat=\"40.4168\" lon=\"-3.7038\"><time>2024-05-03T08:00:00Z</time><name>" +
            e.texto.toHtmlEscaped().toUtf8() + "</name><desc>Rana perezi</desc></wpt></gpx>";
        for (const auto &[nombre, datos] :
             {std::pair{u"c.csv"_s, csv}, {u"g.gpx"_s, gpx}, {u"d.csv"_s, e.texto.toUtf8()}}) {
            bd.Ejecutar(u"DELETE FROM observacion"_s);
            v.Abrir(Escribir(bd, nombre, datos));
            if (!MessageService::Mostrados().isEmpty()) {
                QCOMPARE_EQ(MessageService::Ultimo().icono, QMessageBox::Warning);
                QCOMPARE_EQ(v.Filas(), 0);
                ++rechazos;
                continue;
            }
            const QString dicho = v.Importar();
            const int n = bd.Contar(u"observacion"_s);
            if (dicho.startsWith(u"Se han guardado 1 observación"_s)) {
                QCOMPARE_EQ(n, 1);
                ++guardadas;
                // What was stored is what the file held.
                if (nombre == u"c.csv"_s)
                    QCOMPARE_EQ(bd.Valor(u"SELECT descripcion FROM observacion"_s).toString(),
                                e.texto.trimmed());
            } else {
                QVERIFY2(n == 0, qPrintable(e.nombre + u' ' + dicho));
            }
        }
    }
    QVERIFY(guardadas > 10 && rechazos > 0);

    // Hostile files: each refused whole with its cause in Spanish, in bounded memory, and the
    // program goes on; entities that would expand 34 KB into 40 million characters among
    // them. A sheet inflating to 256 MiB from a small archive comes first, while
    // the peak memory of the process is still low enough to show what reading it cost.
    QDir(bd.carpeta()).mkpath(u"bomba/xl/worksheets"_s);
    QFile hoja(bd.carpeta() + u"/bomba/xl/worksheets/sheet1.xml"_s);
    QVERIFY(hoja.open(QIODevice::WriteOnly));
    hoja.write("<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>");
    for (int i = 0; i < 256; ++i) // a MiB at a time, to keep the peak low
        hoja.write(QByteArray(1 << 20, 'A'));
    hoja.write("</t></is></c></row></sheetData></worksheet>");
    hoja.close();
    QVERIFY(QProcess::execute(u"sh"_s, {u"-c"_s, u"cd \"$0\"/bomba && zip -qr9 ../bomba.xlsx xl"_s,
                                        bd.carpeta()}) == 0);
    hoja.remove();
    const QString corpus = QStringLiteral(TRITODEX_CORPUS_DIR);
    const QString danada = u"La hoja de cálculo está incompleta o dañada: "_s;
    // Each file, and why it is refused.
    const std::pair<QString, QString> hostiles[] = {
        {bd.carpeta() + u"/bomba.xlsx"_s, u"La hoja es demasiado grande para importarla."_s},
        {corpus + u"/gpx/hostil-entidades.gpx"_s,
         u"Línea 12: el GPX está incompleto o dañado (declara entidades propias, que el "
         "programa no admite)."_s},
        {corpus + u"/gpx/hostil-entidades-largas.gpx"_s,
         u"Línea 4: el GPX está incompleto o dañado (declara entidades propias, que el "
         "programa no admite)."_s},
        {corpus + u"/hoja/hostil-zip64-16tib.xlsx"_s,
         danada + u"declara un tamaño (17592186044416 bytes) que no es el de sus datos (12 "
                  "bytes)."_s},
        {corpus + u"/hoja/hostil-zip64-maximo.xlsx"_s,
         danada + u"declara un tamaño (9223372036854775807 bytes) que no es el de sus datos (12 "
                  "bytes)."_s},
        {corpus + u"/hoja/hostil-bomba.xlsx"_s, u"La hoja es demasiado grande para importarla."_s},
        {corpus + u"/hoja/hostil-danada.xlsx"_s,
         danada + u"los datos comprimidos están dañados."_s},
        {corpus + u"/hoja/hostil-no-zip.xlsx"_s, danada + u"no es un archivo comprimido (zip)."_s},
        {corpus + u"/gpx/hostil-anidado.gpx"_s,
         u"Línea 3: el GPX está incompleto o dañado (tiene elementos anidados a más de 64 "
         "niveles)."_s},
        {corpus + u"/csv/hostil-comillas.csv"_s,
         u"Línea 2: unas comillas se abren y no se cierran: el archivo parece cortado."_s},
    };
    bd.Ejecutar(u"DELETE FROM observacion"_s);
    for (const auto &[ruta, error] : hostiles) {
        const long antes = PicoMemoria();
        QElapsedTimer reloj;
        reloj.start();
        v.Abrir(ruta);
        QVERIFY2(PicoMemoria() - antes < 64, qPrintable(ruta));
        QVERIFY2(reloj.elapsed() < 20000, qPrintable(ruta));
        QCOMPARE_EQ(MessageService::Ultimo().icono, QMessageBox::Warning);
        QCOMPARE_EQ(MessageService::Ultimo().texto, u"No se puede importar el archivo %1. %2"_s.arg(
                                                        QFileInfo(ruta).fileName(), error));
        QCOMPARE_EQ(v.Filas(), 0);
    }

    // A description or a name beyond the one limit refuses its row, saying why; one at the
    // limit is stored whole.
    const QString largo = u"descripción o nombre de más de 65.535 caracteres"_s;
    const QByteArray limite(65535, 'x');
    const QByteArray csv =
        "observed_on,latitude,longitude,scientific_name,description,place_guess\n"
        "2024-05-03,40.4168,-3.7038,Rana perezi," +
        limite + ",Sol\n2024-05-04,40.4168,-3.7038,Rana perezi," + limite +
        "x,Sol\n2024-05-05,40.4168,-3.7038,Rana perezi,corta," + limite + "y\n";
    QStringList dichos;
    for (const auto &[ruta, estados] :
         {std::pair{Escribir(bd, u"largos.csv"_s, csv), QStringList({u"nueva"_s, largo, largo})},
          {Escribir(bd, u"largo.gpx"_s,
                    "<gpx><wpt lat=\"40.4168\" lon=\"-3.7038\"><time>2024-05-03T08:00:00Z</time>"
                    "<name>Rana perezi</name><desc>" +
                        QByteArray(70000, 'x') + "</desc></wpt></gpx>"),
           QStringList({largo})},
          {corpus + u"/csv/hostil-descripcion-larga.csv"_s, QStringList({largo})}}) {
        const long antes = PicoMemoria();
        v.Abrir(ruta);
        QVERIFY2(PicoMemoria() - antes < 64, qPrintable(ruta));
        QVERIFY2(MessageService::Mostrados().isEmpty(), qPrintable(MessageService::Ultimo().texto));
        QCOMPARE_EQ(v.Columna(C::ColEstado), estados);
        const QString dicho = v.Importar();
        dichos << dicho.mid(std::max<qsizetype>(0, dicho.indexOf(u"Filas no"_s)));
    }
    QCOMPARE_EQ(dichos, QStringList({u"Filas no importadas: 2 %1."_s.arg(largo),
                                     u"No hay ninguna fila nueva marcada para importar."_s,
                                     u"No hay ninguna fila nueva marcada para importar."_s}));
    QCOMPARE_EQ(bd.Contar(u"observacion"_s), 1);
    QCOMPARE_EQ(bd.Valor(u"SELECT length(descripcion) FROM observacion"_s).toInt(), 65535);
}

// A folder of photos: each geotagged one a row, the species chosen in the grid; those of one
// species, day and place one observation with its photos; those without position named.
void tst_frimportar::fotos() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    Preparar(bd);
    PhotoStrip::setOpciones(PhotoStore::Opciones{false, u"Luis Gil"_s});
    const QString carpeta = bd.carpeta() + u"/cámara"_s;
    QVERIFY(QDir().mkpath(carpeta));
    const QPointF sol(-3.703790, 40.416775), lejos = Desplazar(sol.y(), sol.x(), 400, 0);
    const auto foto = [&](const char *nombre, const QString &hora, std::optional<QPointF> p) {
        Files::Write(carpeta + u'/' + QLatin1String(nombre),
                     FotosPrueba::Foto({u"2024:05:03 "_s + hora,
                                        {},
                                        p ? std::optional(p->y()) : std::nullopt,
                                        p ? std::optional(p->x()) : std::nullopt}));
    };
    foto("sol1.jpg", u"10:15:00"_s, sol);
    foto("sol2.jpg", u"10:20:00"_s, Desplazar(sol.y(), sol.x(), 20, 0));
    foto("lejos.jpg", u"11:00:00"_s, lejos);
    foto("sinGps.jpg", u"12:00:00"_s, std::nullopt);
    Files::Write(carpeta + u"/roto.jpg"_s, FotosPrueba::Danada(FotosPrueba::Foto({u"x"_s})));
    Files::Write(carpeta + u"/notas.txt"_s, "no es una foto");

    Ventana v;
    ChoiceService::Prueba().carpeta = [&](const QString &, const QString &) { return carpeta; };
    MessageService::Limpiar();
    QTest::mouseClick(v.f.findChild<QPushButton *>(u"CdCarpetaFotos"_s), Qt::LeftButton);
    QCOMPARE(MessageService::Mostrados().size(), 1);
    QCOMPARE(MessageService::Ultimo().texto,
             u"Fotos que no se pueden importar:\n\nLa foto roto.jpg está dañada: sus datos (Exif) "
             "o su imagen no se pueden leer.\nLa foto sinGps.jpg no tiene posición (GPS)."_s);
    QCOMPARE(v.Columna(C::ColFecha),
             QStringList({u"03/05/2024 11:00"_s, u"03/05/2024 10:15"_s, u"03/05/2024 10:20"_s}));
    QCOMPARE(v.Marcas(), u"---"_s);
    for (int fila = 0; fila < 3; ++fila)
        v.ElegirEnCelda(fila, C::ColEspecie, u"EPICAL - Epidalea calamita"_s);
    QCOMPARE(v.Columna(C::ColEstado), QStringList({u"nueva"_s, u"nueva"_s, u"nueva"_s}));
    QCOMPARE(v.Celda(1, C::ColLocalidad), u"SOL - Puerta del Sol"_s);
    QCOMPARE(v.Marcas(), u"xxx"_s);

    QCOMPARE(v.Importar(), u"Se han guardado 2 observaciones con 3 fotos y 1 localidad nueva."_s);
    QCOMPARE(bd.Lineas(u"SELECT (SELECT count(*) FROM observacion), (SELECT count(*) FROM foto f "
                       "JOIN observacion o ON o.id_observacion = f.observacion WHERE o.localidad = "
                       "'SOL' AND o.horaini = '10:15'), (SELECT min(autor) || '|' || max(nombre) "
                       "FROM foto)"_s),
             u"2|2|Luis Gil|sol2.jpg"_s);
    PhotoStrip::setOpciones(std::nullopt);
}

QTEST_MAIN(tst_frimportar)
#include "tst_frimportar.moc"
