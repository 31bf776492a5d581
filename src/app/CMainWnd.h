// The output panel: the composed picture with its session controls on the
// left and the tab window on the right.
#pragma once
