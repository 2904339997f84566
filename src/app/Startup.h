#pragma once

// What the program sets before its first window: its name and icon, and Spanish for Qt's
// own texts (buttons, file dialogs, calendars) and for dates and numbers, whatever the
// system's language.
namespace Startup {

// Needs the application object; may be called more than once.
void PrepararAplicacion();

} // namespace Startup
