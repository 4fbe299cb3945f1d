#include "ProcessGlobals.h"

CClientEngine* g_pClientEngine = nullptr;
CSessionWnd* g_activeCallWindow = nullptr;
bool g_closing = false;
