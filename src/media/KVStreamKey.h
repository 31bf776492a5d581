// A stream URL fit for diagnostics and for display beside a masked key.
#pragma once

#include <QString>

// strUrl with its stream key replaced by "...": the scheme, host, port and
// application stay, the last path element (when the path has more than the
// application) and any query go. "rtmp://h:1935/live/key?x=1" gives
// "rtmp://h:1935/live/...". Text that is not a URL is masked whole.
QString MaskStreamKey(const QString& strUrl);
