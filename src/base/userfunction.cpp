#include "base/userfunction.h"

#include "base/panel.h"
#include "base/wait_hub.h"

#include <cmath>

namespace posflash {

void DelayMs(WaitHub& waits, double ms) {
    const int whole = ms > 0 ? static_cast<int>(std::ceil(ms)) : 0;
    waits.waitFor(nullptr, whole);
}

void SetStatusText(Panel& panel, const QString& text) {
    panel.setStatusPanel(QStringLiteral(" ") + text);
}

bool ShowTipsBox(Panel& panel, const QString& prompt, int style) {
    panel.showTipsBox(prompt, style);
    return false;
}

} // namespace posflash
