#include "Corpus.h"
#include "FormRegistry.h"
#include "TestHooks.h"
#include "support/TestDatabase.h"
#include "support/User.h"

#include "app/principal.h"
#include "data/ModConex.h"
#include "data/SqlDialect.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Progreso.h"
#include "gui/Screen.h"
#include "gui/UnsavedChanges.h"
#include "observations/frcons.h"
#include "observers/frobs.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

// A long session of random user actions through the main window on a database with a few
// thousand observations. TRITODEX_SESION_ACCIONES and TRITODEX_SESION_SEMILLA run a longer
// one, or replay a failure with the seed it printed; TRITODEX_SESION_TRAZA tells each action.
// Past a few thousand actions raise Qt Test's own limit too (QTEST_FUNCTION_TIMEOUT, in ms).
class tst_sesion : public QObject {
    Q_OBJECT
private slots:
    void sesion();
    void dialogoSinFormulario_data();
    void dialogoSinFormulario();
};

namespace {

volatile std::sig_atomic_t accionEnCurso = 0;
quint32 semilla = 0;

// A crash names the seed and the action, so that it can be replayed.
void AlMorir(int senal) {
    char texto[160];
    const int n =
        std::snprintf(texto, sizeof texto, "\ntst_sesion: señal %d en la acción %d, semilla %u\n",
                      senal, int(accionEnCurso), semilla);
    if (n > 0) (void)!write(2, texto, size_t(n));
    std::signal(senal, SIG_DFL);
    std::raise(senal);
}

int Entorno(const char *nombre, int porDefecto) {
    return qEnvironmentVariableIsSet(nombre) ? qEnvironmentVariableIntValue(nombre) : porDefecto;
}

// The tables whose rows the session must leave alone unless it asked, by the key that names
// a row there.
const std::pair<QString, QString> kTablas[] = {{u"observacion"_s, u"id_observacion"_s},
                                               {u"localidad"_s, u"cod_localidad"_s},
                                               {u"observador"_s, u"cod_observador"_s},
                                               {u"papelera"_s, u"id_observacion"_s}};

// A few thousand observations of real species at real municipalities, in one transaction.
bool Poblar(const TestDatabase &bd, int observaciones) {
    const QStringList sql = {
        u"BEGIN"_s,
        u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40) "
        "INSERT INTO observador (cod_observador, nombre, apellido, entidad, email, provincia) "
        "SELECT 'OB' || i, 'Nombre ' || i, 'Apellido ' || i, 'AHE', 'ob' || i || '@x.es', "
        "coalesce((SELECT prov_cast FROM tprovincia WHERE id_prov = 1 + i % 50), '') FROM n"_s,
        u"UPDATE DefaultObs SET cd_obs = 'OB1'"_s,
        u"INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmhuso, utmx, utmy, "
        "utm1k, utm10k) SELECT 'L' || r, 'Localidad ' || r, prov, id_muni, '30', "
        "400000 + r * 100, 4400000 + r * 100, '', (SELECT min(utm10) FROM tutm10kmunis u "
        "WHERE u.id_muni = m.id_muni) FROM (SELECT id_muni, prov, row_number() OVER "
        "(ORDER BY id_muni) AS r FROM tmunicipio) m WHERE r % 37 = 0 LIMIT 200"_s,
        u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO observacion (observador1, observador2, observador3, observador4, fecha, "
        "horaini, horafin, periodo, meteo, viento, especie, numejemp, numaprox, estadio, "
        "conducta, descripcion, motivo, habitat, localidad) "
        "SELECT 'OB' || (1 + i % 40), CASE WHEN i % 3 = 0 THEN 'OB' || (1 + i % 7) ELSE '' END, "
        "'', '', %2, '10:00', '11:30', 1 + i % 3, "
        "1 + i % 4, i % 5, e.cod_especie, CASE WHEN i % 10 = 0 THEN NULL ELSE i % 50 END, "
        "i % 2, 1, 1, 'Observación ' || i || ' de O´Neill', CASE WHEN i % 2 = 0 THEN 'Casual' "
        "ELSE '' END, 1 + i % 5, l.cod_localidad FROM n "
        "JOIN (SELECT cod_especie, row_number() OVER (ORDER BY cod_especie) - 1 AS r "
        "FROM especie) e ON e.r = i % (SELECT count(*) FROM especie) "
        "JOIN (SELECT cod_localidad, row_number() OVER (ORDER BY id_localidad) - 1 AS r "
        "FROM localidad) l ON l.r = i % (SELECT count(*) FROM localidad)"_s.arg(observaciones)
            .arg(bd.enServidor() ? u"CAST(DATE '2000-01-01' + i * 3 AS text)"_s
                                 : u"date('2000-01-01', '+' || (i * 3) || ' days')"_s),
        u"COMMIT"_s,
    };
    for (const QString &s : sql)
        if (!bd.Ejecutar(s)) return false;
    return true;
}

// The form a control belongs to: a registered one, one of the lists, or its window.
QWidget *Formulario(QWidget *c) {
    for (QWidget *w = c; w; w = w->parentWidget())
        if (FormRegistry::Buscar(w->objectName()) ||
            QStringList{u"frobs"_s, u"frcons"_s, u"frmodif"_s}.contains(w->objectName()))
            return w;
    return c->window();
}

struct Sesion {
    Sesion(int total) : azar_(semilla), total_(total) {}

