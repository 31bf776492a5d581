#include "CMainWnd.h"
