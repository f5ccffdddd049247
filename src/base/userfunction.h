#pragma once

#include <QString>

namespace posflash {

class Panel;
class WaitHub;

// Waits ms milliseconds while window events keep running.
void DelayMs(WaitHub& waits, double ms);

// Status panel item 0: one space, then the text.
void SetStatusText(Panel& panel, const QString& text);

// The modal "Tips" box; the information icon is always added. True only for a Yes answer,
// which no button style the tool uses can give.
bool ShowTipsBox(Panel& panel, const QString& prompt, int style);

} // namespace posflash