    principal *p = nullptr;
    TestHooks::Vigia vigia;
    QStringList problemas;
    QStringList conocidos;
    // By table, the keys of the rows the session asked to change or delete.
    QHash<QString, QSet<QString>> tocadas;
    // A copy was put back: every table is as the copy held it, which the session asked for.
    bool restaurada = false;
    int accion = 0;
    int guardadosConExito = 0;
    bool traza = false; // each action told, to follow a replay

    bool Quedan() const { return accion < total_; }

    void Traza(const QString &que, QWidget *donde = nullptr) {
        if (!traza) return;
        const QString lugar =
            donde ? Formulario(donde)->objectName() + u'/' + donde->objectName() : QString();
        qInfo("%d %s %s", accion, qPrintable(lugar), qPrintable(que.left(80)));
    }

    // A modal form (an observer form, the coordinates of frgps...): the user works in it for
    // a while, then it closes.
    int Dialogo(QDialog *d) {
        vigia.Permitir(d);
        d->show();
        QPointer<QDialog> vivo(d);
        for (int i = 0; i < 40 && vivo && d->isVisible() && Quedan(); ++i) {
            // Now and then the task window under the dialog is closed meanwhile, as a timer
            // or a signal of the program might.
            if (Uno(25) == 0) CerrarDebajo(d);
            if (vivo && d->isVisible()) Paso(d, false);
        }
        if (vivo && d->isVisible()) d->reject();
        return vivo ? d->result() : int(QDialog::Rejected);
    }

    std::optional<QString> Codigo(const QString &propuesto) {
        const int r = Uno(10);
        if (r < 7) return propuesto;
        if (r < 9) return propuesto + u'X' + QString::number(accion);
        promptCerrado_ = true;
        return std::nullopt; // the prompt closed
    }

    // The window the user works in: a task window, or the main window's menu.
    QWidget *Ventana() {
        const auto subs = Screen::AreaPrincipal()->subWindowList();
        if (subs.isEmpty()) return nullptr;
        QMdiSubWindow *s = Screen::AreaPrincipal()->activeSubWindow();
        if (!s || Uno(4) == 0) s = subs.at(Uno(subs.size()));
        return s->widget();
    }

