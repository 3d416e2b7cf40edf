#pragma once
// What the panel uses of the start menu's data side and of the power row's
// session actions, in one place.
#include "startmenu/installed_app.h"
#include "startmenu/launcher_search.h"
#include "startmenu/launcher_stores.h"
#include "startmenu/session_actions.h"
#include "startmenu/start_menu_model.h"
