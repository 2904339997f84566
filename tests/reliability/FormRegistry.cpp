#include "FormRegistry.h"

#include "Corpus.h"
#include "support/User.h"

#include "data/ModConex.h"
#include "export/frfitxer.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "localities/frinsLoc.h"
#include "localities/frloc.h"
#include "localities/frmodifloc.h"
#include "observations/FrDate.h"
#include "observations/frmotivos.h"
#include "observations/newobs.h"
#include "observers/frinsObs.h"
#include "observers/frmodifobs.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QWidget>
#include <algorithm>

using namespace Qt::StringLiterals;
using FormRegistry::Regla;

namespace {

template <class T = QWidget> T *Hijo(QWidget *f, const QString &nombre) {
    return f->findChild<T *>(nombre);
}

// Chooses the item when the list has it: the session also refills forms whose lists its
// earlier actions have narrowed, and then the fill does what it can.
void Elegir(QWidget *f, const QString &campo, const QString &texto) {
    auto *lista = qobject_cast<QComboBox *>(Hijo(f, campo));
    const int i = lista->findText(texto, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i >= 0) ModBaseDatos::ElegirComoUsuario(lista, i);
}

void Escribir(QWidget *f, const QString &campo, const QString &texto) {
    QWidget *w = Hijo(f, campo);
    User::Escribir(w, texto);
    User::SalirDe(w);
}

const QString kObservador = u"INSERT INTO observador (cod_observador, nombre, apellido, "
                            "entidad, email, provincia) VALUES "
                            "('JPG', 'Juan', 'Pérez', 'AHE', 'j@x.es', 'Madrid'), "
                            "('ONE61', 'Seán', 'O''Neill', 'SHE', 's@x.ie', '')"_s;

const QString kLocalidad =
    u"INSERT INTO localidad (id_localidad, cod_localidad, localidad, prov, "
    "muni, utmhuso, utmx, utmy, utm1k, utm10k) VALUES (900007, 'LMOD7', 'Laguna', "
    "28, 28079, '30', 440291, 4474254, 'VK4074', 'VK47')"_s;

QList<FormRegistry::Columna> ColumnasLocalidad(const QString &codigo) {
    return {
        {codigo, u"localidad"_s, u"cod_localidad"_s, Regla::Codigo},
        {u"Txloc"_s, u"localidad"_s, u"localidad"_s},
        {u"Cbprov"_s, u"localidad"_s, u"prov"_s, Regla::Id,
         u"SELECT id_prov FROM tprovincia WHERE prov_cast = ?"_s},
        {u"Cbmuni"_s, u"localidad"_s, u"muni"_s, Regla::Id,
         u"SELECT id_muni FROM tmunicipio WHERE muni = ?"_s},
        {u"Cbhuso"_s, u"localidad"_s, u"utmhuso"_s},
        {u"Txutmx"_s, u"localidad"_s, u"utmx"_s, Regla::Entero},
        {u"Txutmy"_s, u"localidad"_s, u"utmy"_s, Regla::Entero},
        {u"txutm1k"_s, u"localidad"_s, u"utm1k"_s},
        {u"cb10k"_s, u"localidad"_s, u"utm10k"_s},
    };
}

QList<FormRegistry::Columna> ColumnasObservador(bool conCodigo) {
    QList<FormRegistry::Columna> r = {
        {u"Txnomobs"_s, u"observador"_s, u"nombre"_s},
        {u"Txcognom"_s, u"observador"_s, u"apellido"_s},
        {u"Txentidad"_s, u"observador"_s, u"entidad"_s},
        {u"Txmail"_s, u"observador"_s, u"email"_s},
        {u"Cbprov"_s, u"observador"_s, u"provincia"_s},
    };
    r.prepend({conCodigo ? u"Txcod"_s : u"Lbcode"_s, u"observador"_s, u"cod_observador"_s,
               Regla::Codigo});
    return r;
}

} // namespace