    void Paso(QWidget *ventana, bool menu) {
        accionEnCurso = ++accion;
        if (Uno(5) == 0) {
            const auto respuesta = Uno(2) ? QMessageBox::Yes : QMessageBox::No;
            Traza(respuesta == QMessageBox::Yes ? u"responderá Sí"_s : u"responderá No"_s);
            MessageService::EncolarRespuesta(respuesta);
        }
        // Now and then the next long task is cancelled, as by its "Cancelar", at one of
        // its first reports: what it did must be undone.
        if (Uno(12) == 0) {
            const int informe = 1 + Uno(3);
            Traza(u"cancelará la próxima tarea larga en su aviso %1"_s.arg(informe));
            Progreso::CancelarEn(informe);
        }
        const qsizetype tareas = Progreso::Vistos().size();
        const QString huella = Huella();
        // Each action up to its share of a hundred, on the window or on what it finds there (a
        // field, or the control with the focus), if anything; without a window, the menu.
        using Accion = void (Sesion::*)(QWidget *);
        using Objetivo = QWidget *(Sesion::*)(QWidget *);
        static const std::tuple<int, Accion, Objetivo> acciones[] = {
            {16, &Sesion::Rellenar, nullptr},     {40, &Sesion::Escribir, &Sesion::Campo},
            {50, &Sesion::Elegir, nullptr},       {55, &Sesion::Cortar, &Sesion::Campo},
            {60, &Sesion::Pegar, &Sesion::Campo}, {68, &Sesion::Salir, &Sesion::Foco},
            {88, &Sesion::Pulsar, nullptr},       {94, &Sesion::Fila, nullptr},
            {96, &Sesion::Tecla, &Sesion::Foco},  {100, &Sesion::Cerrar, nullptr}};
        const int r = Uno(100);
        if (menu && (r < 8 || !ventana))
            Menu();
        else
            for (const auto &[hasta, hacer, objetivo] : acciones)
                if (r < hasta) {
                    if (QWidget *w = objetivo ? (this->*objetivo)(ventana) : ventana)
                        (this->*hacer)(w);
                    break;
                }
        for (const Progreso::Visto &v : Progreso::Vistos().mid(tareas))
            if (v.cancelado)
                if (const QString despues = Huella(); despues != huella)
                    Anotar(
                        u"«%1», cancelada, dejó cambios: %2 → %3"_s.arg(v.texto, huella, despues));
        if (const QString m = TestHooks::Mensajes(mensajes_); traza && !m.isEmpty())
            qInfo("   mensajes «%s»", qPrintable(m));
        mensajes_ = MessageService::Mostrados().size();
        for (const QString &i : vigia.Tomar())
            Anotar(u"ventana modal fuera de los ganchos: "_s + i);
    }

    // Folders where the program writes files: a cancelled task leaves nothing there.
    QStringList carpetas;
    QString base; // the database file, with its journal, changes on its own

    // Open windows that will ask before they close.
    static int ConCambios() {
        int n = 0;
        for (QWidget *w : Screen::VentanasAbiertas())
            if (const auto *c = UnsavedChanges::De(w); c && c->Pendientes()) ++n;
        return n;
    }

private:
    // What a cancelled task must leave as it was: the tables, and the files written (the
    // file offered for import is written anew each time it is chosen).
    QString Huella() const {
        QSqlQuery q(ModConex::DatabaseConnection());
        QString r;
        if (q.exec(u"SELECT (SELECT count(*) || '+' || total(id_observacion) || '+' || "
                   "total(length(descripcion)) FROM observacion) || '/' || (SELECT count(*) "
                   "FROM localidad) || '/' || (SELECT count(*) FROM observador) || '/' || "
                   "(SELECT count(*) FROM motivo)"_s) &&
            q.next())
            r = q.value(0).toString();
        for (const QString &carpeta : carpetas) {
            QStringList archivos;
            QDirIterator it(carpeta, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QFileInfo f = it.nextFileInfo();
                if (f.fileName() != u"puntos.gpx"_s && !f.filePath().startsWith(base))
                    archivos << f.filePath() + u':' + QString::number(f.size());
            }
            archivos.sort();
            r += u' ' + archivos.join(u' ');
        }
        return r;
    }

    void Anotar(const QString &problema) {
        const QString texto = u"acción %1: %2"_s.arg(accion).arg(problema);
        (FormRegistry::FalloConocido(problema).isEmpty() ? problemas : conocidos) << texto;
    }

    int Uno(int n) { return n <= 1 ? 0 : int(azar_.bounded(quint32(n))); }
    template <class T> T *Cualquiera(const QList<T *> &l) {
        return l.isEmpty() ? nullptr : l.at(Uno(l.size()));
    }
    // The window's controls of a kind that a user can reach.
    template <class T> static QList<T *> Visibles(const QList<T *> &l) {
        QList<T *> r;
        for (T *w : l)
            if (w->isVisible() && w->isEnabled() && !w->objectName().startsWith(u"qt_"_s)) r << w;
        return r;
    }
    QWidget *Campo(QWidget *v) { return Cualquiera(Visibles(Corpus::Campos(v))); }
    QWidget *Foco(QWidget *v) {
        QWidget *foco = QApplication::focusWidget();
        return foco && v->isAncestorOf(foco) ? foco : nullptr;
    }

