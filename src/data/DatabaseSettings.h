#pragma once

#include "ModConex.h"

#include <optional>

// Which database the program uses, kept in the user's settings: the local file (nothing)
// or a server. Never the password.
namespace DatabaseSettings {

std::optional<ModConex::Servidor> Leida();
void Guardar(const std::optional<ModConex::Servidor> &servidor);

// Where this run goes: the environment's TRITODEX_DB when it is a postgresql:// address,
// otherwise the settings. *aviso says why a TRITODEX_DB that is set was not taken.
std::optional<ModConex::Servidor> ParaEstaSesion(QString *aviso);

} // namespace DatabaseSettings
