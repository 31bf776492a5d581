// The tally of every channel as a small text file in the user's runtime
// folder, so that other programs can drive tally lights from it. One line per
// channel, "<channel number> <state>", the state being "program", "preview"
// or "off"; a camera on both shows "program".
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace Tally
{
enum EState
{
    STATE_OFF,
    STATE_PREVIEW,
    STATE_PROGRAM
};

// $XDG_RUNTIME_DIR/vistrel-tally (Qt's fallback when the variable is unset).
QString FilePath();
QByteArray Format(const std::vector<EState>& vecStates);
// Replaces the file whole, so that a reader never sees half of it.
bool Write(const std::vector<EState>& vecStates);
void Remove();
}
