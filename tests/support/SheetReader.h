#pragma once

#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QString>

// An .xlsx read back from its XML: each cell's shown value, number format and boldness.
struct SheetReader {
    QMap<QString, QString> valor;   // "A4" -> text, or the stored number
    QMap<QString, QString> formato; // "A4" -> number format ("General" when none)
    QMap<QString, bool> negrita;    // "A3" -> bold
    QList<double> anchos;           // column widths, A first
    bool ok = false;

    explicit SheetReader(const QString &ruta, int n = 1) {
        const QString hoja = Parte(ruta, "xl/worksheets/sheet" + QByteArray::number(n) + ".xml");
        const QString estilos = Parte(ruta, "xl/styles.xml");
        ok = !hoja.isEmpty() && !estilos.isEmpty();
        QMap<QString, QString> codigos = {{"0", "General"}, {"1", "0"}, {"49", "@"}};
        for (const auto &r : Buscar(R"x(<numFmt numFmtId="(\d+)" formatCode="([^"]*)")x", estilos))
            codigos[r.captured(1)] = r.captured(2);
        QList<bool> fuentesNegritas;
        for (const auto &r : Buscar(R"x(<font>(.*?)</font>|<font/>)x", estilos))
            fuentesNegritas << r.captured(1).contains("<b/>");
        // Cell styles in order: number format id, font id.
        const QString xfs = estilos.section("<cellXfs", 1).section("</cellXfs>", 0, 0);
        const auto estilo = Buscar(R"x(<xf numFmtId="(\d+)" fontId="(\d+)")x", xfs);
        // A text may hold line breaks.
        static const QRegularExpression texto(R"x(<t[^>]*>(.*?)</t>)x",
                                              QRegularExpression::DotMatchesEverythingOption),
            numero("<v>(.*?)</v>");
        for (const auto &r :
             Buscar(R"x(<c r="([A-Z]+\d+)"( s="(\d+)")?( t="(\w+)")?>(.*?)</c>)x", hoja)) {
            const QString ref = r.captured(1);
            const auto &dentro = r.captured(6);
            valor[ref] =
                Xml((r.captured(5) == "inlineStr" ? texto : numero).match(dentro).captured(1));
            const int s = r.captured(3).toInt(); // no style: the first
            formato[ref] = s < estilo.size() ? codigos.value(estilo[s].captured(1)) : QString();
            negrita[ref] =
                s < estilo.size() && fuentesNegritas.value(estilo[s].captured(2).toInt());
        }
        for (const auto &r : Buscar(R"x(<col min="(\d+)" max="\d+" width="([\d.]+)")x", hoja))
            anchos << r.captured(2).toDouble();
    }
    // Cells of one row, in column order, as shown.
    QStringList Fila(int fila, int columnas) const {
        QStringList r;
        for (int c = 0; c < columnas; ++c)
            r << valor.value(Columna(c) + QString::number(fila));
        return r;
    }
    static QString Columna(int c) {
        return c < 26 ? QString(QChar('A' + c))
                      : QString(QChar('A' + c / 26 - 1)) + QChar('A' + c % 26);
    }

private:
    static QList<QRegularExpressionMatch> Buscar(const char *patron, const QString &en) {
        QList<QRegularExpressionMatch> r;
        for (auto m = QRegularExpression(patron, QRegularExpression::DotMatchesEverythingOption)
                          .globalMatch(en);
             m.hasNext();)
            r << m.next();
        return r;
    }
    static QString Parte(const QString &ruta, const QByteArray &parte) {
        QProcess unzip;
        unzip.start("unzip", {"-p", ruta, QString::fromLatin1(parte)});
        unzip.waitForStarted();
        unzip.waitForFinished();
        return QString::fromUtf8(unzip.readAllStandardOutput());
    }
    static QString Xml(QString t) {
        for (const auto &[de, a] : {std::pair{"&lt;", "<"},
                                    {"&gt;", ">"},
                                    {"&quot;", "\""},
                                    {"&apos;", "'"},
                                    {"&amp;", "&"}})
            t.replace(de, a);
        return t;
    }
};
