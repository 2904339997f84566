#pragma once

#include <QString>

class QComboBox;

// The routines of ModBaseDatos behind the completing drop-down lists.
namespace ModBaseDatos {

// True while the last key that reached a completing list deleted text.
extern bool BorrandoTexto;

// The key handlers of a completing list: key-down and key-press set BorrandoTexto.
void TeclaSuprimir(int keyCode);
void TeclaRetroceso(int keyAscii);
// Completes the list's edit text with its first item that starts with the typed text.
void Autocompletar(const QString &texto, QComboBox *lista);

// Attaches the completion pattern to an editable drop-down list (Qt's completer off):
// key-down to TeclaSuprimir, key-press to TeclaRetroceso, text change to Autocompletar
// guarded by the list's own busy flag.
// With `soloPrincipio` (lists whose items begin with a code, where the user may type a name
// instead): once no item begins with what the user typed, the completion is taken back, so
// the text is the user's own letters, as typed, and no item stays chosen. Called again on a
// list already completing, it only changes that.
void HacerCompletable(QComboBox *lista, bool soloPrincipio = false);

} // namespace ModBaseDatos
