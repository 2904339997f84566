#include "import/frimportar.h"
#include "support/TestDatabase.h"
#include "support/User.h"

#include "../reliability/Corpus.h"
#include "Importacion.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>

using namespace Qt::StringLiterals;
using C = frimportar::Columna;

class tst_frimportar : public QObject {
    Q_OBJECT
private slots:
    void sesion();
    void entradasMalas();
};

namespace {
struct Ventana {
    frimportar f;
    QTableWidget *grid = f.findChild<QTableWidget *>(u"DBimport"_s);
    QComboBox *obs = f.findChild<QComboBox *>(u"Cbobs"_s);
    QPushButton *abrir = f.findChild<QPushButton *>(u"CdAbrir"_s);
    QPushButton *importar = f.findChild<QPushButton *>(u"CdImportar"_s);

    Ventana() { f.show(); }
    // The file chosen in the dialog, then "Abrir".
    void Abrir(const QString &ruta) {
        ChoiceService::Prueba().archivoAbrir = [ruta](const QString &) { return ruta; };
        QTest::mouseClick(abrir, Qt::LeftButton);
        QApplication::processEvents();
    }
    QString Celda(int fila, int col) const {
        return grid->item(fila, col) ? grid->item(fila, col)->text() : QString();
    }
    QStringList Columna(int col) const {
        QStringList r;
        for (int i = 0; i < grid->rowCount(); ++i)
            r << Celda(i, col);
        return r;
    }
    QString Marcas() const {
        QString r;
        for (int i = 0; i < grid->rowCount(); ++i)
            r += grid->item(i, C::ColMarca)->checkState() == Qt::Checked ? u'x' : u'-';
        return r;
    }
    // A double click opens the cell's list; the choice is stored at once.
    void ElegirEnCelda(int fila, int col, const QString &texto) {
        QTableWidgetItem *celda = grid->item(fila, col);
        QVERIFY(celda->flags() & Qt::ItemIsEditable);
        grid->setCurrentItem(celda);
        grid->editItem(celda);
        // The list just opened; one closed before may linger until deleted.
        QComboBox *lista = nullptr;
        for (auto *l : grid->viewport()->findChildren<QComboBox *>(u"Cblista"_s))
            if (l->isVisible()) lista = l;
        QVERIFY(lista);
        User::Elegir(lista, texto);
        QApplication::processEvents();
    }
    // A text typed into the cell's list, then Enter: the cell as it stays, and what the
    // user was told.
    QString EscribirEnCelda(int fila, int col, const QString &texto) {
        QTableWidgetItem *celda = grid->item(fila, col);
        grid->setCurrentItem(celda);
        grid->editItem(celda);
        QComboBox *lista = nullptr;
        for (auto *l : grid->viewport()->findChildren<QComboBox *>(u"Cblista"_s))
            if (l->isVisible()) lista = l;
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
    void Importar() {
        QTest::mouseClick(importar, Qt::LeftButton);
        QApplication::processEvents();
    }
};

QString Escribir(const TestDatabase &bd, const QString &nombre, const QByteArray &texto) {
    const QString ruta = bd.carpeta() + u'/' + nombre;
    QFile f(ruta);
    if (f.open(QIODevice::WriteOnly)) f.write(texto);
    return ruta;
}

QByteArray Punto(QPointF p, const char *nombre, const char *hora = "2024-05-03T08:00:00Z") {
    return "<wpt lat=\"" + QByteArray::number(p.y(), 'f', 7) + "\" lon=\"" +
           QByteArray::number(p.x(), 'f', 7) + "\"><time>" + hora + "</time><name>" + nombre +
           "</name></wpt>\n";
}
} // namespace

void tst_frimportar::sesion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    QVERIFY(bd.ok());
    bd.Ejecutar(u"INSERT INTO observador (cod_observador, nombre, apellido) VALUES "
                "('ANA', 'Ana', 'Pérez'), ('LUIS', 'Luis', 'Gil')"_s);
    bd.Ejecutar(u"UPDATE DefaultObs SET cd_obs = 'LUIS'"_s);
    bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmx, utmy, "
                "utmhuso, utm1k, utm10k) VALUES ('SOL', 'Puerta del Sol', 28, 28079, 440291, "
                "4474254, '30', 'VK4074', 'VK47')"_s);
    Ventana v;
    QCOMPARE_EQ(v.obs->currentText(), u"LUIS - Luis Gil"_s); // the default observer first
    QVERIFY(!v.importar->isEnabled());

    // The dialog cancelled: nothing happens. A cut file: refused whole, naming the line.
    v.Abrir(QString());
    QVERIFY(MessageService::Mostrados().isEmpty());
    v.Abrir(Escribir(bd, u"malo.gpx"_s, "<gpx>\n<wpt lat=\"40\" lon=\"-3\">\n<name>Rana"));
    QCOMPARE_EQ(MessageService::Ultimo().icono, QMessageBox::Warning);
    QVERIFY2(MessageService::Ultimo().texto.startsWith(
                 u"No se puede importar el archivo malo.gpx. Línea 3: el GPX está incompleto"_s),
             qPrintable(MessageService::Ultimo().texto));
    QCOMPARE_EQ(v.grid->rowCount(), 0);

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
    QCOMPARE_EQ(v.Celda(0, C::ColFecha), u"03/05/2024 10:00"_s);
    QCOMPARE_EQ(v.Celda(0, C::ColEspecie), u"EPICAL - Epidalea calamita"_s);
    QCOMPARE_EQ(v.Celda(0, C::ColLocalidad), u"SOL - Puerta del Sol"_s);
    QCOMPARE_EQ(v.Celda(0, C::ColUtm1), u"VK4074"_s);
    QCOMPARE_EQ(v.Celda(0, C::ColMunicipio), u"Madrid"_s);
    QVERIFY(v.Celda(2, C::ColMunicipio).contains(u"Madrid / "_s));
    QVERIFY(!(v.grid->item(0, C::ColMunicipio)->flags() & Qt::ItemIsEditable));
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
    const struct {
        const char *texto, *celda;
        bool avisado;
    } escritos[] = {
        {"partero c", "Punto 2", true},
        {"alyt", "Punto 2", true},
        {"alyo", "ALYOBS - Alytes obstetricans", false},
        {"sapo partero común", "ALYOBS - Alytes obstetricans", false},
        {"Hyla m", "ALYOBS - Alytes obstetricans", true},
        {"hyla meridionalis", "HYLMER - Hyla meridionalis", false},
        {"pangut", "PANGUT - Pantherophis guttatus", false},
        {"rana p", "PANGUT - Pantherophis guttatus", true},
    };
    for (const auto &e : escritos) {
        const QString texto = QString::fromUtf8(e.texto);
        QCOMPARE_EQ(v.EscribirEnCelda(1, C::ColEspecie, texto),
                    QString::fromUtf8(e.celda) + u'|' +
                        (e.avisado ? u"«%1» %2"_s.arg(texto, rechazo) : QString()));
    }
    QCOMPARE_EQ(v.Celda(1, C::ColEstado), u"nueva"_s);

    // The user names the species, chooses the municipality and leaves the first row out.
    v.ElegirEnCelda(1, C::ColEspecie, u"PELPER - Pelophylax perezi"_s);
    QCOMPARE_EQ(v.Celda(1, C::ColEstado), u"nueva"_s);
    QCOMPARE_EQ(v.Celda(1, C::ColLocalidad), u"(nueva) Punto 2"_s);
    const QString otro = v.Celda(2, C::ColMunicipio).section(u" / "_s, 1, 1);
    v.ElegirEnCelda(2, C::ColMunicipio, otro);
    QCOMPARE_EQ(v.Celda(2, C::ColEstado), u"nueva"_s);
    QCOMPARE_EQ(v.Celda(2, C::ColMunicipio), otro);
    v.grid->item(0, C::ColMarca)->setCheckState(Qt::Unchecked);
    QApplication::processEvents();
    QCOMPARE_EQ(v.Marcas(), u"-xx-"_s);
    User::Elegir(v.obs, u"ANA - Ana Pérez"_s);
    QApplication::processEvents();
    QCOMPARE_EQ(v.Marcas(), u"-xx-"_s);

    v.Importar();
    QCOMPARE_EQ(MessageService::Ultimo().texto,
                u"Se han guardado 2 observaciones y 2 localidades nuevas. Filas no importadas: "
                "1 fuera de España, 1 sin marcar."_s);
    QSqlQuery guardadas(bd.db());
    QVERIFY(guardadas.exec(u"SELECT especie || '@' || localidad || '@' || observador1 "
                           "FROM observacion ORDER BY id_observacion"_s));
    QStringList filas;
    while (guardadas.next())
        filas << guardadas.value(0).toString();
    QCOMPARE_EQ(filas, QStringList({"PELPER@ANA0@ANA", "PELPER@ANA1@ANA"}));
    QCOMPARE_EQ(v.Columna(C::ColEstado),
                QStringList({"nueva", "duplicada", "duplicada", "fuera de España"}));
    v.Importar();
    QCOMPARE_EQ(MessageService::Ultimo().texto,
                u"No hay ninguna fila nueva marcada para importar."_s);

    // The same file again: only the row left out is new, and stored once.
    v.Abrir(archivo);
    QCOMPARE_EQ(v.Marcas(), u"x---"_s);
    v.Importar();
    QVERIFY2(MessageService::Ultimo().texto.startsWith(
                 u"Se han guardado 1 observación y 0 localidades nuevas."_s),
             qPrintable(MessageService::Ultimo().texto));
    QCOMPARE_EQ(bd.Contar(u"observacion"_s), 3);

    // A failure half way: nothing is stored, and the user is told.
    bd.Rechazar(u"observacion"_s, u"disco lleno"_s, u"NEW.especie = 'TIMLEP'"_s);
    v.Abrir(Escribir(bd, u"inat.csv"_s,
                     "observed_on,latitude,longitude,scientific_name,place_guess\n"
                     "2024-06-01,40.4168,-3.7038,Rana perezi,Sol\n"
                     "2024-06-01,40.4168,-3.7038,Lacerta lepida,Sol\n"));
    QCOMPARE_EQ(v.Marcas(), u"xx"_s);
    v.Importar();
    QVERIFY2(MessageService::Ultimo().texto.startsWith(u"No se ha importado nada: "_s),
             qPrintable(MessageService::Ultimo().texto));
    QCOMPARE_EQ(bd.Contar(u"observacion"_s), 3);
    QCOMPARE_EQ(v.Marcas(), u"xx"_s);
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
        QString xml = e.texto.toHtmlEscaped();
        const QByteArray gpx =
            "<gpx><wpt lat=\"40.4168\" lon=\"-3.7038\"><time>2024-05-03T08:00:00Z"
            "</time><name>" +
            xml.toUtf8() +
            "</name><desc>Rana perezi</desc>"
            "</wpt></gpx>";
        for (const auto &[nombre, datos] :
             {std::pair{u"c.csv"_s, csv}, {u"g.gpx"_s, gpx}, {u"d.csv"_s, e.texto.toUtf8()}}) {
            MessageService::Limpiar();
            bd.Ejecutar(u"DELETE FROM observacion"_s);
            v.Abrir(Escribir(bd, nombre, datos));
            if (!MessageService::Mostrados().isEmpty()) {
                QCOMPARE_EQ(MessageService::Ultimo().icono, QMessageBox::Warning);
                QCOMPARE_EQ(v.grid->rowCount(), 0);
                ++rechazos;
                continue;
            }
            v.Importar();
            const QString dicho = MessageService::Ultimo().texto;
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
}

QTEST_MAIN(tst_frimportar)
#include "tst_frimportar.moc"