    void Menu() {
        // The menu's actions, the most used ones more than once.
        static const QStringList acciones =
            u"new new new cons cons cons observ observ loc loc motivo fitxer copias fenologia mapa "
            "importar basedatos acerca help web sortir lista lista papelera verificar verificar"_s
                .split(u' ');
        const QString nombre = acciones.at(Uno(int(acciones.size())));
        QAction *a = p->findChild<QAction *>(nombre);
        if (!a || !a->isEnabled()) return;
        Traza(u"menú "_s + nombre);
        const bool cierra = nombre != u"help"_s && nombre != u"web"_s;
        // Work not saved is asked about first, window by window: mostly the user lets it
        // go; a "No" keeps it and ends the menu item there.
        if (const int n = cierra ? ConCambios() : 0; n > 0) {
            if (Uno(4) == 0) {
                Traza(u"conserva los cambios sin guardar"_s);
                MessageService::EncolarRespuesta(QMessageBox::No);
                a->trigger();
                return;
            }
            Traza(u"descarta los cambios sin guardar"_s);
            for (int i = 0; i < n; ++i)
                MessageService::EncolarRespuesta(QMessageBox::Yes);
        }
        // Mostly the user stays when asked whether to leave.
        if (nombre == u"sortir"_s && Uno(4) != 0) MessageService::EncolarRespuesta(QMessageBox::No);
        a->trigger();
        if (!p->isVisible()) p->show(); // left the program: it is started again
    }

    void Escribir(QWidget *c) {
        const auto corpus = Corpus::Para(c);
        const auto &e = corpus.at(Uno(corpus.size()));
        // Long texts are pasted: typing them key by key into a completing list is slow.
        const bool pegar = e.texto.size() > 200 || Uno(3) == 0;
        Traza((pegar ? u"pega "_s : u"teclea "_s) + e.nombre, c);
        Corpus::Introducir(c, e.texto, pegar ? Corpus::Modo::Pegado : Corpus::Modo::Tecleado);
    }

    // The valid minimum of a registered form, so that saves do succeed now and then.
    void Rellenar(QWidget *v) {
        if (const auto *f = FormRegistry::Buscar(v->objectName())) {
            Traza(u"rellena"_s, v);
            f->rellenar(v);
        }
    }

    void Elegir(QWidget *v) {
        auto *lista = Cualquiera(Visibles(v->findChildren<QComboBox *>()));
        if (!lista || lista->count() == 0) return;
        const int i = Uno(lista->count());
        Traza(u"elige "_s + lista->itemText(i), lista);
        ModBaseDatos::ElegirComoUsuario(lista, i);
    }

    void Cortar(QWidget *c) {
        Traza(u"corta"_s, c);
        // The keys may have gone to another control, which the check of the field may delete.
        if (const QPointer<QWidget> d(Corpus::Cortar(c));
            d && !qobject_cast<QAbstractSpinBox *>(d) && !Corpus::Mostrado(d).isEmpty())
            Anotar(u"%1/%2: el corte deja «%3»"_s.arg(Formulario(d)->objectName(), d->objectName(),
                                                      Corpus::Mostrado(d)));
    }

    void Pegar(QWidget *c) {
        Traza(u"pega el portapapeles"_s, c);
        Corpus::PegarPortapapeles(c);
    }

    void Salir(QWidget *foco) {
        Traza(u"sale"_s, foco);
        User::SalirDe(foco);
    }

    void Tecla(QWidget *foco) {
        const Qt::Key teclas[] = {Qt::Key_Return, Qt::Key_Escape,    Qt::Key_Tab,
                                  Qt::Key_Down,   Qt::Key_Backspace, Qt::Key_Delete};
        const Qt::Key tecla = teclas[Uno(std::size(teclas))];
        Traza(u"tecla "_s + QKeySequence(tecla).toString(), foco);
        // Enter presses a focused button: the same click, checked the same way.
        if (auto *b = qobject_cast<QAbstractButton *>(foco);
            b && tecla == Qt::Key_Return && !qobject_cast<QCheckBox *>(b))
            PulsarBoton(b, [b] { QTest::keyClick(b, Qt::Key_Return); });
        else
            QTest::keyClick(foco, tecla);
    }