// To add a form: one entry here. The corpus test then feeds every text field and editable
// list it has, and the random session checks every click on its save buttons.
const QList<FormRegistry::Formulario> &FormRegistry::Registro() {
    static const QList<Formulario> registro = {
        {u"newobs"_s,
         kObservador,
         [] { return new newobs; },
         [](QWidget *f) {
             Escribir(f, u"Txobs1"_s, u"JPG"_s);
             Escribir(f, u"Cbespecie"_s, u"salsal"_s);
             // A new locality, so that every locality field can be typed into and is stored.
             Escribir(f, u"Cbloc"_s, u"Fuente del Berro"_s);
             Elegir(f, u"Cbhuso"_s, u"30"_s);
             Escribir(f, u"Txlong"_s, u"440291"_s);
             Escribir(f, u"Txlat"_s, u"4474254"_s);
             Elegir(f, u"Cbprov"_s, u"Madrid"_s);
             Elegir(f, u"Cbmuni"_s, u"Madrid"_s);
         },
         {u"Cbguardar"_s, u"Cbnueva"_s},
         u"Se ha registrado la observación"_s,
         {{u"observacion"_s, u"rowid > :max"_s}, {u"localidad"_s, u"rowid > :max"_s, false}},
         {
             {u"Txobs1"_s, u"observacion"_s, u"observador1"_s, Regla::Codigo},
             {u"Txobs2"_s, u"observacion"_s, u"observador2"_s, Regla::Codigo},
             {u"Txobs3"_s, u"observacion"_s, u"observador3"_s, Regla::Codigo},
             {u"Txobs4"_s, u"observacion"_s, u"observador4"_s, Regla::Codigo},
             {u"Txdata"_s, u"observacion"_s, u"fecha"_s},
             {u"Txhini"_s, u"observacion"_s, u"horaini"_s},
             {u"Txhfi"_s, u"observacion"_s, u"horafin"_s},
             {u"Cbespecie"_s, u"observacion"_s, u"especie"_s, Regla::Especie},
             {u"Txexemplars"_s, u"observacion"_s, u"numejemp"_s, Regla::Entero},
             {u"Check1"_s, u"observacion"_s, u"numaprox"_s},
             {u"Txdesc"_s, u"observacion"_s, u"descripcion"_s, Regla::Acento},
             {u"Cbmotivo"_s, u"observacion"_s, u"motivo"_s},
             {u"Cbperiodo"_s, u"observacion"_s, u"periodo"_s, Regla::Id,
              u"SELECT id_periodo FROM tperiodo WHERE period_cast = ?"_s},
             {u"Cbmeteo"_s, u"observacion"_s, u"meteo"_s, Regla::Id,
              u"SELECT id_meteo FROM tmeteo WHERE meteo_cast = ?"_s},
             {u"Cbvents"_s, u"observacion"_s, u"viento"_s, Regla::Id,
              u"SELECT id_beaufort FROM tbeaufort WHERE viento || ' (' || velocidad || ')' = ?"_s},
             {u"Cbestadio"_s, u"observacion"_s, u"estadio"_s, Regla::Id,
              u"SELECT id_estadio FROM testadio WHERE estad_cast = ?"_s},
             {u"Cbconducta"_s, u"observacion"_s, u"conducta"_s, Regla::Id,
              u"SELECT id_conducta FROM tconducta WHERE conduct_cast = ?"_s},
             {u"Cbhabitat"_s, u"observacion"_s, u"habitat"_s, Regla::Id,
              u"SELECT id_habitat FROM thabitat WHERE habitat = ?"_s},
             {u"Cbloc"_s, u"localidad"_s, u"localidad"_s, Regla::Acento},
             {u"Cbprov"_s, u"localidad"_s, u"prov"_s, Regla::Id,
              u"SELECT id_prov FROM tprovincia WHERE prov_cast = ?"_s},
             {u"Cbmuni"_s, u"localidad"_s, u"muni"_s, Regla::Id,
              u"SELECT id_muni FROM tmunicipio WHERE muni = ?"_s},
             {u"Cbhuso"_s, u"localidad"_s, u"utmhuso"_s},
             {u"Txlong"_s, u"localidad"_s, u"utmx"_s, Regla::Entero},
             {u"Txlat"_s, u"localidad"_s, u"utmy"_s, Regla::Entero},
             {u"tx1k"_s, u"localidad"_s, u"utm1k"_s},
             {u"cb10k"_s, u"localidad"_s, u"utm10k"_s},
         },
         {u"Txexemplars"_s, u"Txlong"_s, u"Txlat"_s}},

        {u"frinsObs"_s,
         kObservador,
         [] { return new frinsObs; },
         [](QWidget *f) {
             Escribir(f, u"Txcod"_s, u"NUE1"_s);
             Escribir(f, u"Txnomobs"_s, u"Nuevo"_s);
             Escribir(f, u"Txentidad"_s, u"AHE"_s);
             Escribir(f, u"Txmail"_s, u"n@x.es"_s);
         },
         {u"CdIns"_s},
         u"Se ha registrado el Observador"_s,
         {{u"observador"_s, u"rowid > :max"_s}},
         ColumnasObservador(true)},

        {u"frmodifobs"_s,
         kObservador,
         [] { return new frmodifobs(u"ONE61"_s); },
         [](QWidget *) {},
         {u"cdAct"_s},
         u"Actualización realizada"_s,
         {{u"observador"_s, u"cod_observador = :Lbcode"_s}},
         ColumnasObservador(false)},

        {u"frinsLoc"_s,
         kObservador,
         [] { return new frinsLoc; },
         [](QWidget *f) {
             Escribir(f, u"Txcod"_s, u"FB1"_s);
             Escribir(f, u"Txloc"_s, u"Fuente del Berro"_s);
             Elegir(f, u"Cbhuso"_s, u"30"_s);
             Escribir(f, u"Txutmx"_s, u"440291"_s);
             Escribir(f, u"Txutmy"_s, u"4474254"_s);
             Elegir(f, u"Cbprov"_s, u"Madrid"_s);
             Elegir(f, u"Cbmuni"_s, u"Madrid"_s);
         },
         {u"CdIns"_s},
         u"Se ha registrado la Localidad"_s,
         {{u"localidad"_s, u"rowid > :max"_s}},
         ColumnasLocalidad(u"Txcod"_s),
         {u"Txutmx"_s, u"Txutmy"_s}},

        {u"frmodifloc"_s,
         kLocalidad,
         [] { return new frmodifloc(u"900007"_s); },
         [](QWidget *) {},
         {u"cdAct"_s},
         u"Actualización realizada"_s,
         {{u"localidad"_s, u"cod_localidad = :Lbcode"_s}},
         ColumnasLocalidad(u"Lbcode"_s),
         {u"Txutmx"_s, u"Txutmy"_s}},

        // The list's filters: nothing is stored, whatever they hold.
        {u"frloc"_s,
         kLocalidad,
         [] { return new frloc; },
         [](QWidget *) {},
         {u"CdBuscar"_s},
         QString(),
         {},
         {}},

        // Forms with no free text (folders and a calendar to choose from): whatever their
        // buttons do, the user's records stay as they were.
        {u"frfitxer"_s,
         kObservador,
         [] { return new frfitxer; },
         [](QWidget *) {},
         {u"Cdgenerar"_s},
         QString(),
         {},
         {}},
        {u"FrDate"_s,
         kObservador,
         [] { return new FrDate(u"Txdini"_s, [](const QString &) {}); },
         [](QWidget *) {},
         {u"Command1"_s},
         QString(),
         {},
         {}},

        // A new reason typed into the grid's empty row, stored when the list closes.
        {u"frmotivos"_s,
         kObservador,
         [] { return new frmotivos; },
         [](QWidget *f) {
             auto *rejilla = Hijo<QTableView>(f, u"DBmot"_s);
             const QModelIndex celda = rejilla->model()->index(rejilla->model()->rowCount() - 1, 1);
             rejilla->setCurrentIndex(celda);
             rejilla->edit(celda);
             if (auto *editor = qobject_cast<QWidget *>(rejilla->indexWidget(celda)))
                 editor->setObjectName(u"Motivo"_s);
             else if (auto *editor = rejilla->viewport()->findChild<QLineEdit *>())
                 editor->setObjectName(u"Motivo"_s);
         },
         {u"Tornar"_s},
         QString(),
         {{u"motivo"_s, u"rowid > :max"_s, false}},
         // Offered by its text, a reason is stored (and then shown) without blanks around it.
         {{u"Motivo"_s, u"motivo"_s, u"motivo_cast"_s, Regla::Codigo}}},
    };
    return registro;
}

