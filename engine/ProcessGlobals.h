// The few process-wide pointers of the program, all in one place. Each is set and
// cleared by the one object it names.
#pragma once

class CClientEngine;
class CSessionWnd;

// The one engine; set while it exists.
extern CClientEngine* g_pClientEngine;

// The audio call window; set exactly while one exists, so a call is in progress
// exactly while it is set.
extern CSessionWnd* g_activeCallWindow;

// Set once the main window has begun to close (or the main view is gone); the
// logging-off and logged-off displays are skipped from then on.
extern bool g_closing;