    void Fila(QWidget *v) {
        auto *tabla = Cualquiera(Visibles(v->findChildren<QTableView *>()));
        if (!tabla || !tabla->model() || tabla->model()->rowCount() == 0) return;
        const int fila = Uno(tabla->model()->rowCount());
        Traza(u"fila "_s + QString::number(fila), tabla);
        tabla->setCurrentIndex(tabla->model()->index(fila, 0));
    }

    void CerrarDebajo(QDialog *d) {
        for (QWidget *w = d->parentWidget(); w; w = w->parentWidget())
            if (auto *sub = qobject_cast<QMdiSubWindow *>(w)) {
                Traza(u"cierra la ventana bajo el diálogo"_s, d);
                sub->close();
                QApplication::processEvents();
                return;
            }
    }

    void Cerrar(QWidget *v) {
        Traza(u"cierra"_s, v);
        if (auto *d = qobject_cast<QDialog *>(v))
            d->reject();
        else if (auto *s = qobject_cast<QMdiSubWindow *>(v->parentWidget()))
            s->close();
    }

    void Pulsar(QWidget *v) {
        QList<QAbstractButton *> botones;
        for (QAbstractButton *b : Visibles(v->findChildren<QAbstractButton *>()))
            if (qobject_cast<QPushButton *>(b) || qobject_cast<QCheckBox *>(b)) botones << b;
        QAbstractButton *b = Cualquiera(botones);
        if (!b) return;
        // Saves are what the session is for: a third of the clicks aim at a save button.
        if (const auto *f = FormRegistry::Buscar(Formulario(b)->objectName()); f && Uno(3) == 0)
            for (QAbstractButton *g : botones)
                if (f->guardar.contains(g->objectName())) b = g;
        PulsarBoton(b,
                    [b] { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2)); });
    }

    // A button pressed (by a click or a key), and what it changed checked.
    void PulsarBoton(QAbstractButton *b, const std::function<void()> &pulsar) {
        QWidget *form = Formulario(b);
        const QString boton = form->objectName() + u'/' + b->objectName();
        Traza(u"pulsa"_s, b);
        // The observer list deletes and changes the observer it shows, a locality's form
        // changes that locality.
        static const QHash<QString, QString> cambiaLaSuya = {
            {u"frobs/CdSup"_s, u"observador"_s},
            {u"frobs/cdAct"_s, u"observador"_s},
            {u"frmodifloc/cdAct"_s, u"localidad"_s}};
        if (const QString tabla = cambiaLaSuya.value(boton); !tabla.isEmpty())
            if (auto *codigo = form->findChild<QLabel *>(u"Lbcode"_s))
                tocadas[tabla] << codigo->text();
        const auto *f = FormRegistry::Buscar(form->objectName());
        if (f && f->guardar.contains(b->objectName())) {
            // The check marks the rows chosen in its grid.
            if (auto *rejilla = form->findChild<QTableView *>(u"DBverificar"_s))
                for (const QModelIndex &i : rejilla->selectionModel()->selectedRows())
                    tocadas[u"observacion"_s] << i.data(Qt::UserRole).toString();
            FormRegistry::Guardado guardado(*f, form);
            promptCerrado_ = false;
            pulsar();
            if (guardado.Exito()) ++guardadosConExito;
            for (const QString &problema : guardado.Comprobar())
                // Closing the code prompt is the user's own refusal: it needs no message.
                if (!promptCerrado_ || !problema.endsWith(u"rechazo sin ningún mensaje"_s))
                    Anotar(problema);
            return;
        }
        // The query deletes observations into the bin, the change form changes them, and the
        // bin restores and empties: what a click there changed, the session asked for.
        static const QHash<QString, QStringList> cambian = {
            {u"frcons"_s, {u"observacion"_s}},
            {u"frmodif"_s, {u"observacion"_s}},
            {u"frpapelera"_s, {u"observacion"_s, u"papelera"_s}}};
        const QStringList suyas = cambian.value(form->objectName());
        QList<QMap<QString, QString>> antes;
        for (const QString &tabla : suyas)
            antes << FormRegistry::Filas(tabla, u"id_observacion"_s);
        const qsizetype mostrados = MessageService::Mostrados().size();
        pulsar();
        if (boton == u"frcopias/CdRestaurar"_s && MessageService::Mostrados().size() > mostrados &&
            MessageService::Ultimo().texto.startsWith(u"Se han restaurado los datos"_s))
            restaurada = true;
        for (qsizetype i = 0; i < suyas.size(); ++i) {
            const auto despues = FormRegistry::Filas(suyas[i], u"id_observacion"_s);
            for (auto it = antes[i].cbegin(); it != antes[i].cend(); ++it)
                if (despues.value(it.key()) != it.value()) tocadas[suyas[i]] << it.key();
        }
    }

    QRandomGenerator azar_;
    int total_;
    qsizetype mensajes_ = 0;
    bool promptCerrado_ = false;
};

} // namespace

