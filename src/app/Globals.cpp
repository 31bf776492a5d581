// The process-wide objects live together in one translation unit so that
// their construction order is fixed: the capture engine first, then the
// layouts, then the settings that refer to both.
#include "engine/CKVCapture.h"
#include "config/CLayout.h"
#include "config/CSettings.h"

CKVCapture g_capture;
CLayout g_layout;
CSettings g_settings;