const FormRegistry::Formulario *FormRegistry::Buscar(const QString &nombre) {
    for (const Formulario &f : Registro())
        if (f.nombre == nombre) return &f;
    return nullptr;
}

QString FormRegistry::Volcado() {
    QString r;
    QSqlQuery q(ModConex::DatabaseConnection());
    for (const char *t : {"observador", "DefaultObs", "localidad", "observacion", "motivo"}) {
        q.exec(u"SELECT * FROM "_s + QLatin1String(t) + u" ORDER BY rowid"_s);
        while (q.next()) {
            for (int i = 0; i < q.record().count(); ++i)
                r += q.value(i).toString() + u'\x1f';
            r += u'\n';
        }
    }
    return r;
}

namespace {

const QString kNulo = u"<nulo>"_s;

QString ComoTexto(const QVariant &v) {
    return v.isNull() ? kNulo : v.toString();
}

// What a column may hold for a shown text; an empty list puts no condition.
QStringList Esperado(const FormRegistry::Columna &c, const QString &mostrado) {
    switch (c.regla) {
    case Regla::Texto:
    case Regla::Codigo:
    case Regla::Acento: {
        // A code is a key typed again to find the row: the form stores it trimmed, and shows
        // it so once saved.
        const QString texto = c.regla == Regla::Acento   ? QString(mostrado).replace(u'\'', u'´')
                              : c.regla == Regla::Codigo ? mostrado.trimmed()
                                                         : mostrado;
        // An empty control may leave the column without a value.
        return texto.isEmpty() ? QStringList{texto, kNulo} : QStringList{texto};
    }
    case Regla::Especie:
        return {mostrado.section(u'-', 0, 0).trimmed()};
    case Regla::Entero: {
        // Blanks alone are no number: nothing is stored.
        if (mostrado.trimmed().isEmpty()) return {kNulo};
        QString n = mostrado;
        while (n.size() > 1 && n.startsWith(u'0'))
            n.remove(0, 1);
        return {n};
    }
    case Regla::Id: {
        if (mostrado.trimmed().isEmpty()) return {u"0"_s, kNulo};
        QStringList ids;
        QSqlQuery q(ModConex::DatabaseConnection());
        q.prepare(c.sql);
        q.addBindValue(mostrado);
        if (q.exec())
            while (q.next())
                ids << q.value(0).toString();
        return ids;
    }
    }
    return {};
}

qint64 MaxRowid(const QString &tabla) {
    QSqlQuery q(ModConex::DatabaseConnection());
    if (q.exec(u"SELECT coalesce(max(rowid), 0) FROM "_s + tabla) && q.next())
        return q.value(0).toLongLong();
    return 0;
}

} // namespace

