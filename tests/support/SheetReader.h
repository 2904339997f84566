#pragma once

#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QString>

// An .xlsx read back from its XML: each cell's shown value and its number format.
struct SheetReader {
    QMap<QString, QString> valor;   // "A4" -> text, or the stored number
    QMap<QString, QString> formato; // "A4" -> number format ("General" when none)
    QMap<QString, bool> negrita;    // "A3" -> bold
    QString seleccion;              // the active cell
    QList<double> anchos;           // column widths, A first
    bool ok = false;

    explicit SheetReader(const QString &ruta) {
        const QString hoja = Parte(ruta, "xl/worksheets/sheet1.xml");
        const QString estilos = Parte(ruta, "xl/styles.xml");
        ok = !hoja.isEmpty() && !estilos.isEmpty();
        QMap<QString, QString> codigos = {{"0", "General"}, {"1", "0"}, {"49", "@"}};
        static const QRegularExpression numFmt(
            R"x(<numFmt numFmtId="(\d+)" formatCode="([^"]*)")x");
        for (auto m = numFmt.globalMatch(estilos); m.hasNext();) {
            const auto r = m.next();
            codigos[r.captured(1)] = r.captured(2);
        }
        QStringList fuentesNegritas;
        static const QRegularExpression fuente(R"x(<font>(.*?)</font>|<font/>)x");
        for (auto m = fuente.globalMatch(estilos); m.hasNext();)
            fuentesNegritas << (m.next().captured(1).contains("<b/>") ? "1" : "0");
        QList<QPair<QString, QString>> xfs; // number format id, font id
        const QString celdas = estilos.section("<cellXfs", 1).section("</cellXfs>", 0, 0);
        static const QRegularExpression xf(R"x(<xf numFmtId="(\d+)" fontId="(\d+)")x");
        for (auto m = xf.globalMatch(celdas); m.hasNext();) {
            const auto r = m.next();
            xfs << qMakePair(r.captured(1), r.captured(2));
        }
        static const QRegularExpression celda(
            R"x(<c r="([A-Z]+\d+)"( s="(\d+)")?( t="(\w+)")?>(.*?)</c>)x");
        static const QRegularExpression texto(R"x(<t[^>]*>(.*?)</t>)x");
        static const QRegularExpression numero(R"x(<v>(.*?)</v>)x");
        for (auto m = celda.globalMatch(hoja); m.hasNext();) {
            const auto r = m.next();
            const QString ref = r.captured(1);
            const auto &contenido = r.captured(6);
            valor[ref] = Xml(r.captured(5) == "inlineStr" ? texto.match(contenido).captured(1)
                                                          : numero.match(contenido).captured(1));
            const int s = r.captured(3).isEmpty() ? 0 : r.captured(3).toInt();
            formato[ref] = s < xfs.size() ? codigos.value(xfs[s].first) : QString();
            negrita[ref] = s < xfs.size() && fuentesNegritas.value(xfs[s].second.toInt()) == "1";
        }
        static const QRegularExpression sel(R"x(<selection[^>]*activeCell="(\w+)")x");
        // With no selection written, a sheet opens on A1.
        seleccion = hoja.contains("<selection") ? sel.match(hoja).captured(1) : "A1";
        static const QRegularExpression col(R"x(<col min="(\d+)" max="\d+" width="([\d.]+)")x");
        for (auto m = col.globalMatch(hoja); m.hasNext();)
            anchos << m.next().captured(2).toDouble();
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
    static QString Parte(const QString &ruta, const char *parte) {
        QProcess unzip;
        unzip.start("unzip", {"-p", ruta, QString::fromLatin1(parte)});
        unzip.waitForFinished();
        return QString::fromUtf8(unzip.readAllStandardOutput());
    }
    static QString Xml(QString t) {
        return t.replace("&lt;", "<")
            .replace("&gt;", ">")
            .replace("&quot;", "\"")
            .replace("&apos;", "'")
            .replace("&amp;", "&");
    }
};
