// The lock that the refresh timer and the announcement listener hold around their work on the
// server list. Re-entrant for the thread that holds it; both holders run on the GUI thread.
#pragma once

#include "vcl/critical_section.h"

extern vcl::TCriticalSection ServerListLock;
