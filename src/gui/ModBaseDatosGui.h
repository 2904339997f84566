#pragma once

// The routines of ModBaseDatos that touch widgets or show messages, one header per job; a
// form that uses several includes this one.
#include "gui/Completion.h"
#include "gui/FocusChoice.h"
#include "gui/GridLoading.h"
#include "gui/KeyFilters.h"
#include "gui/ListExport.h"
