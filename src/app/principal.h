#pragma once

#include <QMainWindow>
#include <QUrl>
#include <functional>
#include <memory>

namespace Ui {
class principal;
}
class QAction;

class principal : public QMainWindow {
    Q_OBJECT
public:
    explicit principal(QWidget *parent = nullptr);
    ~principal() override;

    // The start-up: start-up window, connection, pause, then the menu.
    void Form_Load();

protected:
    void closeEvent(QCloseEvent *evento) override;

private slots:
    void new_Click();
    void lista_Click();
    void cons_Click();
    void papelera_Click();
    void verificar_Click();
    void mapa_Click();
    void importar_Click();
    void fenologia_Click();
    void observ_Click();
    void loc_Click();
    void motivo_Click();
    void copias_Click();
    void basedatos_Click();
    void fitxer_Click();
    void help_Click();
    void acerca_Click();
    void web_Click();
    void sortir_Click();

private:
    // Closes every window but this one; false when one stayed open (its unsaved changes kept).
    bool CerrarFormularios();
    // At start-up, once connected or refused: the automatic copy, or the offer to restore.
    // `danado`: the file was refused as damaged, and a sound copy is offered back.
    void ProtegerDatos(QWidget *ventana, bool danado);
    // At start-up: what the bin has held longer than it keeps anything is emptied.
    void VaciarPapelera(QWidget *ventana);
    void AbrirFormulario(const std::function<QWidget *()> &crear);
    std::unique_ptr<Ui::principal> ui;
    QAction *new_ = nullptr;   // the menu item "new" (a C++ keyword, so built here)
    QAction *lista_ = nullptr; // beside it, in the same place
};