FormRegistry::Guardado::Guardado(const Formulario &f, QWidget *formulario) : f_(f) {
    for (const Columna &c : f.columnas)
        if (QWidget *w = Hijo(formulario, c.control)) mostrado_[c.control] = Corpus::Mostrado(w);
    for (const Destino &d : f.destinos)
        max_[d.tabla] = MaxRowid(d.tabla);
    volcado_ = Volcado();
    mensajes_ = MessageService::Mostrados().size();
}

bool FormRegistry::Guardado::Exito() const {
    for (const auto &m : MessageService::Mostrados().mid(mensajes_))
        // A prefix, not a pattern: the text may hold a broken character that a pattern refuses.
        if (m.texto.startsWith(f_.exito)) return true;
    return false;
}

QStringList FormRegistry::Guardado::Comprobar() const {
    QStringList problemas;
    const QString yo = f_.nombre;
    const auto mensajes = MessageService::Mostrados().mid(mensajes_);
    const bool aviso = std::any_of(mensajes.cbegin(), mensajes.cend(), [](const auto &m) {
        return m.icono == QMessageBox::Warning || m.icono == QMessageBox::Critical;
    });
    // A form that announces nothing (a search, a grid stored as its rows are left): a warning
    // means nothing was stored; without one, what was stored must be what it showed.
    if (f_.exito.isEmpty() && (aviso || f_.destinos.isEmpty())) {
        if (Volcado() != volcado_) problemas << yo + u": cambió datos sin registrar nada"_s;
        return problemas;
    }
    if (!f_.exito.isEmpty() && !Exito()) {
        if (Volcado() != volcado_)
            problemas << yo + u": se guardó algo sin decir que se registró"_s;
        if (mensajes.isEmpty()) problemas << yo + u": rechazo sin ningún mensaje"_s;
        return problemas;
    }
    for (const auto &m : mensajes)
        if (m.icono == QMessageBox::Warning || m.icono == QMessageBox::Critical)
            problemas << yo + u": avisa «%1» y aun así registra"_s.arg(m.texto);
    for (const Destino &d : f_.destinos) {
        QSqlQuery q(ModConex::DatabaseConnection());
        q.prepare(u"SELECT * FROM "_s + d.tabla + u" WHERE "_s + d.donde);
        static const QRegularExpression marcador(u":(\\w+)"_s);
        for (auto it = marcador.globalMatch(d.donde); it.hasNext();) {
            const QString nombre = it.next().captured(1);
            q.bindValue(u':' + nombre, nombre == u"max"_s ? QVariant(max_.value(d.tabla))
                                                          : QVariant(mostrado_.value(nombre)));
        }
        if (!q.exec() || !q.next()) {
            if (d.obligatorio)
                problemas << yo + u": dice que registró pero no hay fila en "_s + d.tabla;
            continue;
        }
        const QSqlRecord fila = q.record();
        for (const Columna &c : f_.columnas) {
            if (c.tabla != d.tabla || !mostrado_.contains(c.control)) continue;
            const QString guardado = ComoTexto(fila.value(c.columna));
            const QStringList esperado = Esperado(c, mostrado_.value(c.control));
            if (!esperado.isEmpty() && !esperado.contains(guardado))
                problemas << u"%1/%2: mostraba «%3», guardado «%4» en %5.%6"_s.arg(
                    yo, c.control, mostrado_.value(c.control).left(60), guardado.left(60), c.tabla,
                    c.columna);
            if (c.regla == Regla::Codigo && guardado != kNulo && guardado != guardado.trimmed())
                problemas << u"%1/%2: código guardado con blancos «%3»"_s.arg(yo, c.control,
                                                                              guardado);
        }
    }
    return problemas;
}