void tst_sesion::sesion() {
    const int acciones = Entorno("TRITODEX_SESION_ACCIONES", 1500);
    semilla = quint32(Entorno("TRITODEX_SESION_SEMILLA", 20261206));
    for (const int senal : {SIGSEGV, SIGABRT, SIGFPE})
        std::signal(senal, AlMorir);
    qInfo("semilla %u, %d acciones", semilla, acciones);

    TestDatabase bd(TestDatabase::Datos::Reales);
    // A throwaway file: the session need not wait for the disk.
    if (!bd.enServidor()) QVERIFY(bd.Ejecutar(u"PRAGMA synchronous = OFF"_s));
    QVERIFY(Poblar(bd, 3000));
    QCOMPARE(bd.Contar(u"observacion"_s), 3000);
    // What the registered forms need, once each.
    for (const QString &sql : FormRegistry::Datos())
        QVERIFY(bd.Ejecutar(sql));
    // Rows given their numbers above: a server's next numbers go past them.
    for (const QString &tabla : {u"localidad"_s, u"observacion"_s, u"motivo"_s})
        if (bd.enServidor())
            QVERIFY(bd.Ejecutar(SqlDialect::AjustarIdentidad(tabla, u"id_"_s + tabla)));

    Sesion s(acciones);
    s.traza = qEnvironmentVariableIsSet("TRITODEX_SESION_TRAZA");
    TestHooks::Instalar(
        {[&](const QString &p) { return s.Codigo(p); }, [&](QDialog *d) { return s.Dialogo(d); }});
    s.carpetas = {QDir::homePath(), bd.carpeta()};
    s.base = bd.ruta();
    QElapsedTimer reloj;
    reloj.start();
    QHash<QString, QMap<QString, QString>> antes;
    {
        principal p;
        s.p = &p;
        p.show();
        p.Form_Load();
        // After the start-up, which empties the bin's old entries of its own accord.
        for (const auto &[tabla, clave] : kTablas)
            antes[tabla] = FormRegistry::Filas(tabla, clave);
        while (s.Quedan()) {
            s.Paso(s.Ventana(), true);
            QApplication::processEvents();
            if (s.restaurada) {
                // What is stored from here on is compared with the copy put back.
                for (const auto &[tabla, clave] : kTablas)
                    antes[tabla] = FormRegistry::Filas(tabla, clave);
                s.tocadas.clear();
                s.restaurada = false;
            }
        }
        for (int i = Sesion::ConCambios(); i >= 0; --i)
            MessageService::EncolarRespuesta(QMessageBox::Yes);
        p.close();
    }
    qInfo("%d acciones en %lld ms, %d guardados registrados, %lld fallos conocidos vistos",
          s.accion, reloj.elapsed(), s.guardadosConExito, qlonglong(s.conocidos.size()));
    for (const QString &c : s.conocidos)
        qInfo("conocido: %s", qPrintable(c));

    if (!bd.enServidor()) QCOMPARE(bd.Valor(u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
    for (const auto &[tabla, clave] : kTablas) {
        const auto despues = FormRegistry::Filas(tabla, clave);
        for (auto it = antes[tabla].cbegin(); it != antes[tabla].cend(); ++it)
            if (!s.tocadas[tabla].contains(it.key()) && despues.value(it.key()) != it.value())
                s.problemas << u"%1 %2 cambió o desapareció: «%3» → «%4»"_s.arg(
                    tabla, it.key(), it.value(), despues.value(it.key()));
    }
    QVERIFY2(s.problemas.isEmpty(),
             qPrintable(u"semilla %1:\n   "_s.arg(semilla) + s.problemas.join(u"\n   "_s)));
}

// A task window closed (as a timer or a signal of the program might) while a modal dialog it
// opened is up: the dialog closes, the window goes once the code that opened the dialog has
// returned, nothing is deleted twice nor touched once deleted. The real dialogs run.
void tst_sesion::dialogoSinFormulario_data() {
    // "form button dialog...": the dialogs that open in turn ("dialog/button": that button of
    // it is pressed next); the window is closed under the last one.
    QTest::addColumn<QString>("caso");
    for (const char *caso :
         {"newobs CdGps frgps", "newobs Cbguardar frcodloc", "newobs Cbnueva QMessageBox",
          "frcons Cdfini FrDate", "frcons CdSup QMessageBox", "frmapa Cdffin FrDate",
          "frloc CdNou frinsLoc", "frloc cdAct frmodifloc", "frloc CdNou frinsLoc/CdGps frgps",
          "frobs CdNou frinsObs", "frobs cdAct frmodifobs", "frfitxer CdSensibles frsensibles",
          "frimportar CdAbrir QFileDialog"})
        QTest::newRow(caso) << QString::fromLatin1(caso);
}

void tst_sesion::dialogoSinFormulario() {
    QFETCH(QString, caso);
    const QStringList partes = caso.split(u' ');
    const QString formulario = partes[0], boton = partes[1];
    const QStringList dialogos = partes.mid(2);
    TestDatabase bd(TestDatabase::Datos::Reales);
    for (const QString &sql : FormRegistry::Datos())
        QVERIFY(bd.Ejecutar(sql));
    ChoiceService::Restablecer();
    MessageService::setModoPrueba(true);
    QMdiArea area;
    Screen::setAreaPrincipal(&area);
    area.resize(1200, 800);
    area.show();

    // The lists are not registered: the session opens them from the menu.
    const auto *registrado = FormRegistry::Buscar(formulario);
    QPointer<QWidget> padre = registrado                  ? registrado->abrir()
                              : formulario == u"frcons"_s ? static_cast<QWidget *>(new frcons)
                                                          : new frobs;
    Screen::MostrarHijo(padre);
    // What the button needs: a row chosen in a list, a new locality to ask a code for.
    if (auto *filtrar = padre->findChild<QPushButton *>(u"CdBuscar"_s)) {
        filtrar->click();
        auto *rejilla = padre->findChild<QTableView *>();
        QVERIFY(rejilla && rejilla->model()->rowCount() > 0);
        rejilla->setCurrentIndex(rejilla->model()->index(0, 0));
    }
    if (boton == u"Cbguardar"_s) {
        FormRegistry::Buscar(formulario)->rellenar(padre);
        padre->findChild<QDateEdit *>(u"Txdata"_s)->setDate(QDate(2020, 5, 15));
    }
    auto *b = padre->findChild<QAbstractButton *>(boton);
    QVERIFY(b && b->isEnabled());

    QStringList pendientes = dialogos;
    QTimer vigilante;
    vigilante.setInterval(5);
    connect(&vigilante, &QTimer::timeout, this, [&] {
        QWidget *m = QApplication::activeModalWidget();
        if (!m || pendientes.isEmpty()) return;
        const QString nombre = qobject_cast<QMessageBox *>(m)   ? u"QMessageBox"_s
                               : qobject_cast<QFileDialog *>(m) ? u"QFileDialog"_s
                                                                : m->objectName();
        const QStringList paso = pendientes.first().split(u'/');
        if (nombre != paso.first()) return;
        pendientes.removeFirst();
        if (paso.size() > 1) {
            auto *siguiente = m->findChild<QAbstractButton *>(paso.last());
            QVERIFY(siguiente);
            QTimer::singleShot(0, siguiente, &QAbstractButton::click);
        } else if (padre) {
            Screen::CerrarHijo(padre);
        }
    });
    vigilante.start();
    // The message boxes too are the real ones.
    MessageService::setModoPrueba(dialogos.last() != u"QMessageBox"_s);
    b->click();
    MessageService::setModoPrueba(true);
    vigilante.stop();
    QVERIFY2(pendientes.isEmpty(), qPrintable(pendientes.join(u' ')));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    QVERIFY(!padre && !QApplication::activeModalWidget() && area.subWindowList().isEmpty());
    Screen::setAreaPrincipal(nullptr);
}

QTEST_MAIN(tst_sesion)
#include "tst_sesion.moc"
