#pragma once
// What the panel uses of the start menu's data side and of the power row's
// session actions, in one place.
#include "startmenu/installed_app.h"
#include "startmenu/launcher_search.h"
#include "startmenu/launcher_stores.h"
#include "startmenu/start_menu_model.h"

// The power row's actions, in the order the row shows them.
enum class SessionAction { lock, sleep, logOut, restart, shutDown };
